#include "orba/common/autoobject.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/mapierror.h"
#include "orba/common/exceptions.h"

struct IThing : IUnknown {
  virtual int Value() = 0;
};
inline constexpr IID IID_IThing = {0x1B7C0A11, 0x5D2E, 0x4C3A, {0x9E, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x01}};
ORBA_DECLARE_INTERFACE(IThing, IUnknown, IID_IThing);

namespace {

using orba::ComPtr;
using orba::MakeComObject;
using orba::TVoAutoIntfObject;
using orba::TVoComObject;
using orba::TVoKeepAlive;

// Records what happens to the nodes of one test.
struct Journal {
  std::vector<std::string> log;
  int destroyed = 0;
};

class TNode : public TVoAutoIntfObject {
 public:
  TNode(Journal& journal, std::string name, TVoAutoIntfObject* creator = nullptr, TVoKeepAlive keepAlive = orba::kaNone)
      : TVoAutoIntfObject(creator, keepAlive), journal_(journal), name_(std::move(name)) {}
  ~TNode() override {
    ++journal_.destroyed;
    journal_.log.push_back(name_ + " destroyed");
  }
  const std::string& Name() const { return name_; }
  // What to do when told about a destruction (after logging it).
  std::function<void(TVoAutoIntfObject*)> onNotification;

 protected:
  void Notification(TVoAutoIntfObject* destroyed) override {
    journal_.log.push_back(name_ + " told " + dynamic_cast<TNode*>(destroyed)->Name());
    if (onNotification) onNotification(destroyed);
  }

