// File names and file-system queries. File names may come from the registry in Windows
// form, so the name functions accept both "/" and "\" as folder separators.
#pragma once

#include <vector>

#include "orba/common/types.h"

namespace orba {

// Whether the name denotes an existing file (not a folder); symbolic links are followed.
bool FileExists(const WideString& fileName);
// Whether the name denotes an existing folder.
bool DirectoryExists(const WideString& dirName);
// The folder part including the trailing separator ("" when there is none).
WideString ExtractFilePath(const WideString& fileName);
// The name after the last separator.
WideString ExtractFileName(const WideString& fileName);
// The extension including its dot (".txt"), or "" when the name has none.
WideString ExtractFileExt(const WideString& fileName);
// Whether the name has a folder part.
bool HasFolderPart(const WideString& fileName);

// The full names of the files in `folder` whose names match `mask` ("*", "?", ignoring
// case), with the files of each folder in name order before its subfolders when
// `recursive`. Unreadable folders are skipped; linked folders are not entered, so a
// link cycle cannot trap the search. A missing folder gives an empty list.
std::vector<WideString> VoFindFiles(const WideString& folder, const WideString& mask, bool recursive);

// The folder for temporary files ($TMPDIR, else /tmp), with a trailing "/".
WideString VoGetTempDir();
// Creates a new empty file with a unique name "<prefix>XXXXXX<ext>" in the temporary
// folder and returns its full name (ext includes its dot, or is empty). Raises EVoOSError
// when the file cannot be created.
WideString VoGetTempFileName(const WideString& prefix, const WideString& ext);

// A fresh temporary folder that is removed with its contents when the object goes.
class TVoTempFolder {
 public:
  explicit TVoTempFolder(const WideString& prefix = u"orba");
  ~TVoTempFolder();
  TVoTempFolder(const TVoTempFolder&) = delete;
  TVoTempFolder& operator=(const TVoTempFolder&) = delete;
  // The folder's full name, without a trailing separator.
  const WideString& Path() const { return path_; }

 private:
  WideString path_;
};

}  // namespace orba
