#include "orba/VoMAPIExceptions.h"

#include <algorithm>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIWrapperIntf.h"
#include "orba/common/syserror.h"

namespace orba {

namespace {

struct CodeClass {
  uint32_t code;
  EVoMAPIExceptionClass cls;
};

// MAPI's and COM's result codes and their classes.
constexpr CodeClass kResultClasses[] = {
    {0x80004002, VoExceptionClassOf<EMAPI_INTERFACE_NOT_SUPPORTED>()},
    {0x80004005, VoExceptionClassOf<EMAPI_CALL_FAILED>()},
    {0x80040102, VoExceptionClassOf<EMAPI_NO_SUPPORT>()},
    {0x80040103, VoExceptionClassOf<EMAPI_BAD_CHARWIDTH>()},
    {0x80040105, VoExceptionClassOf<EMAPI_STRING_TOO_LONG>()},
    {0x80040106, VoExceptionClassOf<EMAPI_UNKNOWN_FLAGS>()},
    {0x80040107, VoExceptionClassOf<EMAPI_INVALID_ENTRYID>()},
    {0x80040108, VoExceptionClassOf<EMAPI_INVALID_OBJECT>()},
    {0x80040109, VoExceptionClassOf<EMAPI_OBJECT_CHANGED>()},
    {0x8004010A, VoExceptionClassOf<EMAPI_OBJECT_DELETED>()},
    {0x8004010B, VoExceptionClassOf<EMAPI_BUSY>()},
    {0x8004010D, VoExceptionClassOf<EMAPI_NOT_ENOUGH_DISK>()},
    {0x8004010E, VoExceptionClassOf<EMAPI_NOT_ENOUGH_RESOURCES>()},
    {0x8004010F, VoExceptionClassOf<EMAPI_NOT_FOUND>()},
    {0x80040110, VoExceptionClassOf<EMAPI_VERSION>()},
    {0x80040111, VoExceptionClassOf<EMAPI_LOGON_FAILED>()},
    {0x80040112, VoExceptionClassOf<EMAPI_SESSION_LIMIT>()},
    {0x80040113, VoExceptionClassOf<EMAPI_USER_CANCEL>()},
    {0x80040114, VoExceptionClassOf<EMAPI_UNABLE_TO_ABORT>()},
    {0x80040115, VoExceptionClassOf<EMAPI_NETWORK_ERROR>()},
    {0x80040116, VoExceptionClassOf<EMAPI_DISK_ERROR>()},
    {0x80040117, VoExceptionClassOf<EMAPI_TOO_COMPLEX>()},
    {0x80040118, VoExceptionClassOf<EMAPI_BAD_COLUMN>()},
    {0x80040119, VoExceptionClassOf<EMAPI_EXTENDED_ERROR>()},
    {0x8004011A, VoExceptionClassOf<EMAPI_COMPUTED>()},
    {0x8004011B, VoExceptionClassOf<EMAPI_CORRUPT_DATA>()},
    {0x8004011C, VoExceptionClassOf<EMAPI_UNCONFIGURED>()},
    {0x8004011D, VoExceptionClassOf<EMAPI_FAILONEPROVIDER>()},
    {0x8004011E, VoExceptionClassOf<EMAPI_UNKNOWN_CPID>()},
    {0x8004011F, VoExceptionClassOf<EMAPI_UNKNOWN_LCID>()},
    {0x80040120, VoExceptionClassOf<EMAPI_PASSWORD_CHANGE_REQUIRED>()},
    {0x80040121, VoExceptionClassOf<EMAPI_PASSWORD_EXPIRED>()},
    {0x80040122, VoExceptionClassOf<EMAPI_INVALID_WORKSTATION_ACCOUNT>()},
    {0x80040123, VoExceptionClassOf<EMAPI_INVALID_ACCESS_TIME>()},
    {0x80040124, VoExceptionClassOf<EMAPI_ACCOUNT_DISABLED>()},
    {0x80040200, VoExceptionClassOf<EMAPI_END_OF_SESSION>()},
    {0x80040201, VoExceptionClassOf<EMAPI_UNKNOWN_ENTRYID>()},
    {0x80040202, VoExceptionClassOf<EMAPI_MISSING_REQUIRED_COLUMN>()},
    {0x80040301, VoExceptionClassOf<EMAPI_BAD_VALUE>()},
    {0x80040302, VoExceptionClassOf<EMAPI_INVALID_TYPE>()},
    {0x80040303, VoExceptionClassOf<EMAPI_TYPE_NO_SUPPORT>()},
    {0x80040304, VoExceptionClassOf<EMAPI_UNEXPECTED_TYPE>()},
    {0x80040305, VoExceptionClassOf<EMAPI_TOO_BIG>()},
    {0x80040306, VoExceptionClassOf<EMAPI_DECLINE_COPY>()},
    {0x80040307, VoExceptionClassOf<EMAPI_UNEXPECTED_ID>()},
    {0x80040400, VoExceptionClassOf<EMAPI_UNABLE_TO_COMPLETE>()},
    {0x80040401, VoExceptionClassOf<EMAPI_TIMEOUT>()},
    {0x80040402, VoExceptionClassOf<EMAPI_TABLE_EMPTY>()},
    {0x80040403, VoExceptionClassOf<EMAPI_TABLE_TOO_BIG>()},
    {0x80040405, VoExceptionClassOf<EMAPI_INVALID_BOOKMARK>()},
    {0x80040500, VoExceptionClassOf<EMAPI_WAIT>()},
    {0x80040501, VoExceptionClassOf<EMAPI_CANCEL>()},
    {0x80040502, VoExceptionClassOf<EMAPI_NOT_ME>()},
    {0x80040600, VoExceptionClassOf<EMAPI_CORRUPT_STORE>()},
    {0x80040601, VoExceptionClassOf<EMAPI_NOT_IN_QUEUE>()},
    {0x80040602, VoExceptionClassOf<EMAPI_NO_SUPPRESS>()},
    {0x80040604, VoExceptionClassOf<EMAPI_COLLISION>()},
    {0x80040605, VoExceptionClassOf<EMAPI_NOT_INITIALIZED>()},
    {0x80040606, VoExceptionClassOf<EMAPI_NON_STANDARD>()},
    {0x80040607, VoExceptionClassOf<EMAPI_NO_RECIPIENTS>()},
    {0x80040608, VoExceptionClassOf<EMAPI_SUBMITTED>()},
    {0x80040609, VoExceptionClassOf<EMAPI_HAS_FOLDERS>()},
    {0x8004060A, VoExceptionClassOf<EMAPI_HAS_MESSAGES>()},
    {0x8004060B, VoExceptionClassOf<EMAPI_FOLDER_CYCLE>()},
    {0x8004060C, VoExceptionClassOf<EMAPI_STORE_FULL>()},
    {0x80040700, VoExceptionClassOf<EMAPI_AMBIGUOUS_RECIP>()},
    {0x80070005, VoExceptionClassOf<EMAPI_NO_ACCESS>()},
    {0x8007000E, VoExceptionClassOf<EMAPI_NOT_ENOUGH_MEMORY>()},
    {0x80070057, VoExceptionClassOf<EMAPI_INVALID_PARAMETER>()},
    {0x81002746, VoExceptionClassOf<EMAPI_INVALID_PARAMETER>()},
};

struct CodeText {
  uint32_t code;
  EVoMAPIExceptionClass cls;
  std::u16string_view text;
};

// Simple MAPI's result codes, their classes and texts. Simple MAPI leaves code 7
// unused, so it has neither.
constexpr CodeText kSimpleResults[] = {
    {1, VoExceptionClassOf<EMAPI_USER_ABORT>(), u"The user cancelled the action."},
    {2, VoExceptionClassOf<EMAPI_FAILURE>(), u"One or more errors occurred while executing this action."},
    {3, VoExceptionClassOf<EMAPI_LOGON_FAILURE>(), u"Failed to logon."},
    {4, VoExceptionClassOf<EMAPI_DISK_FULL>(),
     u"The action failed, because there is not enough free space on the disk."},
    {5, VoExceptionClassOf<EMAPI_INSUFFICIENT_MEMORY>(),
     u"The action failed, because there is not enough free memory."},
    {6, VoExceptionClassOf<EMAPI_ACCESS_DENIED>(), u"The action failed, because access was denied."},
    {8, VoExceptionClassOf<EMAPI_TOO_MANY_SESSIONS>(), u"The action failed, because there are too may sessions open."},
    {9, VoExceptionClassOf<EMAPI_TOO_MANY_FILES>(), u"The action failed, because there are too many files open."},
    {10, VoExceptionClassOf<EMAPI_TOO_MANY_RECIPIENTS>(), u"The action failed, because there are too many recipients."},
    {11, VoExceptionClassOf<EMAPI_ATTACHMENT_NOT_FOUND>(),
     u"The action failed, because the given attachment was not found."},
    {12, VoExceptionClassOf<EMAPI_ATTACHMENT_OPEN_FAILURE>(),
     u"The action failed, because the given attachment could not be opened."},
    {13, VoExceptionClassOf<EMAPI_ATTACHMENT_WRITE_FAILURE>(),
     u"The action failed, because the given attachment coult not be saved."},
    {14, VoExceptionClassOf<EMAPI_UNKNOWN_RECIPIENT>(),
     u"The action failed, because there is an unresolved recipient."},
    {15, VoExceptionClassOf<EMAPI_BAD_RECIPTYPE>(), u"The action failed, because of an invalid recipienttype"},
    {16, VoExceptionClassOf<EMAPI_NO_MESSAGES>(), u"The action failed, because there are no messages."},
    {17, VoExceptionClassOf<EMAPI_INVALID_MESSAGE>(), u"The action failed, because of an invalid message."},
    {18, VoExceptionClassOf<EMAPI_TEXT_TOO_LARGE>(), u"The action failed, because the messagetext is too large."},
    {19, VoExceptionClassOf<EMAPI_INVALID_SESSION>(), u"The action failed, because of an invalid session."},
    {20, VoExceptionClassOf<EMAPI_TYPE_NOT_SUPPORTED>(), u"The action failed, because of an unsupported type."},
    {21, VoExceptionClassOf<EMAPI_AMBIGUOUS_RECIPIENT>(), u"The action failed, because of an ambiguous recipient."},
    {22, VoExceptionClassOf<EMAPI_MESSAGE_IN_USE>(), u"The action failed, because the message is in use."},
    {23, VoExceptionClassOf<EMAPI_NETWORK_FAILURE>(), u"The action failed, because of a network failure."},
    {24, VoExceptionClassOf<EMAPI_INVALID_EDITFIELDS>(), u"The action failed, because of invalid editfields."},
    {25, VoExceptionClassOf<EMAPI_INVALID_RECIPS>(), u"The action failed, because of invalid recipients."},
    {26, VoExceptionClassOf<EMAPI_NOT_SUPPORTED>(), u"The action is not supported by Simple MAPI."},
};
constexpr std::u16string_view kSimpleUnknownText = u"Unknown error";

// Results that CheckMAPIResult explains with a text of their own.
constexpr CodeText kResultTexts[] = {
    {0x00040203, VoExceptionClassOf<EMAPI_W_NO_SERVICE>(), u"MAPI_W_NO_SERVICE"},
    {0x00040380, VoExceptionClassOf<EMAPI_W_ERRORS_RETURNED>(), u"MAPI_W_ERRORS_RETURNED"},
    {0x00040481, VoExceptionClassOf<EMAPI_W_POSITION_CHANGED>(), u"MAPI_W_POSITION_CHANGED"},
    {0x00040482, VoExceptionClassOf<EMAPI_W_APPROX_COUNT>(), u"MAPI_W_APPROX_COUNT"},
    {0x00040580, VoExceptionClassOf<EMAPI_W_CANCEL_MESSAGE>(), u"MAPI_W_CANCEL_MESSAGE"},
    {0x00040680, VoExceptionClassOf<EMAPI_W_PARTIAL_COMPLETION>(), u"MAPI_W_PARTIAL_COMPLETION"},
    {0x80040103, VoExceptionClassOf<EMAPI_BAD_CHARWIDTH>(),
     u"Either the MAPI_UNICODE flag was set and the implementation does not support Unicode,"
     u"\r\nor MAPI_UNICODE was not set and the implementation only supports Unicode."},
    {0x80040106, VoExceptionClassOf<EMAPI_UNKNOWN_FLAGS>(), u"The caller passed an invalid parameter or flag."},
    {0x80040107, VoExceptionClassOf<EMAPI_INVALID_ENTRYID>(), u"The given EntryID is not a valid EntryID!"},
    {0x80040108, VoExceptionClassOf<EMAPI_INVALID_OBJECT>(), u"MAPI_INVALID_OBJECT"},
    {0x8004010E, VoExceptionClassOf<EMAPI_NOT_ENOUGH_RESOURCES>(),
     u"Not enough system resources were available to complete the operation."},
    {0x8004010F, VoExceptionClassOf<EMAPI_NOT_FOUND>(), u"The requested object does not exist."},
    {0x80040111, VoExceptionClassOf<EMAPI_LOGON_FAILED>(),
     u"The logon did not succeed, either because one or more of the logon-parameters were "
     u"invalid \r\nor because there were too many sessions open already."},
    {0x80040113, VoExceptionClassOf<EMAPI_USER_CANCEL>(),
     u"The user canceled the operation, typically by clicking the Cancel button in a dialog "
     u"box."},
    {0x8004011E, VoExceptionClassOf<EMAPI_UNKNOWN_CPID>(),
     u"The server is not configured to support the client''s code page."},
    {0x8004011F, VoExceptionClassOf<EMAPI_UNKNOWN_LCID>(),
     u"The server is not configured to support the client''s locale information."},
    {0x80040201, VoExceptionClassOf<EMAPI_UNKNOWN_ENTRYID>(), u"The given EntryID could not be located."},
    {0x80040401, VoExceptionClassOf<EMAPI_TIMEOUT>(), u"A TimeOut has occurred."},
    {0x80070005, VoExceptionClassOf<EMAPI_NO_ACCESS>(),
     u"The caller does not have sufficient access rights to perform the requested "
     u"operation."},
    {0x8007000E, VoExceptionClassOf<EMAPI_NOT_ENOUGH_MEMORY>(), u"MAPI_E_NOT_ENOUGH_MEMORY"},
    {0x80070057, VoExceptionClassOf<EMAPI_INVALID_PARAMETER>(), u"The caller passed an invalid parameter or flag."},
    {0x81002746, VoExceptionClassOf<EMAPI_INVALID_PARAMETER>(),
     u"The name specified for PR_PROFILE_UNRESOLVED_NAME is incorrect, invalid, or otherwise "
     u"not found."},
};

constexpr HRESULT kExtendedError = MakeHResult(0x80040119);
constexpr ULONG kSimpleSuccess = 0;

constexpr std::u16string_view kF1 = u"%s.%s has raised the following exception:\r\n%s (%d)";
constexpr std::u16string_view kF2 = u"%s.%s has raised the following exception:\r\n%s (%d=0x%3:.8x)";
constexpr std::u16string_view kF3 = u"%s.%s raised an exception with errorcode %d / 0x%3:.8x!";

template <class Entry, size_t N>
const Entry* FindCode(const Entry (&table)[N], uint32_t code) {
  auto it = std::find_if(std::begin(table), std::end(table), [code](const Entry& e) { return e.code == code; });
  return it == std::end(table) ? nullptr : it;
}

// Raises EVoMAPIException explaining Result with text, or with the code alone when
// there is no text.
[[noreturn]] void RaiseExplained(std::u16string_view className, std::u16string_view methodName, const WideString& text,
                                 HRESULT result) {
  WideString message = text.empty() ? Format(kF3, {className, methodName, result, result})
                                    : Format(kF2, {className, methodName, text, result});
  kit::Raise(VoExceptionClassOf<EVoMAPIException>(), message, result);
}

// The text of MAPI_E_EXTENDED_ERROR: the wrapper's extended error, else the system's.
WideString ExtendedErrorText(HRESULT result, IVoMAPIWrapper* wrapper) {
  if (wrapper) {
    TVoMAPIError error;
    wrapper->GetExtendedErrorInfo(result, error);
    if (!error.Error.empty()) return error.Error + u" (" + error.Component + u")";
  }
  return VoSysErrorMessage(result);
}

// Registers the tables when the library is loaded, so that lookups through the
// support layer's registry work from then on.
struct LoadTimeRegistration {
  LoadTimeRegistration() { VoMAPIRegisterExceptions(); }
} loadTimeRegistration;

}  // namespace

void VoMAPIRegisterExceptions() {
  static const bool registered = [] {
    VoRegisterDefaultExceptionClass(MAPIErrorGroup, VoExceptionClassOf<EVoMAPIException>());
    for (const CodeClass& entry : kResultClasses)
      VoRegisterExceptionClass(MAPIErrorGroup, static_cast<int32_t>(entry.code), entry.cls);
    for (const CodeText& entry : kSimpleResults)
      VoRegisterExceptionClass(MAPIErrorGroup, static_cast<int32_t>(entry.code), entry.cls);
    return true;
  }();
  (void)registered;
}

EVoMAPIExceptionClass GetMAPIExceptionClass(HRESULT Code) {
  VoMAPIRegisterExceptions();
  return VoGetExceptionClass(MAPIErrorGroup, Code);
}

EVoMAPIExceptionClass GetMAPIExceptionClass(HRESULT Code, bool UseDefault) {
  VoMAPIRegisterExceptions();
  return VoGetExceptionClass(MAPIErrorGroup, Code, UseDefault);
}

std::exception_ptr CreateVoMAPIException(HRESULT Code, const WideString& Text) {
  VoMAPIRegisterExceptions();
  return VoCreateException(MAPIErrorGroup, Code, Text);
}

std::exception_ptr CreateVoMAPIException(HRESULT Code, std::u16string_view Fmt, std::initializer_list<TVarRec> Args) {
  return CreateVoMAPIException(Code, Format(Fmt, Args));
}

void CheckMAPIResult(std::u16string_view ClassName, std::u16string_view MethodName, HRESULT Result,
                     IVoMAPIWrapper* Wrapper) {
  if (Result == S_OK) return;
  uint32_t code = static_cast<uint32_t>(Result);
  if (const CodeText* entry = FindCode(kResultTexts, code))
    kit::Raise(entry->cls, Format(kF1, {ClassName, MethodName, entry->text, Result}), Result);
  if (Result == kExtendedError) RaiseExplained(ClassName, MethodName, ExtendedErrorText(Result, Wrapper), Result);
  if (FindCode(kResultClasses, code)) {
    EVoMAPIExceptionClass cls = GetMAPIExceptionClass(Result, true);
    std::u16string_view shortName = cls->Name.substr(std::min<size_t>(6, cls->Name.size()));
    WideString name = u"MAPI_E_" + WideString(shortName);
    kit::Raise(cls, Format(kF2, {ClassName, MethodName, name, Result}), Result);
  }
  RaiseExplained(ClassName, MethodName, VoSysErrorMessage(Result), Result);
}

void CheckMAPIResult(IVoMAPIWrapper* Wrapper, std::u16string_view MethodName, HRESULT Result) {
  if (Result == S_OK) return;
  CheckMAPIResult(Wrapper ? Wrapper->GetClassName() : WideString(), MethodName, Result, Wrapper);
}

void CheckSimpleMAPIResult(ULONG Code) {
  if (Code == kSimpleSuccess || Code == static_cast<ULONG>(E_FAIL)) return;
  const CodeText* entry = FindCode(kSimpleResults, Code);
  WideString text(entry ? entry->text : kSimpleUnknownText);
  kit::Raise(static_cast<int32_t>(Code), text);
}

}  // namespace orba
