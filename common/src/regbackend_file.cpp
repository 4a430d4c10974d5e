// The file-backed registry: $ORBA_HOME/registry.reg holds a registry script that is
// applied on top of a built-in default layer (Orba Store registered as the default mail
// client). The file stores only what differs from that layer: changed or added values,
// "name"=- for a default value that was deleted and [-key] for a default key that was
// deleted. So the default follows the library when it moves, and the file still can
// override or remove it.
//
// Every change is made under an advisory lock (flock on registry.reg.lock): the file is
// read again, the change applied and the result written to a temporary file that then
// replaces registry.reg, so readers never see half a file and two processes never lose
// each other's changes. Reads use a copy that is reloaded whenever the file changed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "orba/common/casefold.h"
#include "orba/common/dynlib.h"
#include "orba/common/environment.h"
#include "orba/common/oserror.h"
#include "orba/common/regbackend.h"
#include "orba/common/regfile.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& file, int err) {
  throw EVoOSError(FromUtf8(what + " " + file + ": " + std::strerror(err)), VoErrnoToOSError(err));
}

// Closes a file descriptor (and so releases its lock) when it goes.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Identifies one version of the file: a replaced file has another inode.
struct FileStamp {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};

  static FileStamp Of(const struct stat& st) { return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim}; }
  bool operator==(const FileStamp& o) const {
    return Exists == o.Exists && Device == o.Device && Inode == o.Inode && Size == o.Size &&
           Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
  }
};

std::unique_ptr<TVoRegKey> BuiltInDefaults() {
  auto tree = std::make_unique<TVoRegKey>(u"");
  tree->CreateSubKey(WideString(HKCU_NAME));
  TVoRegKey& machine = tree->CreateSubKey(WideString(HKLM_NAME));
  const WideString dll = VoModuleFolder() + u"liborbastore.so";
  for (const auto* mail : {u"SOFTWARE\\Clients\\Mail", u"SOFTWARE\\Wow6432Node\\Clients\\Mail"}) {
    TVoRegKey& clients = machine.Create(VoSplitKeyPath(mail));
    clients.SetValue(u"", TVoRegValue::String(u"Orba Store"));
    clients.CreateSubKey(u"Orba Store").SetValue(u"DLLPathEx", TVoRegValue::String(dll));
  }
  return tree;
}

// Sections that turn `base` into `key` (either may be missing); roots get no section.
void Diff(const TVoRegKey* key, const TVoRegKey* base, std::vector<WideString>& path, TVoRegScript& script) {
  if (!key) {
    script.push_back({path, true, {}, 0});
    return;
  }
  TVoRegSection section{path, false, {}, 0};
  for (const auto& [folded, named] : key->Values()) {
    const TVoRegValue* old = base ? base->Value(named.Name) : nullptr;
    if (!old || !(*old == named.Value)) section.Entries.push_back({named.Name, named.Value});
  }
  if (base)
    for (const auto& [folded, named] : base->Values())
      if (!key->Value(named.Name)) section.Entries.push_back({named.Name, std::nullopt});
  if (path.size() >= 2 && (!base || !section.Entries.empty())) script.push_back(std::move(section));
  for (const auto& [folded, sub] : key->SubKeys()) {
    path.push_back(sub->Name());
    Diff(sub.get(), base ? base->SubKey(folded) : nullptr, path, script);
    path.pop_back();
  }
  if (base)
    for (const auto& [folded, sub] : base->SubKeys())
      if (!key->SubKey(folded)) {
        path.push_back(sub->Name());
        Diff(nullptr, sub.get(), path, script);
        path.pop_back();
      }
}

class TVoFileRegistry final : public IVoRegistryBackend {
 public:
  bool KeyExists(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    std::lock_guard guard(mutex_);
    return Current().Find(Physical(root, path, view)) != nullptr;
  }

  bool CreateKey(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    auto names = Physical(root, path, view);
    if (KeyExists(root, path, view)) return true;
    Modify([&](TVoRegKey& tree) {
      if (tree.Find(names)) return false;
      tree.Create(names);
      return true;
    });
    return true;
  }

  bool DeleteKey(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    auto names = Physical(root, path, view);
    if (names.size() < 2) return false;
    bool deleted = false;
    Modify([&](TVoRegKey& tree) { return deleted = tree.Delete(names); });
    return deleted;
  }

  std::optional<TVoRegValue> ReadValue(TVoRegRoot root, const WideString& path, TVoBitness view,
                                       const WideString& name) override {
    std::lock_guard guard(mutex_);
    const TVoRegKey* key = Current().Find(Physical(root, path, view));
    const TVoRegValue* value = key ? key->Value(name) : nullptr;
    if (!value) return std::nullopt;
    return *value;
  }

  bool WriteValue(TVoRegRoot root, const WideString& path, TVoBitness view, const WideString& name,
                  const TVoRegValue& value) override {
    auto names = Physical(root, path, view);
    if (names.size() < 2) return false;
    bool written = false;
    Modify([&](TVoRegKey& tree) {
      TVoRegKey* key = tree.Find(names);
      if (!key) return false;
      const TVoRegValue* old = key->Value(name);
      written = true;
      if (old && *old == value) return false;
      key->SetValue(name, value);
      return true;
    });
    return written;
  }

  bool DeleteValue(TVoRegRoot root, const WideString& path, TVoBitness view, const WideString& name) override {
    auto names = Physical(root, path, view);
    bool deleted = false;
    Modify([&](TVoRegKey& tree) {
      TVoRegKey* key = tree.Find(names);
      return deleted = key && key->DeleteValue(name);
    });
    return deleted;
  }