 private:
  Journal& journal_;
  std::string name_;
};

class TStoreNode : public TNode {
  using TNode::TNode;
};
class TFolderNode : public TNode {
  using TNode::TNode;
};

template <class Base = TNode>
class TThing : public TVoComObject<Base, IThing> {
 public:
  using TVoComObject<Base, IThing>::TVoComObject;
  int Value() override { return 1; }
};

template <class Base = TNode, class... Args>
ComPtr<TThing<Base>> Make(Args&&... args) {
  return MakeComObject<TThing<Base>>(std::forward<Args>(args)...);
}

// --- creator link and keep-alive ---

TEST(AutoObjectKeepAlive, KeepCreatorAliveHoldsTheWholeChainUntilTheLastChildGoes) {
  Journal j;
  auto store = Make(j, "store");
  auto folder = Make(j, "folder", store.get(), orba::kaKeepCreatorAlive);
  auto message = Make(j, "message", folder.get(), orba::kaKeepCreatorAlive);
  store = nullptr;
  folder = nullptr;
  EXPECT_EQ(j.destroyed, 0);
  message = nullptr;
  EXPECT_EQ(j.log, (std::vector<std::string>{"message destroyed", "folder destroyed", "store destroyed"}));
}

TEST(AutoObjectKeepAlive, KeepAliveObjectLivesUntilItsCreatorDies) {
  Journal j;
  auto table = Make(j, "table");
  auto restriction = Make(j, "restriction", table.get(), orba::kaKeepAlive);
  restriction = nullptr;
  EXPECT_EQ(j.destroyed, 0);
  table = nullptr;
  EXPECT_EQ(j.log, (std::vector<std::string>{"restriction told table", "restriction destroyed", "table destroyed"}));
}

// Without the creator reference the creator dies and the link clears (also when the
// link is never held: see CreatorLinkSurvivesRemoveFreeNotification).
TEST(AutoObjectKeepAlive, SetKeepCreatorAliveTogglesTheCreatorReference) {
  Journal j;
  auto folder = Make(j, "folder");
  auto message = Make(j, "message", folder.get());
  EXPECT_EQ(message->Creator(), folder.get());
  message->SetKeepCreatorAlive(true);
  folder = nullptr;
  EXPECT_EQ(j.destroyed, 0);
  message->SetKeepCreatorAlive(false);
  EXPECT_EQ(j.log, (std::vector<std::string>{"message told folder", "folder destroyed"}));
  EXPECT_EQ(message->Creator(), nullptr);
  message->SetKeepCreatorAlive(true);  // no creator any more: nothing to hold
  EXPECT_EQ(message->KeepAlive(), orba::kaNone);
}

TEST(AutoObjectKeepAlive, KeepAliveAndKeepCreatorAliveExcludeEachOther) {
  Journal j;
  auto folder = Make(j, "folder");
  auto message = Make(j, "message", folder.get(), orba::kaKeepCreatorAlive);
  EXPECT_EQ(folder->RefCount(), 2u);
  message->SetKeepAlive(true);  // would otherwise be a cycle
  EXPECT_EQ(folder->RefCount(), 1u);
  message->SetKeepCreatorAlive(true);
  EXPECT_EQ(message->RefCount(), 1u);
  message = nullptr;
  folder = nullptr;
  EXPECT_EQ(j.destroyed, 2);
}

TEST(AutoObjectKeepAlive, FindCreatorWalksTheChainByClass) {
  Journal j;
  auto session = Make(j, "session");
  auto store = Make<TStoreNode>(j, "store", session.get());
  auto folder = Make<TFolderNode>(j, "folder", store.get());
  auto sub = Make<TFolderNode>(j, "sub", folder.get());
  auto message = Make(j, "message", sub.get());
  EXPECT_EQ(message->FindCreator<TStoreNode>(), store.get());
  EXPECT_EQ(message->FindCreator<TFolderNode>(), sub.get());  // the nearest
  folder = nullptr;                                           // breaks the chain
  EXPECT_EQ(message->FindCreator<TStoreNode>(), nullptr);
}

// --- free notifications ---

TEST(AutoObjectFreeNotification, TheWatcherIsToldOnceWhenTheWatchedDiesFirst) {
  struct Case {
    const char* what;
    void (*link)(TThing<>& a, TThing<>& b);
    bool aDiesFirst;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"registered twice is one registration",
       [](TThing<>& a, TThing<>& b) { a.FreeNotification(&b), a.FreeNotification(&b); },
       false,
       {"a told b", "b destroyed", "a destroyed"}},
      {"the watcher dies first",
       [](TThing<>& a, TThing<>& b) { a.FreeNotification(&b); },
       true,
       {"a destroyed", "b destroyed"}},
      {"registered both ways",
       [](TThing<>& a, TThing<>& b) { a.FreeNotification(&b), b.FreeNotification(&a); },
       true,
       {"b told a", "a destroyed", "b destroyed"}},
      {"removed, absent, null and itself",
       [](TThing<>& a, TThing<>& b) {
         a.FreeNotification(&b), a.RemoveFreeNotification(&b), a.RemoveFreeNotification(&b);
         a.FreeNotification(nullptr), a.FreeNotification(&a);
       },
       false,
       {"b destroyed", "a destroyed"}},
  };
  for (const Case& c : cases) {
    Journal j;
    auto a = Make(j, "a"), b = Make(j, "b");
    c.link(*a, *b);
    (c.aDiesFirst ? a : b) = nullptr;
    a = b = nullptr;
    EXPECT_EQ(j.log, c.log) << c.what;
  }
}

TEST(AutoObjectFreeNotification, CreatorLinkSurvivesRemoveFreeNotification) {
  Journal j;
  auto folder = Make(j, "folder");
  auto message = Make(j, "message", folder.get());
  message->RemoveFreeNotification(folder.get());
  folder = nullptr;
  EXPECT_EQ(message->Creator(), nullptr);
  EXPECT_EQ(j.log.front(), "message told folder");
}

