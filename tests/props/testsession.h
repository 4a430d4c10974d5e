// A session for wrapper tests: TVoMAPISessionBase with the working mode set by the test,
// standing in for the session component.
#pragma once

#include "orba/VoMAPIBase.h"

namespace orba::test {

class TTestSession : public TVoComObject<TVoMAPISessionBase, IUnknown> {
 public:
  bool Extended = true;
  bool Exchange = false;
  bool UseExtendedMAPI() override { return Extended; }
  bool ConnectedToExchange() override { return Exchange; }
  void Logon() { SetActive(true); }
  // What TSession's logoff does first.
  void Logoff() {
    NotifyLogoff();
    SetActive(false);
  }
};

}  // namespace orba::test
