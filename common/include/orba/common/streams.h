// Byte streams: the TVoStream base with little-endian typed reads and writes, a growable
// memory stream and a file stream. Every failure raises EVoException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "orba/common/types.h"

namespace orba {

enum TVoSeekOrigin { soBeginning, soCurrent, soEnd };

using TVoBytes = std::vector<uint8_t>;

class TVoStream {
 public:
  TVoStream() = default;
  TVoStream(const TVoStream&) = delete;
  TVoStream& operator=(const TVoStream&) = delete;
  virtual ~TVoStream() = default;

  // Reads up to count bytes at the position; returns how many were read (0 at the end).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes count bytes at the position (growing the stream); returns how many were written.
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Moves the position and returns it; a position before the start raises
  // "Stream seek error". Positions beyond the end are allowed.
  virtual int64_t Seek(int64_t offset, TVoSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Exactly count bytes, or "Stream read error" / "Stream write error".
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Copies count bytes from source's position to this stream's position.
  void CopyFrom(TVoStream& source, int64_t count);

  // Little-endian values.
  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadLongWord();
  int32_t ReadLongInt();
  int64_t ReadInt64();
  double ReadDouble();
  TVoBytes ReadBytes(size_t count);
  // count UTF-16 code units / count 8-bit characters.
  WideString ReadWideChars(size_t count);
  AnsiString ReadAnsiChars(size_t count);

  void WriteByte(uint8_t value);
  void WriteWord(uint16_t value);
  void WriteLongWord(uint32_t value);
  void WriteLongInt(int32_t value);
  void WriteInt64(int64_t value);
  void WriteDouble(double value);
  void WriteBytes(const TVoBytes& bytes);
  void WriteWideChars(const WideString& text);
  void WriteAnsiChars(const AnsiString& text);

 protected:
  // The new position for a Seek, checked against the start.
  static int64_t SeekTarget(int64_t offset, TVoSeekOrigin origin, int64_t position, int64_t size);

 private:
  uint64_t ReadLE(size_t bytes);
  void WriteLE(uint64_t value, size_t bytes);
};

// A growable byte buffer with a position.
class TVoMemoryStream : public TVoStream {
 public:
  TVoMemoryStream() = default;
  explicit TVoMemoryStream(TVoBytes bytes) : data_(std::move(bytes)) {}
  TVoMemoryStream(const void* data, size_t size);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TVoSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  const TVoBytes& Bytes() const { return data_; }
  void Clear();

 private:
  TVoBytes data_;
  int64_t position_ = 0;
};

enum TVoFileMode {
  fmCreate,         // create or truncate; read and write
  fmOpenRead,       // existing file, read only
  fmOpenWrite,      // existing file, write only
  fmOpenReadWrite,  // existing file, read and write
};

// A file. Errors name the file: "Cannot open file "x". No such file or directory".
class TVoFileStream : public TVoStream {
 public:
  TVoFileStream(const std::filesystem::path& fileName, TVoFileMode mode);
  ~TVoFileStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TVoSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  const std::filesystem::path& FileName() const { return fileName_; }

 private:
  [[noreturn]] void RaiseLastError(const char16_t* action) const;

  std::filesystem::path fileName_;
  int fd_ = -1;
};

}  // namespace orba