TEST(AutoObjectFreeNotification, WatcherReleasingAnotherWatcherDuringTheRound) {
  Journal j;
  auto x = Make(j, "x"), a = Make(j, "a"), b = Make(j, "b");
  a->FreeNotification(x.get());
  b->FreeNotification(x.get());
  ComPtr<TThing<>> holdB = b;
  b = nullptr;
  a->onNotification = [&holdB](TVoAutoIntfObject*) { holdB = nullptr; };
  x = nullptr;  // a is told first and destroys b, which must not be told afterwards
  EXPECT_EQ(j.log, (std::vector<std::string>{"a told x", "b destroyed", "x destroyed"}));
}

TEST(AutoObjectFreeNotification, DyingObjectMayBeCountedButNotWatchedDuringTheRound) {
  Journal j;
  auto x = Make(j, "x"), a = Make(j, "a");
  a->FreeNotification(x.get());
  TThing<>* rawA = a.get();
  a->onNotification = [rawA](TVoAutoIntfObject* dying) {
    ComPtr<IThing> temporary(dynamic_cast<IThing*>(dying));  // AddRef and Release
    EXPECT_EQ(temporary->Value(), 1);                        // still complete
    rawA->FreeNotification(dying);                           // ignored
  };
  x = nullptr;
  EXPECT_EQ(j.log, (std::vector<std::string>{"a told x", "x destroyed"}));
}

// --- connection points ---

struct ITestEvents : IUnknown {
  virtual void OnEvent(int value) = 0;
};
inline constexpr IID IID_ITestEvents = {0x1B7C0A11, 0x5D2E, 0x4C3A, {0x9E, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x02}};

}  // namespace

ORBA_DECLARE_INTERFACE(ITestEvents, IUnknown, IID_ITestEvents);

namespace {

class TSource : public TVoComObject<TVoAutoIntfObject, IThing> {
 public:
  TSource() { GetConnectionPoints().CreateConnectionPoint(IID_ITestEvents); }
  int Value() override { return 0; }
  void Fire(int value) {
    GetConnectionPoints().Find(IID_ITestEvents)->ForEachSink<ITestEvents>([value](ITestEvents* sink) {
      sink->OnEvent(value);
    });
  }
  std::vector<std::string> changes;

