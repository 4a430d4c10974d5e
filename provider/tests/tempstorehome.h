// A fresh ORBA_HOME for one test: a temporary folder set as ORBA_HOME for the test's
// lifetime and removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace orba::store::testing {

class TTempStoreHome {
 public:
  TTempStoreHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orbastore-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    setenv("ORBA_HOME", path_.c_str(), 1);
  }
  ~TTempStoreHome() {
    unsetenv("ORBA_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string ProfilesDb() const { return (path_ / "profiles.db").string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace orba::store::testing
