#include "orba/common/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "orba/common/casefold.h"
#include "orba/common/oserror.h"
#include "orba/common/utf8.h"

namespace orba {

namespace fs = std::filesystem;

static bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

static size_t LastSeparator(const WideString& name) { return name.find_last_of(u"/\\"); }

bool FileExists(const WideString& fileName) {
  struct stat st;
  return !fileName.empty() && stat(ToUtf8(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const WideString& dirName) {
  struct stat st;
  return !dirName.empty() && stat(ToUtf8(dirName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

WideString ExtractFilePath(const WideString& fileName) {
  size_t pos = LastSeparator(fileName);
  return pos == WideString::npos ? WideString() : fileName.substr(0, pos + 1);
}

WideString ExtractFileName(const WideString& fileName) {
  size_t pos = LastSeparator(fileName);
  return pos == WideString::npos ? fileName : fileName.substr(pos + 1);
}

WideString ExtractFileExt(const WideString& fileName) {
  WideString name = ExtractFileName(fileName);
  size_t dot = name.rfind(u'.');
  return dot == WideString::npos ? WideString() : name.substr(dot);
}

bool HasFolderPart(const WideString& fileName) { return LastSeparator(fileName) != WideString::npos; }

static void FindIn(const fs::path& folder, const WideString& mask, bool recursive, std::vector<WideString>& found) {
  std::vector<fs::path> files, folders;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    bool linked = it->is_symlink(typeError);
    if (!linked && it->is_directory(typeError)) {
      folders.push_back(it->path());
    } else if (it->is_regular_file(typeError) && VoMatchesMask(FromUtf8(it->path().filename().string()), mask)) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const auto& file : files) found.push_back(FromUtf8(file.string()));
  if (recursive)
    for (const auto& sub : folders) FindIn(sub, mask, recursive, found);
}

std::vector<WideString> VoFindFiles(const WideString& folder, const WideString& mask, bool recursive) {
  std::vector<WideString> found;
  if (DirectoryExists(folder)) FindIn(fs::path(ToUtf8(folder)), mask, recursive, found);
  return found;
}

WideString VoGetTempDir() {
  const char* dir = std::getenv("TMPDIR");
  WideString result = FromUtf8(dir && *dir ? dir : "/tmp");
  if (!IsSeparator(result.back())) result += u'/';
  return result;
}

WideString VoGetTempFileName(const WideString& prefix, const WideString& ext) {
  std::string pattern = ToUtf8(VoGetTempDir() + prefix) + "XXXXXX" + ToUtf8(ext);
  int fd = mkstemps(pattern.data(), static_cast<int>(ToUtf8(ext).size()));
  if (fd < 0) {
    int err = errno;
    throw EVoOSError(FromUtf8("Failed to create a temporary file (" + pattern + "): " + std::strerror(err)),
                     VoErrnoToOSError(err));
  }
  close(fd);
  return FromUtf8(pattern);
}

TVoTempFolder::TVoTempFolder(const WideString& prefix) {
  std::string pattern = ToUtf8(VoGetTempDir() + prefix) + "XXXXXX";
  if (!mkdtemp(pattern.data())) {
    int err = errno;
    throw EVoOSError(FromUtf8("Failed to create a temporary folder (" + pattern + "): " + std::strerror(err)),
                     VoErrnoToOSError(err));
  }
  path_ = FromUtf8(pattern);
}

TVoTempFolder::~TVoTempFolder() {
  std::error_code ec;
  fs::remove_all(fs::path(ToUtf8(path_)), ec);
}

}  // namespace orba