 protected:
  void EventSinkChanged(const IID&, IUnknown*, bool connected) override {
    changes.push_back(connected ? "connected" : "disconnected");
  }
};

class TSink : public TVoComObject<orba::TVoRefCounted, ITestEvents> {
 public:
  TSink(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  void OnEvent(int value) override {
    log_.push_back(name_ + ":" + std::to_string(value));
    if (action) action();
  }
  std::function<void()> action;

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST(AutoObjectEvents, SinksAreCalledInConnectionOrder) {
  std::vector<std::string> log;
  auto source = MakeComObject<TSource>();
  auto a = MakeComObject<TSink>(log, "a"), b = MakeComObject<TSink>(log, "b"), c = MakeComObject<TSink>(log, "c");
  source->EventConnect(a.get());
  DWORD cb = source->EventConnect(b.get());
  source->EventConnect(c.get());
  EXPECT_EQ(a->RefCount(), 2u);  // the point holds its sinks
  source->Fire(7);
  EXPECT_EQ(log, (std::vector<std::string>{"a:7", "b:7", "c:7"}));
  source->EventDisconnect(cb);
  log.clear();
  source->Fire(8);
  EXPECT_EQ(log, (std::vector<std::string>{"a:8", "c:8"}));
  EXPECT_EQ(source->changes, (std::vector<std::string>{"connected", "connected", "connected", "disconnected"}));
}

TEST(AutoObjectEvents, SinkDisconnectingItselfDuringTheCall) {
  std::vector<std::string> log;
  auto source = MakeComObject<TSource>();
  auto a = MakeComObject<TSink>(log, "a"), b = MakeComObject<TSink>(log, "b");
  DWORD ca = source->EventConnect(a.get());
  source->EventConnect(b.get());
  TSource* raw = source.get();
  a->action = [raw, ca] { raw->EventDisconnect(ca); };
  a = nullptr;  // the connection holds the only reference: the sink dies after its call
  source->Fire(1);
  source->Fire(2);
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:1", "b:2"}));
}

TEST(AutoObjectEvents, SinkDisconnectedByAnEarlierSinkIsNotCalledAnyMore) {
  std::vector<std::string> log;
  auto source = MakeComObject<TSource>();
  auto a = MakeComObject<TSink>(log, "a"), b = MakeComObject<TSink>(log, "b");
  source->EventConnect(a.get());
  DWORD cb = source->EventConnect(b.get());
  TSource* raw = source.get();
  auto late = MakeComObject<TSink>(log, "late");
  a->action = [raw, cb, &late, &a] {
    raw->EventDisconnect(cb);
    raw->EventConnect(late.get());  // waits for the next round
    a->action = nullptr;
  };
  source->Fire(1);
  source->Fire(2);
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2", "late:2"}));
}

TEST(AutoObjectEvents, UnknownCookieAndUnfitSinksAreRefused) {
  std::vector<std::string> log;
  auto source = MakeComObject<TSource>();
  auto a = MakeComObject<TSink>(log, "a");
  DWORD ca = source->EventConnect(a.get());
  source->EventDisconnect(ca);
  EXPECT_EQ(orba::test::CodeOf([&] { source->EventDisconnect(ca); }), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(orba::test::CodeOf([&] { source->EventConnect(nullptr); }), E_POINTER);
  auto plain = MakeComObject<TThing<TVoAutoIntfObject>>();
  EXPECT_EQ(orba::test::CodeOf([&] { source->EventConnect(static_cast<IThing*>(plain.get())); }),
            CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(orba::test::CodeOf([&] {
              source->GetConnectionPoints().Find(IID_ITestEvents)->Advise(static_cast<IThing*>(plain.get()));
            }),
            CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(orba::test::CodeOf([&] { source->GetConnectionPoints().CreateConnectionPoint(IID_ITestEvents); }),
            E_INVALIDARG);
}

TEST(AutoObjectEvents, FailingSinkEndsTheRound) {
  std::vector<std::string> log;
  auto source = MakeComObject<TSource>();
  auto a = MakeComObject<TSink>(log, "a"), b = MakeComObject<TSink>(log, "b");
  source->EventConnect(a.get());
  source->EventConnect(b.get());
  a->action = [] { throw orba::EVoException(u"sink failed", E_FAIL); };
  EXPECT_THROW(source->Fire(1), orba::EVoException);
  EXPECT_EQ(log, (std::vector<std::string>{"a:1"}));
  EXPECT_EQ(source->GetConnectionPoints().Find(IID_ITestEvents)->Sinks().size(), 2u);
}

// --- SafeCallException ---

template <class E>
HRESULT Fail(const TVoAutoIntfObject& object, E exception) {
  try {
    throw exception;
  } catch (...) {
    return object.SafeCallException();
  }
}

TEST(AutoObjectSafeCall, MapsExceptionsToHResultsAndErrorInfo) {
  Journal j;
  auto node = Make(j, "node");
  EXPECT_EQ(Fail(*node, orba::EVoException(u"Not found", static_cast<int32_t>(0x8004010F))),
            static_cast<HRESULT>(0x8004010F));
  auto info = orba::VoGetCOMErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Code, static_cast<HRESULT>(0x8004010F));
  EXPECT_EQ(info->Message, u"Not found");
  EXPECT_FALSE(orba::VoGetCOMErrorInfo());  // reading clears it

  EXPECT_EQ(Fail(*node, std::bad_alloc()), E_OUTOFMEMORY);
  EXPECT_EQ(Fail(*node, std::runtime_error("broken")), E_UNEXPECTED);
  EXPECT_EQ(orba::VoGetCOMErrorInfo()->Message, u"broken");
  EXPECT_EQ(Fail(*node, 42), E_UNEXPECTED);
  EXPECT_EQ(orba::VoGetCOMErrorInfo()->Message, u"Unknown exception");
}

}  // namespace