  std::vector<WideString> SubKeyNames(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    std::lock_guard guard(mutex_);
    std::vector<WideString> names;
    if (const TVoRegKey* key = Current().Find(Physical(root, path, view)))
      for (const auto& [folded, sub] : key->SubKeys()) names.push_back(sub->Name());
    return names;
  }

  std::vector<WideString> ValueNames(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    std::lock_guard guard(mutex_);
    std::vector<WideString> names;
    if (const TVoRegKey* key = Current().Find(Physical(root, path, view)))
      for (const auto& [folded, named] : key->Values()) names.push_back(named.Name);
    return names;
  }

  void ApplyScript(std::string_view script, const WideString& sourceName) override {
    TVoRegScript parsed = VoParseRegScript(script, sourceName);
    Modify([&](TVoRegKey& tree) {
      VoApplyRegScript(parsed, tree);
      return true;
    });
  }

  std::string ExportKey(TVoRegRoot root, const WideString& path, TVoBitness view) override {
    std::lock_guard guard(mutex_);
    return VoWriteRegScript(VoExportRegTree(Current(), Physical(root, path, view)));
  }

 private:
  // The key names from the top of the tree: the root's name, then the path, with the
  // 32-bit view of HKLM\SOFTWARE redirected to HKLM\SOFTWARE\Wow6432Node as on Windows.
  static std::vector<WideString> Physical(TVoRegRoot root, const WideString& path, TVoBitness view) {
    std::vector<WideString> names = VoSplitKeyPath(path);
    if (root == TVoRegRoot::LocalMachine && view == bt32 && !names.empty() && VoSameText(names[0], u"SOFTWARE") &&
        !(names.size() > 1 && VoSameText(names[1], u"Wow6432Node")))
      names.insert(names.begin() + 1, u"Wow6432Node");
    names.insert(names.begin(), WideString(root == TVoRegRoot::CurrentUser ? HKCU_NAME : HKLM_NAME));
    return names;
  }

  static std::string FileName() { return ToUtf8(VoOrbaHome()) + "/registry.reg"; }

  const TVoRegKey& Defaults() {
    if (!defaults_) defaults_ = BuiltInDefaults();
    return *defaults_;
  }

  // Reads the file into defaults + file contents; stamps what was read.
  std::unique_ptr<TVoRegKey> Load(const std::string& file, FileStamp& stamp) {
    auto tree = Defaults().Clone();
    stamp = FileStamp{};
    FileHandle fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
      if (errno == ENOENT) return tree;
      ThrowFileError("Failed to open the registry file", file, errno);
    }
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) ThrowFileError("Failed to read the registry file", file, errno);
    std::string text;
    char buffer[65536];
    for (;;) {
      ssize_t got = read(fd.Get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ThrowFileError("Failed to read the registry file", file, errno);
      if (got == 0) break;
      text.append(buffer, static_cast<size_t>(got));
    }
    VoApplyRegScript(VoParseRegScript(text, FromUtf8(file)), *tree);
    stamp = FileStamp::Of(st);
    return tree;
  }

  // The registry as the file says now (caller holds mutex_).
  const TVoRegKey& Current() {
    std::string file = FileName();
    struct stat st;
    FileStamp now = stat(file.c_str(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
    if (!tree_ || file != file_ || !(now == stamp_)) {
      FileStamp loaded;
      auto tree = Load(file, loaded);
      tree_ = std::move(tree);
      file_ = file;
      stamp_ = loaded;
    }
    return *tree_;
  }

  // Applies `change` (returning whether it changed anything) to the file's latest
  // contents under the file lock and stores the result.
  template <typename Change>
  void Modify(Change change) {
    std::lock_guard guard(mutex_);
    std::string file = FileName();
    std::string folder = std::filesystem::path(file).parent_path().string();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) ThrowFileError("Failed to create the folder", folder, ec.value());
    std::string lockName = file + ".lock";
    FileHandle lock(open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0) ThrowFileError("Failed to open the registry lock file", lockName, errno);
    while (flock(lock.Get(), LOCK_EX) != 0)
      if (errno != EINTR) ThrowFileError("Failed to lock the registry file", lockName, errno);

    FileStamp stamp;
    auto tree = Load(file, stamp);
    if (change(*tree)) {
      Save(file, *tree);
      struct stat st;
      stamp = stat(file.c_str(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
    }
    tree_ = std::move(tree);
    file_ = file;
    stamp_ = stamp;
  }

  void Save(const std::string& file, const TVoRegKey& tree) {
    TVoRegScript script;
    std::vector<WideString> path;
    Diff(&tree, &Defaults(), path, script);
    std::string text = VoWriteRegScript(script);
    std::string temp = file + ".XXXXXX";
    int raw = mkostemp(temp.data(), O_CLOEXEC);
    if (raw < 0) ThrowFileError("Failed to create a temporary file for", file, errno);
    FileHandle fd(raw);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t put = write(fd.Get(), text.data() + done, text.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) {
        int err = errno;
        unlink(temp.c_str());
        ThrowFileError("Failed to write the registry file", temp, err);
      }
      done += static_cast<size_t>(put);
    }
    if (fsync(fd.Get()) != 0 || rename(temp.c_str(), file.c_str()) != 0) {
      int err = errno;
      unlink(temp.c_str());
      ThrowFileError("Failed to replace the registry file", file, err);
    }
  }

  std::mutex mutex_;
  std::unique_ptr<TVoRegKey> defaults_;
  std::unique_ptr<TVoRegKey> tree_;
  std::string file_;
  FileStamp stamp_;
};

}  // namespace

IVoRegistryBackend& VoRegistryBackend() {
  static TVoFileRegistry registry;
  return registry;
}

}  // namespace orba
