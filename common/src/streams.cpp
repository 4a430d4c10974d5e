#include "orba/common/streams.h"

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

// After com.h: glibc's <fcntl.h> defines LOCK_WRITE as a macro, which would clash with
// the LOCKTYPE enumerator.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orba {

namespace {

constexpr size_t kCopyChunk = 64 * 1024;

[[noreturn]] void RaiseSeekError() { throw EVoException(u"Stream seek error", STG_E_INVALIDFUNCTION); }

HRESULT ErrnoToHResult(int error) {
  switch (error) {
    case ENOENT: return STG_E_FILENOTFOUND;
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS: return STG_E_ACCESSDENIED;
    case EEXIST: return STG_E_FILEALREADYEXISTS;
    case ENOSPC: return STG_E_MEDIUMFULL;
    case EBADF: return STG_E_ACCESSDENIED;  // a read on a write-only file, or the reverse
    default: return E_FAIL;
  }
}

}  // namespace

int64_t TVoStream::Size() {
  int64_t position = Position();
  int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

int64_t TVoStream::SeekTarget(int64_t offset, TVoSeekOrigin origin, int64_t position, int64_t size) {
  if (origin != soBeginning && origin != soCurrent && origin != soEnd) RaiseSeekError();
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position : size;
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) RaiseSeekError();
  return target;
}

void TVoStream::ReadBuffer(void* buffer, size_t count) {
  if (count && Read(buffer, count) != count) throw EVoException(u"Stream read error", STG_E_READFAULT);
}

void TVoStream::WriteBuffer(const void* buffer, size_t count) {
  if (count && Write(buffer, count) != count) throw EVoException(u"Stream write error", STG_E_WRITEFAULT);
}

void TVoStream::CopyFrom(TVoStream& source, int64_t count) {
  if (count < 0) throw EVoException(u"Stream read error", STG_E_READFAULT);
  TVoBytes chunk(static_cast<size_t>(std::min<int64_t>(count, kCopyChunk)));
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<int64_t>(count, chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    count -= static_cast<int64_t>(n);
  }
}

uint64_t TVoStream::ReadLE(size_t bytes) {
  uint8_t raw[8];
  ReadBuffer(raw, bytes);
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = (value << 8) | raw[i];
  return value;
}

void TVoStream::WriteLE(uint64_t value, size_t bytes) {
  uint8_t raw[8];
  for (size_t i = 0; i < bytes; ++i, value >>= 8) raw[i] = static_cast<uint8_t>(value);
  WriteBuffer(raw, bytes);
}

uint8_t TVoStream::ReadByte() { return static_cast<uint8_t>(ReadLE(1)); }
uint16_t TVoStream::ReadWord() { return static_cast<uint16_t>(ReadLE(2)); }
uint32_t TVoStream::ReadLongWord() { return static_cast<uint32_t>(ReadLE(4)); }
int32_t TVoStream::ReadLongInt() { return static_cast<int32_t>(ReadLE(4)); }
int64_t TVoStream::ReadInt64() { return static_cast<int64_t>(ReadLE(8)); }

double TVoStream::ReadDouble() {
  uint64_t bits = ReadLE(8);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TVoBytes TVoStream::ReadBytes(size_t count) {
  // Checked against the remaining size first, so that a corrupt count cannot make us
  // allocate gigabytes before failing.
  if (static_cast<uint64_t>(count) > static_cast<uint64_t>(std::max<int64_t>(Size() - Position(), 0)))
    throw EVoException(u"Stream read error", STG_E_READFAULT);
  TVoBytes bytes(count);
  ReadBuffer(bytes.data(), count);
  return bytes;
}

WideString TVoStream::ReadWideChars(size_t count) {
  TVoBytes raw = ReadBytes(count > SIZE_MAX / 2 ? SIZE_MAX : count * 2);
  WideString text(count, u'\0');
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  return text;
}

AnsiString TVoStream::ReadAnsiChars(size_t count) {
  TVoBytes raw = ReadBytes(count);
  return AnsiString(raw.begin(), raw.end());
}

void TVoStream::WriteByte(uint8_t value) { WriteLE(value, 1); }
void TVoStream::WriteWord(uint16_t value) { WriteLE(value, 2); }
void TVoStream::WriteLongWord(uint32_t value) { WriteLE(value, 4); }
void TVoStream::WriteLongInt(int32_t value) { WriteLE(static_cast<uint32_t>(value), 4); }
void TVoStream::WriteInt64(int64_t value) { WriteLE(static_cast<uint64_t>(value), 8); }

void TVoStream::WriteDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteLE(bits, 8);
}

