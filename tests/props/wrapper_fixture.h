// Shared set-up of the wrappers' tests: the Extended MAPI client double is loaded, so
// that MAPI memory goes through the bound entry points; a session double and a property
// object over the in-memory IMAPIProp double.
#pragma once

#include <gtest/gtest.h>

#include "orba/VoMAPIBase.h"
#include "orba/VoMAPILib.h"
#include "orba/common/utf8.h"
#include "propowner_double.h"
#include "propstesting.h"
#include "testsession.h"

namespace orba::test {

class WrapperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WideString file = FromUtf8(FAKE_EXTENDED);
    bool extended = false;
    VoLoadMAPIDLL(file, extended);
  }
  static void TearDownTestSuite() { VoUnloadDLL(); }

  ComPtr<TVoMAPIProp> NewProp(TVoMAPIAccessLevel level = alReadWrite, bool unicode = true) {
    return MakeComObject<TVoMAPIProp>(nullptr, session_.get(), ComPtr<IMAPIProp>(mapi_.get()), level, unicode);
  }

  ComPtr<TTestSession> session_ = MakeComObject<TTestSession>();
  ComPtr<TTestMAPIProp> mapi_ = MakeComObject<TTestMAPIProp>();
};

}  // namespace orba::test
