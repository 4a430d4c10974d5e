// Loading shared libraries at run time, in the shape of LoadLibraryW, GetProcAddress and
// FreeLibrary.
#pragma once

#include "orba/common/types.h"

namespace orba {

using TVoLibHandle = void*;

// Loads a library and binds all its symbols now, keeping them local to it.
// - A name with a folder part is loaded from there.
// - The bare name "MAPI32.dll" (any case) is the system's MAPI stub: it stands for the
//   default mail client's library, found as the stub finds it on Windows: the default
//   value of Software\Clients\Mail (current user, then local machine) names the client,
//   whose key (current user, then local machine) gives "DLLPathEx" (else "DLLPath"),
//   with environment variables expanded.
// - Other bare names are looked for next to this library, then by the system's search.
// Failures raise EVoOSError with a Win32 code: ERROR_MOD_NOT_FOUND (126) for a missing
// file, ERROR_ACCESS_DENIED (5) when it may not be read, ERROR_BAD_EXE_FORMAT (193) for
// a file that is not a library of this machine, ERROR_PROC_NOT_FOUND (127) when a symbol
// it needs is missing, ERROR_DLL_INIT_FAILED (1114) otherwise.
// With keepMapped the library stays in memory for the life of the process, whatever
// VoFreeLibrary does: objects it handed out may be released after it was freed.
TVoLibHandle VoLoadLibrary(const WideString& fileName, bool keepMapped = false);
// The address of an exported symbol, or nullptr.
void* VoGetProcAddress(TVoLibHandle handle, const char* name);
// Unloads a library; raises EVoOSError when the system refuses.
void VoFreeLibrary(TVoLibHandle handle);
// The file a bare "MAPI32.dll" stands for (see VoLoadLibrary); empty when no mail client
// is registered.
WideString VoResolveMAPIStub();
// The folder of the shared library (or program) that contains this code, with a
// trailing "/".
WideString VoModuleFolder();

}  // namespace orba