void TVoStream::WriteBytes(const TVoBytes& bytes) { WriteBuffer(bytes.data(), bytes.size()); }

void TVoStream::WriteWideChars(const WideString& text) {
  TVoBytes raw;
  raw.reserve(text.size() * 2);
  for (char16_t c : text) {
    raw.push_back(static_cast<uint8_t>(c));
    raw.push_back(static_cast<uint8_t>(c >> 8));
  }
  WriteBytes(raw);
}

void TVoStream::WriteAnsiChars(const AnsiString& text) { WriteBuffer(text.data(), text.size()); }

// --- TVoMemoryStream ---

TVoMemoryStream::TVoMemoryStream(const void* data, size_t size) {
  if (size && !data) throw EVoException(u"Stream write error", STG_E_INVALIDPOINTER);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  data_.assign(bytes, bytes + size);
}

size_t TVoMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= Size() || count == 0) return 0;
  size_t n = std::min(count, static_cast<size_t>(Size() - position_));
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

size_t TVoMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = static_cast<size_t>(position_) + count;
  if (end > data_.size()) data_.resize(end);  // a gap after a seek beyond the end is zeros
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = static_cast<int64_t>(end);
  return count;
}

int64_t TVoMemoryStream::Seek(int64_t offset, TVoSeekOrigin origin) {
  position_ = SeekTarget(offset, origin, position_, Size());
  return position_;
}

void TVoMemoryStream::SetSize(int64_t size) {
  if (size < 0) RaiseSeekError();
  data_.resize(static_cast<size_t>(size));
}

void TVoMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

// --- TVoFileStream ---

TVoFileStream::TVoFileStream(const std::filesystem::path& fileName, TVoFileMode mode) : fileName_(fileName) {
  int flags = mode == fmCreate      ? O_RDWR | O_CREAT | O_TRUNC
              : mode == fmOpenRead  ? O_RDONLY
              : mode == fmOpenWrite ? O_WRONLY
                                    : O_RDWR;
  if (mode != fmCreate && mode != fmOpenRead && mode != fmOpenWrite && mode != fmOpenReadWrite)
    throw EVoException(u"Invalid file mode", E_INVALIDARG);
  fd_ = ::open(fileName_.c_str(), flags | O_CLOEXEC, 0666);
  if (fd_ < 0) RaiseLastError(mode == fmCreate ? u"create" : u"open");
}

TVoFileStream::~TVoFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TVoFileStream::RaiseLastError(const char16_t* action) const {
  int error = errno;
  throw EVoException(u"Cannot " + WideString(action) + u" file \"" + FromUtf8(fileName_.string()) + u"\". " +
                         FromUtf8(std::strerror(error)),
                     ErrnoToHResult(error));
}

size_t TVoFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, static_cast<uint8_t*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseLastError(u"read");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t TVoFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, static_cast<const uint8_t*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseLastError(u"write");
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t TVoFileStream::Seek(int64_t offset, TVoSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  if (origin != soBeginning && origin != soCurrent && origin != soEnd) RaiseSeekError();
  off_t result = ::lseek(fd_, offset, whence);
  if (result < 0) {
    if (errno == EINVAL) RaiseSeekError();
    RaiseLastError(u"seek in");
  }
  return result;
}

void TVoFileStream::SetSize(int64_t size) {
  if (size < 0) RaiseSeekError();
  if (::ftruncate(fd_, size) != 0) RaiseLastError(u"set the size of");
}

}  // namespace orba
