#include "orba/common/bodies/compressedrtf.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "orba/common/com.h"
#include "orba/common/format.h"

namespace orba {
namespace {

constexpr size_t kDictionarySize = 4096;
constexpr uint16_t kDictionaryMask = kDictionarySize - 1;
constexpr size_t kMaxMatch = 17;  // 4 bits of length plus 2
constexpr size_t kMinMatch = 2;

// The dictionary's starting contents.
constexpr std::string_view kInitialDictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kInitialDictionary.size() == 207);

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t ReadLE32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
void WriteLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

[[noreturn]] void Damaged(std::u16string_view fmt, std::initializer_list<TVarRec> args) {
  throw EVoCompressedRTFError(Format(fmt, args));
}

// The 4,096-byte ring both directions share.
struct Dictionary {
  Dictionary() { std::memcpy(bytes.data(), kInitialDictionary.data(), kInitialDictionary.size()); }
  std::array<uint8_t, kDictionarySize> bytes{};
  uint16_t write = kInitialDictionary.size();
};

}  // namespace

uint32_t VoCompressedRTFCrc(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

// ---- decoding ----

struct TVoRTFDecompressor::State {
  std::array<uint8_t, kCompressedRTFHeaderSize> header{};
  size_t headerUsed = 0;
  uint32_t type = 0, rawSize = 0, crc = 0;
  uint64_t contentLeft = 0;  // bytes of the stream not yet seen
  uint32_t computedCrc = 0;
  uint64_t produced = 0;
  bool complete = false;
  // LZFu parsing.
  Dictionary dictionary;
  bool ended = false;  // the end reference was seen
  uint8_t control = 0;
  int bit = 8;  // 8: the next byte is a control byte
  int tokenHigh = -1;

  void ReadHeader() {
    const uint32_t compSize = ReadLE32(&header[0]);
    rawSize = ReadLE32(&header[4]);
    type = ReadLE32(&header[8]);
    crc = ReadLE32(&header[12]);
    if (type != kCompressedRTFType && type != kUncompressedRTFType)
      Damaged(u"The compressed RTF stream has the unknown type 0x%.8x", {type});
    if (compSize < kCompressedRTFHeaderSize - 4)
      Damaged(u"The compressed RTF stream states a size of %u bytes, less than its header", {compSize});
    contentLeft = compSize - (kCompressedRTFHeaderSize - 4);
    if (type == kUncompressedRTFType && contentLeft != rawSize)
      Damaged(u"The uncompressed RTF stream states %u bytes of RTF in %u bytes of content",
              {rawSize, uint32_t(contentLeft)});
  }

  // Counts length more bytes of RTF: more than the header states is damage.
  void Produce(uint64_t length) {
    if (rawSize - produced < length)
      Damaged(u"The compressed RTF stream holds more than its stated size of %u bytes", {rawSize});
    produced += length;
  }

  void Emit(uint8_t b, TVoBytes& output) {
    Produce(1);
    output.push_back(b);
  }

  void Literal(uint8_t b, TVoBytes& output) {
    Emit(b, output);
    dictionary.bytes[dictionary.write] = b;
    dictionary.write = (dictionary.write + 1) & kDictionaryMask;
  }

  void Reference(uint16_t token, TVoBytes& output) {
    const uint16_t offset = token >> 4;
    uint16_t write = dictionary.write;
    if (offset == write) {
      ended = true;
      return;
    }
    const size_t length = (token & 0xF) + kMinMatch;
    Produce(length);
    // Bytes copied enter the dictionary as they are copied, so a reference may reach
    // into the bytes it produces itself. Locals keep the loop free of reloads.
    const size_t at = output.size();
    output.resize(at + length);
    uint8_t* out = output.data() + at;
    uint8_t* bytes = dictionary.bytes.data();
    for (size_t n = 0; n < length; ++n) {
      out[n] = bytes[write] = bytes[(offset + n) & kDictionaryMask];
      write = (write + 1) & kDictionaryMask;
    }
    dictionary.write = write;
  }

  void Content(uint8_t b, TVoBytes& output) {
    if (type == kUncompressedRTFType) return Emit(b, output);
    if (ended) return;
    if (bit == 8) {
      control = b;
      bit = 0;
      return;
    }
    if (control & (1 << bit)) {
      if (tokenHigh < 0) {
        tokenHigh = b;
        return;
      }
      Reference(uint16_t(tokenHigh << 8 | b), output);
      tokenHigh = -1;
    } else {
      Literal(b, output);
    }
    ++bit;
  }

  void CheckCrc() const {
    if (type == kCompressedRTFType && computedCrc != crc)
      Damaged(u"The compressed RTF stream has a wrong CRC: 0x%.8x where its header says 0x%.8x", {computedCrc, crc});
  }

  void Finished() {
    if (produced != rawSize)
      Damaged(u"The compressed RTF stream holds %u bytes of RTF instead of its stated %u",
              {uint32_t(produced), rawSize});
    complete = true;
  }
};

TVoRTFDecompressor::TVoRTFDecompressor() : state_(std::make_unique<State>()) {}
TVoRTFDecompressor::~TVoRTFDecompressor() = default;

size_t TVoRTFDecompressor::Decode(const void* data, size_t size, TVoBytes& output) {
  State& s = *state_;
  const auto* p = static_cast<const uint8_t*>(data);
  size_t used = 0;
  while (used < size && s.headerUsed < s.header.size()) {
    s.header[s.headerUsed++] = p[used++];
    if (s.headerUsed == s.header.size()) s.ReadHeader();
  }
  if (s.headerUsed < s.header.size() || s.complete) return used;
  const size_t take = size_t(std::min<uint64_t>(s.contentLeft, size - used));
  // The CRC is checked before the content is decoded when the piece ends the stream,
  // so that a damaged stream says so rather than what its damage leads to.
  s.computedCrc = VoCompressedRTFCrc(p + used, take, s.computedCrc);
  s.contentLeft -= take;
  if (s.contentLeft == 0) s.CheckCrc();
  for (size_t i = 0; i < take; ++i) s.Content(p[used + i], output);
  used += take;
  if (s.contentLeft == 0) s.Finished();
  return used;
}

bool TVoRTFDecompressor::Complete() const { return state_->complete; }

void TVoRTFDecompressor::Finish() const {
  const State& s = *state_;
  if (s.headerUsed < s.header.size())
    Damaged(u"The compressed RTF stream ends inside its header (%u of %u bytes)",
            {uint32_t(s.headerUsed), uint32_t(kCompressedRTFHeaderSize)});
  if (!s.complete)
    Damaged(u"The compressed RTF stream ends %u bytes before its stated length", {uint32_t(s.contentLeft)});
}

uint32_t TVoRTFDecompressor::RawSize() const { return state_->rawSize; }

bool TVoRTFDecompressor::HasHeader() const { return state_->headerUsed == state_->header.size(); }

// ---- encoding ----

// The search keeps, for each pair of bytes, the dictionary positions where that pair
// starts, so that only positions that can give a match of two or more are compared.
// The dictionary is compared as a decoder would read it: the bytes from the write
// position on are the input itself, since a reference copies them as it reads.
struct TVoRTFCompressor::State {
  explicit State(bool compressed) : compressed(compressed) {
    head.fill(kNone);
    tail.fill(kNone);
    next.fill(kNone);
    prev.fill(kNone);
    key.fill(kNoKey);
    for (uint16_t p = 0; p + 2u <= kInitialDictionary.size(); ++p) Link(p);
  }

  static constexpr int16_t kNone = -1;
  static constexpr uint32_t kNoKey = 0xFFFFFFFF;

  bool compressed;
  Dictionary dictionary;
  bool full = false;                      // every dictionary position has been written
  std::array<int16_t, 65536> head, tail;  // each pair's newest and oldest position
  std::array<int16_t, kDictionarySize> next, prev;
  std::array<uint32_t, kDictionarySize> key;
  TVoBytes input;  // bytes not yet encoded
  size_t inputStart = 0;
  uint8_t run[1 + 8 * 2] = {};  // a control byte and up to eight items
  size_t runSize = 1;
  int runItems = 0;
  uint32_t crc = 0;
  uint64_t contentSize = 0, rawSize = 0;
  bool finished = false;

  uint8_t At(uint16_t p) const { return dictionary.bytes[p & kDictionaryMask]; }

  void Link(uint16_t p) {
    const uint32_t k = At(p) << 8 | At(p + 1);
    key[p] = k;
    prev[p] = kNone;
    next[p] = head[k];
    if (head[k] != kNone)
      prev[head[k]] = int16_t(p);
    else
      tail[k] = int16_t(p);
    head[k] = int16_t(p);
  }
  void Unlink(uint16_t p) {
    if (key[p] == kNoKey) return;
    if (prev[p] != kNone)
      next[prev[p]] = next[p];
    else
      head[key[p]] = next[p];
    if (next[p] != kNone)
      prev[next[p]] = prev[p];
    else
      tail[key[p]] = prev[p];
    key[p] = kNoKey;
  }

  // Puts b at the write position. Positions that may start a match are every written
  // one but the write position itself; the one just before it is compared directly,
  // since its second byte is the next input byte.
  void Add(uint8_t b) {
    const uint16_t w = dictionary.write;
    Unlink(w);
    Unlink((w + 1) & kDictionaryMask);
    dictionary.bytes[w] = b;
    Link((w - 1) & kDictionaryMask);
    dictionary.write = (w + 1) & kDictionaryMask;
    if (dictionary.write == 0) full = true;
  }

  // Length of the match of in (at most limit bytes) at dictionary position p.
  size_t MatchLength(uint16_t p, const uint8_t* in, size_t limit) const {
    size_t n = 0;
    for (; n < limit; ++n) {
      const uint16_t q = (p + n) & kDictionaryMask;
      const size_t ahead = (q - dictionary.write) & kDictionaryMask;
      if ((ahead < n ? in[ahead] : dictionary.bytes[q]) != in[n]) break;
    }
    return n;
  }

  // The longest match for in; among equally long ones the first in the published
  // search order, which starts at 0 (at the oldest byte once the dictionary is full).
  // The positions of a pair are compared oldest first, so the first match of limit
  // bytes ends the search.
  void FindMatch(const uint8_t* in, size_t limit, uint16_t& offset, size_t& length) const {
    const uint16_t w = dictionary.write;
    const uint16_t first = full ? (w + 1) & kDictionaryMask : 0;
    auto consider = [&](uint16_t p) {
      const size_t n = MatchLength(p, in, limit);
      const uint16_t order = (p - first) & kDictionaryMask, best = (offset - first) & kDictionaryMask;
      if (n > length || (n == length && n > 0 && order < best)) offset = p, length = n;
    };
    length = 0;
    offset = 0;
    if (limit >= kMinMatch)
      for (int16_t p = tail[in[0] << 8 | in[1]]; p != kNone && length < limit; p = prev[p]) consider(uint16_t(p));
    // The newest position, not in the chains yet, comes last in the search order.
    if ((full || w > 0) && length < limit) consider((w - 1) & kDictionaryMask);
  }

  void Item(const uint8_t* bytes, size_t size, bool reference, TVoBytes& output) {
    if (reference) run[0] |= uint8_t(1 << runItems);
    std::memcpy(run + runSize, bytes, size);
    runSize += size;
    if (++runItems == 8) FlushRun(output);
  }
  void FlushRun(TVoBytes& output) {
    if (runItems == 0) return;
    crc = VoCompressedRTFCrc(run, runSize, crc);
    output.insert(output.end(), run, run + runSize);
    contentSize += runSize;
    run[0] = 0;
    runSize = 1;
    runItems = 0;
  }

  // Encodes input while more than a longest match waits (everything when final).
  void Pump(bool final, TVoBytes& output) {
    while (input.size() - inputStart > (final ? 0 : kMaxMatch - 1)) {
      const uint8_t* in = input.data() + inputStart;
      const size_t limit = std::min(kMaxMatch, input.size() - inputStart);
      uint16_t offset;
      size_t length;
      FindMatch(in, limit, offset, length);
      if (length >= kMinMatch) {
        const uint8_t token[2] = {uint8_t(offset >> 4), uint8_t((offset << 4) | (length - kMinMatch))};
        Item(token, 2, true, output);
      } else {
        length = 1;
        Item(in, 1, false, output);
      }
      for (size_t i = 0; i < length; ++i) Add(in[i]);
      inputStart += length;
    }
    if (inputStart > 4096) {
      input.erase(input.begin(), input.begin() + inputStart);
      inputStart = 0;
    }
  }
};

TVoRTFCompressor::TVoRTFCompressor(bool compressed) : state_(std::make_unique<State>(compressed)) {}
TVoRTFCompressor::~TVoRTFCompressor() = default;

void TVoRTFCompressor::Encode(const void* data, size_t size, TVoBytes& output) {
  State& s = *state_;
  if (s.finished) throw EVoException(u"The compressed RTF stream is already complete", E_FAIL);
  const auto* p = static_cast<const uint8_t*>(data);
  s.rawSize += size;
  if (!s.compressed) {
    output.insert(output.end(), p, p + size);
    s.contentSize += size;
    return;
  }
  s.input.insert(s.input.end(), p, p + size);
  s.Pump(false, output);
}

std::array<uint8_t, kCompressedRTFHeaderSize> TVoRTFCompressor::Finish(TVoBytes& output) {
  State& s = *state_;
  if (s.finished) throw EVoException(u"The compressed RTF stream is already complete", E_FAIL);
  s.finished = true;
  if (s.compressed) {
    s.Pump(true, output);
    const uint16_t end = uint16_t(s.dictionary.write << 4);
    const uint8_t token[2] = {uint8_t(end >> 8), uint8_t(end)};
    s.Item(token, 2, true, output);
    s.FlushRun(output);
  }
  constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max() - 12;
  if (s.rawSize > kLimit || s.contentSize > kLimit)
    throw EVoException(u"The RTF is too large for a compressed RTF stream", E_INVALIDARG);
  std::array<uint8_t, kCompressedRTFHeaderSize> header{};
  WriteLE32(&header[0], uint32_t(s.contentSize + 12));
  WriteLE32(&header[4], uint32_t(s.rawSize));
  WriteLE32(&header[8], s.compressed ? kCompressedRTFType : kUncompressedRTFType);
  WriteLE32(&header[12], s.compressed ? s.crc : 0);
  return header;
}

// ---- whole buffers ----

TVoBytes VoDecompressRTF(const void* data, size_t size) {
  TVoRTFDecompressor decoder;
  TVoBytes rtf;
  decoder.Decode(data, size, rtf);
  decoder.Finish();
  return rtf;
}

TVoBytes VoCompressRTF(const void* data, size_t size, bool compressed) {
  TVoRTFCompressor encoder(compressed);
  TVoBytes content;
  encoder.Encode(data, size, content);
  auto header = encoder.Finish(content);
  content.insert(content.begin(), header.begin(), header.end());
  return content;
}

// ---- streams ----

namespace {
constexpr size_t kChunk = 4096;
[[noreturn]] void NotSupported(const char16_t* what) { throw EVoException(what, STG_E_INVALIDFUNCTION); }
}  // namespace

TVoCompressedRTFReader::TVoCompressedRTFReader(std::shared_ptr<TVoStream> source)
    : source_(std::move(source)), start_(0) {
  if (!source_) throw EVoException(u"The compressed RTF stream is missing", E_POINTER);
  start_ = source_->Position();
  Restart();
}

TVoCompressedRTFReader::~TVoCompressedRTFReader() = default;

void TVoCompressedRTFReader::Restart() {
  source_->SetPosition(start_);
  decoder_ = std::make_unique<TVoRTFDecompressor>();
  pending_.clear();
  pendingStart_ = 0;
  position_ = 0;
}

void TVoCompressedRTFReader::Fill(size_t want) {
  uint8_t chunk[kChunk];
  while (pending_.size() - pendingStart_ < want && !decoder_->Complete()) {
    if (pendingStart_ > 0) {
      pending_.erase(pending_.begin(), pending_.begin() + pendingStart_);
      pendingStart_ = 0;
    }
    const size_t got = source_->Read(chunk, sizeof chunk);
    if (got == 0) decoder_->Finish();  // raises: the stream ends early
    const size_t used = decoder_->Decode(chunk, got, pending_);
    // Leave the source just past the stream, as a reader of it would.
    if (used < got) source_->Seek(int64_t(used) - int64_t(got), soCurrent);
  }
}

size_t TVoCompressedRTFReader::Read(void* buffer, size_t count) {
  Fill(count);
  const size_t n = std::min(count, pending_.size() - pendingStart_);
  if (n > 0) std::memcpy(buffer, pending_.data() + pendingStart_, n);
  pendingStart_ += n;
  position_ += int64_t(n);
  return n;
}

size_t TVoCompressedRTFReader::Write(const void*, size_t) {
  NotSupported(u"The RTF of a compressed RTF stream opened for reading cannot be written");
}

int64_t TVoCompressedRTFReader::Seek(int64_t offset, TVoSeekOrigin origin) {
  const int64_t target = SeekTarget(offset, origin, position_, origin == soEnd ? Size() : 0);
  if (target < position_) Restart();
  uint8_t skip[kChunk];
  while (position_ < target)
    if (Read(skip, size_t(std::min<int64_t>(target - position_, sizeof skip))) == 0) break;
  return position_;
}

int64_t TVoCompressedRTFReader::Size() {
  Fill(0);
  while (!decoder_->HasHeader()) Fill(pending_.size() - pendingStart_ + 1);
  return decoder_->RawSize();
}

void TVoCompressedRTFReader::SetSize(int64_t) {
  NotSupported(u"The RTF of a compressed RTF stream opened for reading cannot be written");
}

TVoCompressedRTFWriter::TVoCompressedRTFWriter(std::shared_ptr<TVoStream> target, bool compressed)
    : target_(std::move(target)), start_(0), encoder_(compressed) {
  if (!target_) throw EVoException(u"The compressed RTF stream is missing", E_POINTER);
  start_ = target_->Position();
  const uint8_t placeholder[kCompressedRTFHeaderSize] = {};
  target_->WriteBuffer(placeholder, sizeof placeholder);
}

TVoCompressedRTFWriter::~TVoCompressedRTFWriter() = default;

size_t TVoCompressedRTFWriter::Read(void*, size_t) {
  NotSupported(u"The RTF of a compressed RTF stream opened for writing cannot be read");
}

size_t TVoCompressedRTFWriter::Write(const void* buffer, size_t count) {
  if (committed_) NotSupported(u"The compressed RTF stream has been committed");
  encoder_.Encode(buffer, count, buffer_);
  written_ += int64_t(count);
  if (buffer_.size() >= kChunk) Flush();
  return count;
}

void TVoCompressedRTFWriter::Flush() {
  target_->WriteBuffer(buffer_.data(), buffer_.size());
  buffer_.clear();
}

int64_t TVoCompressedRTFWriter::Seek(int64_t offset, TVoSeekOrigin origin) {
  const int64_t target = SeekTarget(offset, origin, written_, written_);
  if (target != written_) NotSupported(u"A compressed RTF stream is written from start to end");
  return written_;
}

void TVoCompressedRTFWriter::SetSize(int64_t size) {
  if (size != written_) NotSupported(u"A compressed RTF stream is written from start to end");
}

void TVoCompressedRTFWriter::Commit() {
  if (committed_) return;
  const auto header = encoder_.Finish(buffer_);
  committed_ = true;
  Flush();
  const int64_t end = target_->Position();
  target_->SetPosition(start_);
  target_->WriteBuffer(header.data(), header.size());
  target_->SetPosition(end);
}

}  // namespace orba
