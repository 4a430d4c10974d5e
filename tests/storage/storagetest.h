// Helpers of the structured-storage tests: storages in memory, stream contents, listings
// in the form the independent reader (Python's olefile) prints them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "orba/common/hash.h"
#include "orba/common/storage.h"
#include "orba/common/utf8.h"

namespace orba::test {

inline constexpr DWORD kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
inline constexpr DWORD kRO = STGM_READ | STGM_SHARE_EXCLUSIVE;

// n bytes that differ with seed and position.
inline TVoBytes Pattern(size_t n, uint32_t seed = 1) {
  TVoBytes bytes(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = uint8_t(x);
  }
  return bytes;
}

// A new compound file in memory; the caller keeps the memory to reopen it.
inline ComPtr<IStorage> NewStorage(const std::shared_ptr<TVoMemoryStream>& memory, DWORD mode = kRW,
                                   ULONG sectorSize = 512) {
  ComPtr<IStorage> storage;
  EXPECT_EQ(orba::VoStgCreateDocfileOnILockBytes(VoCreateLockBytes(memory).get(), mode, sectorSize, storage.Out()),
            S_OK);
  return storage;
}

// Opens a compound file held in bytes; the result code goes to hr.
inline ComPtr<IStorage> OpenBytes(const TVoBytes& bytes, DWORD mode, HRESULT* hr = nullptr) {
  ComPtr<IStorage> storage;
  auto lockBytes = VoCreateLockBytes(std::make_shared<TVoMemoryStream>(bytes));
  HRESULT result = StgOpenStorageOnILockBytes(lockBytes.get(), nullptr, mode, nullptr, 0, storage.Out());
  if (hr)
    *hr = result;
  else
    EXPECT_EQ(result, S_OK);
  return storage;
}

inline void PutStream(IStorage* storage, const char16_t* name, const TVoBytes& bytes) {
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->CreateStream(name, kRW | STGM_CREATE, 0, 0, stream.Out()), S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), &written), S_OK);
  ASSERT_EQ(written, bytes.size());
}

inline TVoBytes ReadAll(IStream* stream) {
  TVoBytes bytes, chunk(65536);
  for (ULONG got = 0; stream->Read(chunk.data(), ULONG(chunk.size()), &got) == S_OK && got > 0;)
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
  return bytes;
}

inline TVoBytes GetStream(IStorage* storage, const char16_t* name) {
  ComPtr<IStream> stream;
  EXPECT_EQ(storage->OpenStream(name, nullptr, kRO, 0, stream.Out()), S_OK);
  return stream ? ReadAll(stream.get()) : TVoBytes{};
}

inline std::vector<STATSTG> Elements(IStorage* storage) {
  std::vector<STATSTG> result;
  ComPtr<IEnumSTATSTG> elements;
  EXPECT_EQ(storage->EnumElements(0, nullptr, 0, elements.Out()), S_OK);
  for (STATSTG stat; elements && elements->Next(1, &stat, nullptr) == S_OK;) result.push_back(stat);
  return result;
}

// Every storage ("PATH<TAB>storage") and stream ("PATH<TAB>SIZE<TAB>SHA1") beneath
// storage, read through the interfaces, sorted.
inline void AddListing(IStorage* storage, const std::string& prefix, std::vector<std::string>& lines) {
  for (STATSTG& stat : Elements(storage)) {
    std::string path = prefix + ToUtf8(stat.pwcsName);
    if (stat.type == STGTY_STORAGE) {
      lines.push_back(path + "\tstorage");
      ComPtr<IStorage> child;
      EXPECT_EQ(storage->OpenStorage(stat.pwcsName, nullptr, kRO, nullptr, 0, child.Out()), S_OK);
      if (child) AddListing(child.get(), path + "/", lines);
    } else {
      TVoBytes data = GetStream(storage, stat.pwcsName);
      EXPECT_EQ(data.size(), stat.cbSize.QuadPart) << path;
      lines.push_back(path + "\t" + std::to_string(data.size()) + "\t" +
                      ToUtf8(VoHashBufferHex(data.data(), data.size())));
    }
    CoTaskMemFree(stat.pwcsName);
  }
}
inline std::vector<std::string> Listing(IStorage* storage) {
  std::vector<std::string> lines;
  AddListing(storage, "", lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Python's olefile over files: per file, its sorted listing in the form of Listing.
inline std::vector<std::vector<std::string>> OlefileListings(const std::vector<std::string>& files) {
  std::string command = "PYTHONIOENCODING=utf-8 /usr/bin/python3 '" ORBA_TEST_SOURCE_DIR "/olefile_list.py'";
  for (const std::string& f : files) command += " '" + f + "'";
  std::vector<std::vector<std::string>> result(files.size());
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::string output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << "olefile failed (python3-olefile is installed by scripts/deps)";
  for (size_t at = 0, end; at < output.size(); at = end + 1) {
    end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(at, end - at);
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    auto file = std::find(files.begin(), files.end(), line.substr(0, tab));
    if (file != files.end()) result[file - files.begin()].push_back(line.substr(tab + 1));
  }
  return result;
}

}  // namespace orba::test
