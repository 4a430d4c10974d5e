// Compressed RTF, the form in which message stores keep RTF bodies: a 16-byte header
// (compressed size, raw size, type, CRC, each 32-bit little-endian) followed either by
// the RTF itself (type "MELA", uncompressed) or by an LZ77 stream (type "LZFu") whose
// 4,096-byte dictionary starts out holding common RTF words.
//
// An LZFu stream is a series of runs: a control byte whose bits, lowest first, say
// whether each of the next eight items is a literal byte (0) or a two-byte big-endian
// dictionary reference (1) of a 12-bit offset and a 4-bit length less 2. Every byte
// produced enters the dictionary at its write position; a reference to the write
// position itself ends the stream. The CRC covers the bytes after the header.
//
// Reading checks everything the header states: the type, that the stream holds its
// stated compressed size, the CRC, and that the RTF has exactly its stated raw size;
// nothing is read or written past either end. A damaged stream raises
// EVoCompressedRTFError with a text that says what is wrong.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "orba/common/exceptions.h"
#include "orba/common/streams.h"

namespace orba {

inline constexpr uint32_t kCompressedRTFType = 0x75465A4C;    // "LZFu"
inline constexpr uint32_t kUncompressedRTFType = 0x414C454D;  // "MELA"
inline constexpr size_t kCompressedRTFHeaderSize = 16;

// A damaged compressed RTF stream. Its code is E_FAIL; the layers above map the class
// to the "corrupt data" result of their own interfaces.
class EVoCompressedRTFError : public EVoException {
 public:
  explicit EVoCompressedRTFError(WideString message, int32_t code = kCode) : EVoException(std::move(message), code) {}
  ORBA_EXCEPTION_CLASS_BODY(EVoCompressedRTFError)
  static constexpr int32_t kCode = static_cast<int32_t>(0x80004005);
};

// The CRC of compressed RTF: the CRC-32 polynomial, starting from crc, without the
// final inversion (start from 0 for a whole stream).
uint32_t VoCompressedRTFCrc(const void* data, size_t size, uint32_t crc = 0);

// Decodes a compressed RTF stream handed to it in pieces of any size.
class TVoRTFDecompressor {
 public:
  TVoRTFDecompressor();
  ~TVoRTFDecompressor();
  TVoRTFDecompressor(const TVoRTFDecompressor&) = delete;
  TVoRTFDecompressor& operator=(const TVoRTFDecompressor&) = delete;

  // Takes the next piece of the stream and appends the RTF it decodes to output.
  // Returns how many bytes of data belong to the stream: fewer than size once its
  // stated end is reached (the rest is not looked at).
  size_t Decode(const void* data, size_t size, TVoBytes& output);
  // Whether the stream has been seen to its stated end (and checked).
  bool Complete() const;
  // Raises unless the stream is complete: a stream that ends early is damaged.
  void Finish() const;
  // The raw size the header states; 0 until the header has been read.
  uint32_t RawSize() const;
  // Whether the header has been read.
  bool HasHeader() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Compresses RTF handed to it in pieces of any size into an LZFu stream (or, when
// uncompressed, a MELA stream), by the published compression algorithm: for each
// input position the longest match of up to 17 bytes in the dictionary, the first
// found wins among equally long ones; matches shorter than 2 bytes become literals.
class TVoRTFCompressor {
 public:
  explicit TVoRTFCompressor(bool compressed = true);
  ~TVoRTFCompressor();
  TVoRTFCompressor(const TVoRTFCompressor&) = delete;
  TVoRTFCompressor& operator=(const TVoRTFCompressor&) = delete;

  // Appends to output the stream contents (the bytes after the header) the data makes
  // ready; a few bytes may wait for more input.
  void Encode(const void* data, size_t size, TVoBytes& output);
  // Appends the rest of the contents and returns the header for them. No more input
  // may follow.
  std::array<uint8_t, kCompressedRTFHeaderSize> Finish(TVoBytes& output);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Whole buffers: the RTF of a compressed RTF stream (bytes after the stream's stated
// end are ignored), and the compressed RTF stream of some RTF.
TVoBytes VoDecompressRTF(const void* data, size_t size);
TVoBytes VoCompressRTF(const void* data, size_t size, bool compressed = true);

// Reads the RTF out of a compressed RTF stream that starts at the source's position.
// Reads go forward through the source; a seek back starts decoding again from the
// beginning. The stream is read-only. Size is the raw size the header states. Damage
// raises EVoCompressedRTFError when a read reaches it; the CRC covers the whole stream,
// so a wrong one is found by the read that reaches the stream's end, before that
// read's last piece of RTF is handed out.
class TVoCompressedRTFReader : public TVoStream {
 public:
  explicit TVoCompressedRTFReader(std::shared_ptr<TVoStream> source);
  ~TVoCompressedRTFReader() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TVoSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

 private:
  // Decodes until at least want bytes wait in pending_ or the stream is complete.
  void Fill(size_t want);
  void Restart();

  std::shared_ptr<TVoStream> source_;
  int64_t start_;
  std::unique_ptr<TVoRTFDecompressor> decoder_;
  TVoBytes pending_;
  size_t pendingStart_ = 0;
  int64_t position_ = 0;
};

// Writes RTF as a compressed RTF stream into a target, from the target's position:
// the header is written as a placeholder first and filled in by Commit. The stream is
// write-only and sequential; Commit must be called for the target to hold a valid
// stream, and nothing may be written after it.
class TVoCompressedRTFWriter : public TVoStream {
 public:
  TVoCompressedRTFWriter(std::shared_ptr<TVoStream> target, bool compressed = true);
  ~TVoCompressedRTFWriter() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TVoSeekOrigin origin) override;
  int64_t Size() override { return written_; }
  void SetSize(int64_t size) override;
  void Commit();

 private:
  void Flush();

  std::shared_ptr<TVoStream> target_;
  int64_t start_;
  TVoRTFCompressor encoder_;
  TVoBytes buffer_;
  int64_t written_ = 0;
  bool committed_ = false;
};

}  // namespace orba
