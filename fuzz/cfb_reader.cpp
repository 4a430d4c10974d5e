// Opens arbitrary bytes as a compound file, walks every storage and reads every stream;
// then changes the file in a transaction, commits and reads it again. Every step must
// either work or answer an STG_E_ code.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "orba/common/storage.h"

namespace {

using orba::ComPtr;

constexpr DWORD kRO = STGM_READ | STGM_SHARE_EXCLUSIVE;

// Reads every stream beneath root, storages by an explicit stack (no recursion).
void Walk(IStorage* root) {
  std::vector<ComPtr<IStorage>> pending{ComPtr<IStorage>(root)};
  std::vector<uint8_t> buffer(4096);
  while (!pending.empty()) {
    ComPtr<IStorage> storage = std::move(pending.back());
    pending.pop_back();
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.Out()))) continue;
    for (STATSTG stat; elements->Next(1, &stat, nullptr) == S_OK; CoTaskMemFree(stat.pwcsName)) {
      if (stat.type == STGTY_STORAGE) {
        ComPtr<IStorage> child;
        if (SUCCEEDED(storage->OpenStorage(stat.pwcsName, nullptr, kRO, nullptr, 0, child.Out())))
          pending.push_back(child);
        continue;
      }
      ComPtr<IStream> stream;
      if (FAILED(storage->OpenStream(stat.pwcsName, nullptr, kRO, 0, stream.Out()))) continue;
      for (ULONG got = 0; stream->Read(buffer.data(), ULONG(buffer.size()), &got) == S_OK && got > 0;) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto memory = std::make_shared<orba::TVoMemoryStream>(data, size);
  auto lockBytes = orba::VoCreateLockBytes(memory);
  ComPtr<IStorage> root;
  if (FAILED(StgOpenStorageOnILockBytes(lockBytes.get(), nullptr, kRO, nullptr, 0, root.Out()))) return 0;
  Walk(root.get());
  root = nullptr;

  if (FAILED(StgOpenStorageOnILockBytes(lockBytes.get(), nullptr, STGM_READWRITE | STGM_TRANSACTED, nullptr, 0,
                                        root.Out())))
    return 0;
  ComPtr<IStream> stream;
  if (SUCCEEDED(root->CreateStream(u"__substg1.0_0037001F", STGM_READWRITE | STGM_CREATE, 0, 0, stream.Out()))) {
    std::vector<uint8_t> text(5000, 'x');
    stream->Write(text.data(), ULONG(text.size()), nullptr);
  }
  if (SUCCEEDED(root->Commit(0))) {
    stream = nullptr;
    root = nullptr;
    if (SUCCEEDED(StgOpenStorageOnILockBytes(lockBytes.get(), nullptr, kRO, nullptr, 0, root.Out()))) Walk(root.get());
  }
  return 0;
}
