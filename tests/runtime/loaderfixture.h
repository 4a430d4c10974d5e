// Shared set-up of the loader's tests: a fresh ORBA_HOME with its own registry file, the
// loader's process state reset before and after each test, and handles on the test
// doubles' steering functions.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "common/mapierror.h"
#include "common/temphome.h"
#include "orba/VoMAPILib.h"
#include "orba/common/utf8.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba::test {

// One test double, opened by the test itself so that its state outlives the loader's
// unloading; steered by name.
class FakeLibrary {
 public:
  explicit FakeLibrary(const std::string& file) : file_(file) {
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(dlerror());
    set_ = reinterpret_cast<void (*)(const char*, long)>(dlsym(handle_, "FakeSet"));
    get_ = reinterpret_cast<long (*)(const char*)>(dlsym(handle_, "FakeGet"));
    text_ = reinterpret_cast<const char* (*)(const char*)>(dlsym(handle_, "FakeText"));
    reinterpret_cast<void (*)()>(dlsym(handle_, "FakeReset"))();
  }
  ~FakeLibrary() { dlclose(handle_); }
  FakeLibrary(const FakeLibrary&) = delete;
  FakeLibrary& operator=(const FakeLibrary&) = delete;

  void Set(const char* name, long value) { set_(name, value); }
  long Get(const std::string& name) { return get_(name.c_str()); }
  long Calls(const std::string& name) { return Get("calls." + name); }
  std::string Text(const char* name) { return text_(name); }
  const std::string& File() const { return file_; }
  WideString Path() const { return FromUtf8(file_); }

 private:
  std::string file_;
  void* handle_;
  void (*set_)(const char*, long);
  long (*get_)(const char*);
  const char* (*text_)(const char*);
};

// Uninitialises the calling thread and unloads the client library, whatever state the
// last test left.
inline void ResetLoader() {
  if (VoMAPIInitialized()) VoMAPIUninitialize(false);
  VoUnloadDLL();
  detail::VoResetOutlookInfo();
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLoader(); }
  void TearDown() override { ResetLoader(); }

  // Replaces the registry file with these sections.
  void Registry(const std::string& sections) {
    WriteText(home_.RegistryFile(), "Windows Registry Editor Version 5.00\n\n" + sections);
    detail::VoResetOutlookInfo();
  }
  // Registers `file` as the default mail client `name`.
  void DefaultClient(const std::string& name, const std::string& file) {
    Registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n@=\"" + name +
             "\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\" + name + "]\n\"DLLPathEx\"=\"" + file + "\"\n");
  }
  std::string Home() const { return home_.Home(); }
  // Loads the client library `file`.
  static void Load(const std::string& file, bool unloadOnUninit = false) {
    WideString name = FromUtf8(file);
    bool extended = false;
    VoLoadMAPIDLL(name, extended, unloadOnUninit);
  }

  TempHome home_;
};

}  // namespace orba::test
