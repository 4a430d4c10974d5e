#include "orba/VoMAPIExceptions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "orba/VoMAPIWrapperIntf.h"
#include "orba/common/comobject.h"
#include "orba/common/utf8.h"

namespace {

using namespace orba;

std::string U8(std::u16string_view s) { return ToUtf8(s); }

// Looked up while the program's static objects are built: the library's table must
// already be registered.
const EVoExceptionClass kClassBeforeMain = VoGetExceptionClass(u"MAPI", MakeHResult(0x8004010F));

struct RaisedInfo {
  std::u16string_view cls;
  WideString message;
  int32_t code = 0;
};

// Runs f and describes the EVoException it raises (failing the test when none).
template <class F>
RaisedInfo Capture(F f) {
  try {
    f();
  } catch (const EVoException& e) {
    return {e.ClassType()->Name, e.Message(), e.Code()};
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

RaisedInfo CheckResult(uint32_t code) {
  return Capture([&] { CheckMAPIResult(u"TCls", u"Meth", MakeHResult(code)); });
}

WideString F1(std::u16string_view text, uint32_t code) {
  return u"TCls.Meth has raised the following exception:\r\n" + WideString(text) + u" (" +
         FromUtf8(std::to_string(static_cast<int32_t>(code))) + u")";
}

WideString F2(std::u16string_view text, uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", code);
  return u"TCls.Meth has raised the following exception:\r\n" + WideString(text) + u" (" +
         FromUtf8(std::to_string(static_cast<int32_t>(code))) + u"=0x" + FromUtf8(hex) + u")";
}

// A wrapper object whose extended error the test sets.
class TTestWrapper : public TVoComObject<TVoRefCounted, IVoMAPIWrapper> {
 public:
  TVoMAPIError error;
  std::function<void()> onGetError;
  HRESULT askedCode = 0;
  int calls = 0;

  WideString GetClassName() override { return u"TVoTestWrapper"; }
  void GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) override {
    ++calls;
    askedCode = Code;
    if (onGetError) onGetError();
    Error = error;
  }
  WideString GetErrorGroup() override { return WideString(MAPIErrorGroup); }
  IUnknown* GetMAPIObject() override { return nullptr; }
};

// ---------------------------------------------------------------- code registry

// Codes with a class: warnings (not registered, but raised by CheckMAPIResult), then
// registered HRESULTs: every one with a text of its own and a sample of those explained
// by their name (MAPI_W_... for a warning, MAPI_E_... generated from the class).
struct CodeRow {
  uint32_t code;
  const char* cls;
  const char16_t* text = nullptr;
};

constexpr CodeRow kCodes[] = {
    {0x00040380, "EMAPI_W_ERRORS_RETURNED"},
    {0x00040482, "EMAPI_W_APPROX_COUNT"},
    {0x80004002, "EMAPI_INTERFACE_NOT_SUPPORTED"},
    {0x80004005, "EMAPI_CALL_FAILED"},
    {0x80040102, "EMAPI_NO_SUPPORT"},
    {0x80040103, "EMAPI_BAD_CHARWIDTH",
     u"Either the MAPI_UNICODE flag was set and the implementation does not support Unicode,\r\n"
     u"or MAPI_UNICODE was not set and the implementation only supports Unicode."},
    {0x80040106, "EMAPI_UNKNOWN_FLAGS", u"The caller passed an invalid parameter or flag."},
    {0x80040107, "EMAPI_INVALID_ENTRYID", u"The given EntryID is not a valid EntryID!"},
    {0x80040108, "EMAPI_INVALID_OBJECT", u"MAPI_INVALID_OBJECT"},
    {0x8004010A, "EMAPI_OBJECT_DELETED"},
    {0x8004010E, "EMAPI_NOT_ENOUGH_RESOURCES",
     u"Not enough system resources were available to complete the operation."},
    {0x8004010F, "EMAPI_NOT_FOUND", u"The requested object does not exist."},
    {0x80040110, "EMAPI_VERSION"},
    {0x80040111, "EMAPI_LOGON_FAILED",
     u"The logon did not succeed, either because one or more of the logon-parameters were "
     u"invalid \r\nor because there were too many sessions open already."},
    {0x80040113, "EMAPI_USER_CANCEL",
     u"The user canceled the operation, typically by clicking the Cancel button in a dialog box."},
    {0x80040119, "EMAPI_EXTENDED_ERROR"},
    {0x8004011E, "EMAPI_UNKNOWN_CPID", u"The server is not configured to support the client''s code page."},
    {0x8004011F, "EMAPI_UNKNOWN_LCID", u"The server is not configured to support the client''s locale information."},
    {0x80040201, "EMAPI_UNKNOWN_ENTRYID", u"The given EntryID could not be located."},
    {0x80040401, "EMAPI_TIMEOUT", u"A TimeOut has occurred."},
    {0x80040600, "EMAPI_CORRUPT_STORE"},
    {0x8004060C, "EMAPI_STORE_FULL"},
    {0x80040700, "EMAPI_AMBIGUOUS_RECIP"},
    {0x80070005, "EMAPI_NO_ACCESS",
     u"The caller does not have sufficient access rights to perform the requested operation."},
    {0x8007000E, "EMAPI_NOT_ENOUGH_MEMORY", u"MAPI_E_NOT_ENOUGH_MEMORY"},
    {0x80070057, "EMAPI_INVALID_PARAMETER", u"The caller passed an invalid parameter or flag."},
    {0x81002746, "EMAPI_INVALID_PARAMETER",
     u"The name specified for PR_PROFILE_UNRESOLVED_NAME is incorrect, invalid, or otherwise "
     u"not found."},
};

struct SimpleRow {
  uint32_t code;
  const char* cls;
  const char16_t* text;
};

constexpr SimpleRow kSimpleRows[] = {
    {1, "EMAPI_USER_ABORT", u"The user cancelled the action."},
    {2, "EMAPI_FAILURE", u"One or more errors occurred while executing this action."},
    {3, "EMAPI_LOGON_FAILURE", u"Failed to logon."},
    {4, "EMAPI_DISK_FULL", u"The action failed, because there is not enough free space on the disk."},
    {5, "EMAPI_INSUFFICIENT_MEMORY", u"The action failed, because there is not enough free memory."},
    {6, "EMAPI_ACCESS_DENIED", u"The action failed, because access was denied."},
    {8, "EMAPI_TOO_MANY_SESSIONS", u"The action failed, because there are too may sessions open."},
    {9, "EMAPI_TOO_MANY_FILES", u"The action failed, because there are too many files open."},
    {10, "EMAPI_TOO_MANY_RECIPIENTS", u"The action failed, because there are too many recipients."},
    {11, "EMAPI_ATTACHMENT_NOT_FOUND", u"The action failed, because the given attachment was not found."},
    {12, "EMAPI_ATTACHMENT_OPEN_FAILURE", u"The action failed, because the given attachment could not be opened."},
    {13, "EMAPI_ATTACHMENT_WRITE_FAILURE", u"The action failed, because the given attachment coult not be saved."},
    {14, "EMAPI_UNKNOWN_RECIPIENT", u"The action failed, because there is an unresolved recipient."},
    {15, "EMAPI_BAD_RECIPTYPE", u"The action failed, because of an invalid recipienttype"},
    {16, "EMAPI_NO_MESSAGES", u"The action failed, because there are no messages."},
    {17, "EMAPI_INVALID_MESSAGE", u"The action failed, because of an invalid message."},
    {18, "EMAPI_TEXT_TOO_LARGE", u"The action failed, because the messagetext is too large."},
    {19, "EMAPI_INVALID_SESSION", u"The action failed, because of an invalid session."},
    {20, "EMAPI_TYPE_NOT_SUPPORTED", u"The action failed, because of an unsupported type."},
    {21, "EMAPI_AMBIGUOUS_RECIPIENT", u"The action failed, because of an ambiguous recipient."},
    {22, "EMAPI_MESSAGE_IN_USE", u"The action failed, because the message is in use."},
    {23, "EMAPI_NETWORK_FAILURE", u"The action failed, because of a network failure."},
    {24, "EMAPI_INVALID_EDITFIELDS", u"The action failed, because of invalid editfields."},
    {25, "EMAPI_INVALID_RECIPS", u"The action failed, because of invalid recipients."},
    {26, "EMAPI_NOT_SUPPORTED", u"The action is not supported by Simple MAPI."},
};

TEST(MAPIExceptionRegistry, EveryHResultCodeHasItsClass) {
  for (const CodeRow& row : kCodes) {
    EVoMAPIExceptionClass cls = GetMAPIExceptionClass(MakeHResult(row.code));
    if (row.code < 0x80000000) {
      EXPECT_EQ(cls, nullptr) << std::hex << row.code;
      continue;
    }
    ASSERT_NE(cls, nullptr) << std::hex << row.code;
    EXPECT_EQ(U8(cls->Name), row.cls) << std::hex << row.code;
    EXPECT_EQ(cls->IsAbort, row.code == 0x80040113) << std::hex << row.code;
    // Every class but the user's Cancel is an EVoMAPIException.
    if (row.code != 0x80040113) {
      EXPECT_THROW(std::rethrow_exception(CreateVoMAPIException(MakeHResult(row.code), u"x")), EVoMAPIException)
          << std::hex << row.code;
    }
  }
  EXPECT_THROW(throw EMAPI_LOGIN_FAILURE(u"x"), EVoMAPIException);
  EXPECT_THROW(throw EMAPI_MAPI_W_CANCEL_MESSAGE(u"x"), EVoMAPIException);
}

TEST(MAPIExceptionRegistry, UnregisteredCodesHaveNoClassUnlessTheDefaultIsAskedAndTheTableIsRegisteredBeforeMain) {
  for (uint32_t code : {7u, 27u, 0u, 0x00040380u, 0x80040104u, 0x80070002u}) {
    EXPECT_EQ(GetMAPIExceptionClass(MakeHResult(code), false), nullptr) << std::hex << code;
    EXPECT_EQ(GetMAPIExceptionClass(MakeHResult(code), true), VoExceptionClassOf<EVoMAPIException>());
  }
  EXPECT_EQ(GetMAPIExceptionClass(MakeHResult(0x8004010F), true), VoExceptionClassOf<EMAPI_NOT_FOUND>());
  EXPECT_EQ(kClassBeforeMain, VoExceptionClassOf<EMAPI_NOT_FOUND>());
  EXPECT_EQ(VoGetExceptionClass(MAPIErrorGroup, MakeHResult(0x80040113)), VoExceptionClassOf<EMAPI_USER_CANCEL>());
}

// ---------------------------------------------------------------- class hierarchy

TEST(MAPIExceptionHierarchy, ReadOnlyIsNoAccessAndUserCancelIsAnAbortAndNotAnError) {
  EXPECT_THROW(throw EMAPI_NO_ACCESS_READONLY(u"x", E_ACCESSDENIED), EMAPI_NO_ACCESS);
  bool caughtAsAbort = false;
  try {
    CheckMAPIResult(u"TCls", u"Meth", MakeHResult(0x80040113));
  } catch (const EVoMAPIException&) {
    ADD_FAILURE() << "a user's Cancel must not be an EVoMAPIException";
  } catch (const EVoAbort& e) {
    caughtAsAbort = true;
    EXPECT_EQ(e.ClassType(), VoExceptionClassOf<EMAPI_USER_CANCEL>());
    EXPECT_NE(dynamic_cast<const EVoMAPIAbort*>(&e), nullptr);
  }
  EXPECT_TRUE(caughtAsAbort);
}

// ---------------------------------------------------------------- CreateVoMAPIException

TEST(CreateVoMAPIException, BuildsTheRegisteredClassWithTheFormattedText) {
  RaisedInfo info = Capture([] { std::rethrow_exception(CreateVoMAPIException(E_INVALIDARG, u"bad %s")); });
  EXPECT_EQ(info.cls, u"EMAPI_INVALID_PARAMETER");
  EXPECT_EQ(info.message, u"bad %s");  // no arguments: not a format
  info = Capture([] {
    std::rethrow_exception(CreateVoMAPIException(E_FAIL, u"%s.Open failed: %d item(s)", {u"TVoMAPIFolder", 3}));
  });
  EXPECT_EQ(info.cls, u"EMAPI_CALL_FAILED");
  EXPECT_EQ(info.message, u"TVoMAPIFolder.Open failed: 3 item(s)");
  // Codes without a class build the family's root.
  info = Capture([] { std::rethrow_exception(CreateVoMAPIException(MakeHResult(0x80041234), u"odd")); });
  EXPECT_EQ(info.cls, u"EVoMAPIException");
  EXPECT_EQ(info.code, MakeHResult(0x80041234));
  EXPECT_THROW(CreateVoMAPIException(E_FAIL, u"%d", {u"text"}), EConvertError);
}

// ---------------------------------------------------------------- CheckMAPIResult

TEST(CheckMAPIResult, SuccessReturnsAndEveryCodeRaisesItsClassWithItsText) {
  EXPECT_NO_THROW(CheckMAPIResult(u"TCls", u"Meth", S_OK));
  EXPECT_NO_THROW(CheckMAPIResult(static_cast<IVoMAPIWrapper*>(nullptr), u"Meth", S_OK));
  for (const CodeRow& row : kCodes) {
    if (row.code == 0x80040119) continue;  // the extended error has a test of its own
    RaisedInfo info = CheckResult(row.code);
    EXPECT_EQ(U8(info.cls), row.cls) << std::hex << row.code;
    WideString expected = row.text                ? F1(row.text, row.code)
                          : row.code < 0x80000000 ? F1(FromUtf8(row.cls + 1), row.code)
                                                  : F2(u"MAPI_E_" + FromUtf8(row.cls + 6), row.code);
    EXPECT_EQ(info.message, expected) << std::hex << row.code;
    EXPECT_EQ(info.code, MakeHResult(row.code));
  }
  EXPECT_EQ(CheckResult(0x00040380).message,
            u"TCls.Meth has raised the following exception:\r\nMAPI_W_ERRORS_RETURNED (263040)");
}

TEST(CheckMAPIResult, UnknownCodeUsesTheSystemTextOrTheCodeAlone) {
  RaisedInfo info = CheckResult(0x00040001);
  EXPECT_EQ(info.cls, u"EVoMAPIException");
  EXPECT_EQ(info.message, u"TCls.Meth raised an exception with errorcode 262145 / 0x00040001!");
  EXPECT_EQ(CheckResult(0x80041234).message, u"TCls.Meth raised an exception with errorcode -2147216844 / 0x80041234!");
  char buf[256];
  EXPECT_EQ(CheckResult(0x80070002).cls, u"EVoMAPIException");
  EXPECT_EQ(CheckResult(0x80070002).message, F2(FromUtf8(strerror_r(ENOENT, buf, sizeof buf)), 0x80070002));
}

TEST(CheckMAPIResult, ExtendedErrorComesFromTheWrapperOnly) {
  // Without a wrapper, and with an empty extended error, no system text exists for
  // MAPI_E_EXTENDED_ERROR here, so the code alone explains it.
  RaisedInfo info = Capture([] { CheckMAPIResult(u"TSession", u"Logon", MakeHResult(0x80040119)); });
  EXPECT_EQ(info.cls, u"EVoMAPIException");
  EXPECT_EQ(info.message, u"TSession.Logon raised an exception with errorcode -2147221223 / 0x80040119!");
  auto wrapper = MakeComObject<TTestWrapper>();
  wrapper->error = {u"", u"Orba Store", 0, 0};
  info = Capture([&] { CheckMAPIResult(u"TCls", u"Meth", MakeHResult(0x80040119), wrapper.get()); });
  EXPECT_EQ(info.message, u"TCls.Meth raised an exception with errorcode -2147221223 / 0x80040119!");

  wrapper->error = {u"Disk quota exceeded", u"Orba Store", 12, 3};
  info = Capture([&] { CheckMAPIResult(u"TCls", u"Meth", MakeHResult(0x80040119), wrapper.get()); });
  EXPECT_EQ(info.cls, u"EVoMAPIException");
  EXPECT_EQ(info.message, F2(u"Disk quota exceeded (Orba Store)", 0x80040119));
  EXPECT_EQ(wrapper->askedCode, MakeHResult(0x80040119));
  EXPECT_EQ(wrapper->calls, 2);
  // Other codes do not ask the wrapper.
  EXPECT_THROW(CheckMAPIResult(u"TCls", u"Meth", MakeHResult(0x8004010F), wrapper.get()), EMAPI_NOT_FOUND);
  EXPECT_EQ(wrapper->calls, 2);
  // A failure reading the extended error propagates.
  wrapper->onGetError = [] { throw EMAPI_NOT_ENOUGH_MEMORY(u"out of memory", E_OUTOFMEMORY); };
  EXPECT_THROW(CheckMAPIResult(u"TCls", u"Meth", MakeHResult(0x80040119), wrapper.get()), EMAPI_NOT_ENOUGH_MEMORY);
}

TEST(CheckMAPIResult, WrapperFormTakesTheWrappersClassNameOrNoneWithoutWrapper) {
  auto wrapper = MakeComObject<TTestWrapper>();
  EXPECT_EQ(Capture([&] { CheckMAPIResult(wrapper.get(), u"Open", MakeHResult(0x8004010A)); }).message,
            u"TVoTestWrapper.Open has raised the following exception:\r\n"
            u"MAPI_E_OBJECT_DELETED (-2147221238=0x8004010A)");
  RaisedInfo info =
      Capture([] { CheckMAPIResult(static_cast<IVoMAPIWrapper*>(nullptr), u"Open", MakeHResult(0x8004010F)); });
  EXPECT_EQ(info.cls, u"EMAPI_NOT_FOUND");
  EXPECT_EQ(info.message,
            u".Open has raised the following exception:\r\n"
            u"The requested object does not exist. (-2147221233)");
}

// ---------------------------------------------------------------- CheckSimpleMAPIResult

TEST(CheckSimpleMAPIResult, SuccessAndEFailReturnEveryOtherCodeRaisesItsClassWithItsText) {
  EXPECT_NO_THROW(CheckSimpleMAPIResult(0));
  EXPECT_NO_THROW(CheckSimpleMAPIResult(0x80004005));
  for (const SimpleRow& row : kSimpleRows) {
    ASSERT_NE(GetMAPIExceptionClass(MakeHResult(row.code)), nullptr) << row.code;
    EXPECT_EQ(U8(GetMAPIExceptionClass(MakeHResult(row.code))->Name), row.cls) << row.code;
    RaisedInfo info = Capture([&] { CheckSimpleMAPIResult(row.code); });
    EXPECT_EQ(U8(info.cls), row.cls) << row.code;
    EXPECT_EQ(info.message, row.text) << row.code;
    EXPECT_EQ(info.code, static_cast<int32_t>(row.code));
  }
}

TEST(CheckSimpleMAPIResult, CodesWithoutTextAreUnknownErrors) {
  for (ULONG code : {7u, 27u, 1000u, 0x80040111u}) {
    RaisedInfo info = Capture([&] { CheckSimpleMAPIResult(code); });
    EXPECT_EQ(info.message, u"Unknown error") << code;
    EXPECT_EQ(info.code, static_cast<int32_t>(code));
  }
  EXPECT_EQ(Capture([] { CheckSimpleMAPIResult(7); }).cls, u"EVoMAPIException");
  // A code that is an HRESULT of the table keeps its class.
  EXPECT_EQ(Capture([] { CheckSimpleMAPIResult(0x80040111); }).cls, u"EMAPI_LOGON_FAILED");
}

}  // namespace
