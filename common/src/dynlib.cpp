#include "orba/common/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "orba/common/casefold.h"
#include "orba/common/environment.h"
#include "orba/common/files.h"
#include "orba/common/oserror.h"
#include "orba/common/registry.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The Win32 code for a dlopen failure, judged from the file and the loader's message.
int32_t LoadErrorCode(const std::string& file, const std::string& message) {
  if (file.find('/') != std::string::npos) {
    if (access(file.c_str(), F_OK) != 0) return ERROR_MOD_NOT_FOUND;
    if (access(file.c_str(), R_OK) != 0) return ERROR_ACCESS_DENIED;
  }
  if (Contains(message, "Permission denied")) return ERROR_ACCESS_DENIED;
  if (Contains(message, "No such file")) return ERROR_MOD_NOT_FOUND;
  if (Contains(message, "undefined symbol")) return ERROR_PROC_NOT_FOUND;
  if (Contains(message, "wrong ELF class") || Contains(message, "invalid ELF header") ||
      Contains(message, "file too short") || Contains(message, "ELF file"))
    return ERROR_BAD_EXE_FORMAT;
  return ERROR_DLL_INIT_FAILED;
}

// Default value of Software\Clients\Mail, or a client's path value, current user first.
WideString ReadMailSetting(const WideString& key, const WideString& name) {
  for (TVoRegRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TVoRegistry registry(KEY_READ);
    registry.SetRootKey(root);
    if (registry.OpenKeyReadOnly(key)) {
      WideString value = registry.ReadString(name);
      if (!value.empty()) return value;
    }
  }
  return {};
}

}  // namespace

WideString VoResolveMAPIStub() {
  const WideString mail = u"Software\\Clients\\Mail";
  WideString client = ReadMailSetting(mail, u"");
  if (client.empty()) return {};
  WideString path = ReadMailSetting(mail + u"\\" + client, u"DLLPathEx");
  if (path.empty()) path = ReadMailSetting(mail + u"\\" + client, u"DLLPath");
  return VoExpandFileName(path);
}

WideString VoModuleFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&VoModuleFolder), &info) == 0 || !info.dli_fname) return {};
  WideString file = FromUtf8(info.dli_fname);
  if (file.empty() || file.front() != u'/') {
    // The main program is reported by the name it was started with.
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    file = FromUtf8(std::string(self, static_cast<size_t>(n)));
  }
  // A library found through a relative run path ("bin/../lib") is named by that path.
  return ExtractFilePath(FromUtf8(std::filesystem::path(ToUtf8(file)).lexically_normal().string()));
}

TVoLibHandle VoLoadLibrary(const WideString& fileName, bool keepMapped) {
  WideString target = fileName;
  if (!HasFolderPart(fileName)) {
    if (VoSameText(fileName, u"MAPI32.dll")) {
      target = VoResolveMAPIStub();
      if (target.empty())
        throw EVoOSError(
            u"MAPI32.dll: no default mail client is registered under "
            u"Software\\Clients\\Mail",
            ERROR_MOD_NOT_FOUND);
    } else if (WideString local = VoModuleFolder() + fileName; FileExists(local)) {
      target = local;
    }
  }
  std::string file = ToUtf8(target);
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | (keepMapped ? RTLD_NODELETE : 0));
  if (!handle) {
    const char* error = dlerror();
    std::string message = error ? error : "unknown error";
    throw EVoOSError(FromUtf8("Failed to load the library " + file + ": " + message), LoadErrorCode(file, message));
  }
  return handle;
}

void* VoGetProcAddress(TVoLibHandle handle, const char* name) {
  if (!handle || !name) return nullptr;
  return dlsym(handle, name);
}

void VoFreeLibrary(TVoLibHandle handle) {
  if (!handle) throw EVoOSError(u"Failed to free a library: no library handle", ERROR_INVALID_PARAMETER);
  if (dlclose(handle) != 0) {
    const char* error = dlerror();
    throw EVoOSError(FromUtf8(std::string("Failed to free a library: ") + (error ? error : "")), ERROR_GEN_FAILURE);
  }
}

}  // namespace orba
