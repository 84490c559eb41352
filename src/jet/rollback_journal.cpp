#include "jet/rollback_journal.h"

#include <bit>
#include <cstring>

#include "jet/error.h"
#include "jet/file_io.h"
#include "jet/page_file.h"

namespace jet {
namespace {

constexpr uint8_t kMagic[8] = {'Q', 'B', 'J', 'O', 'U', 'R', 'N', '2'};
constexpr size_t kHeaderSize = 48;
constexpr size_t kChecksumAt = 40;
constexpr size_t kRangeHeaderSize = 16;
// No commit journals more than every page of a full file once; a larger length is a torn or
// foreign header, not a reason to allocate.
constexpr uint64_t kMaxBody = (uint64_t{1} << 32) - 1;

// Odd constants with well mixed bits, XORed into the data so that zero words do not zero the
// products.
constexpr uint64_t kSecret0 = 0xA0761D6478BD642Full;
constexpr uint64_t kSecret1 = 0xE7037ED1A0B428DBull;
constexpr uint64_t kSecret2 = 0x8EBC6AF09C88C6E3ull;
constexpr uint64_t kSecret3 = 0x589965CC75374CC3ull;

// Words as little-endian, so a journal means the same on every machine.
uint64_t Word(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
  } else {
    return U64(p);
  }
}

uint64_t HalfWord(const uint8_t* p) { return U32(p); }

// The 128-bit product of a and b, its halves in `low` and `high`.
void MultiplyWide(uint64_t a, uint64_t b, uint64_t& low, uint64_t& high) {
#if defined(__SIZEOF_INT128__)
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  low = static_cast<uint64_t>(product);
  high = static_cast<uint64_t>(product >> 64);
#else
  const uint64_t a_low = a & 0xFFFFFFFF, a_high = a >> 32;
  const uint64_t b_low = b & 0xFFFFFFFF, b_high = b >> 32;
  const uint64_t low_low = a_low * b_low, high_low = a_high * b_low;
  const uint64_t low_high = a_low * b_high, high_high = a_high * b_high;
  const uint64_t cross = (low_low >> 32) + (high_low & 0xFFFFFFFF) + low_high;
  low = (cross << 32) | (low_low & 0xFFFFFFFF);
  high = high_high + (high_low >> 32) + (cross >> 32);
#endif
}

// Both halves of the product folded: every input bit reaches many output bits.
uint64_t Mix(uint64_t a, uint64_t b) {
  uint64_t low, high;
  MultiplyWide(a, b, low, high);
  return low ^ high;
}

constexpr size_t kFlagsAt = 36;
constexpr uint32_t kMarked = 1;

// Of the header and the `body` bytes after it.
uint64_t Checksum(const uint8_t* record, size_t body) {
  return JournalHash(record, kChecksumAt, JournalHash(record + kHeaderSize, body));
}

uint64_t MarkOf(uint64_t checksum) { return ~checksum; }

}  // namespace

std::string RollbackJournalPath(const std::string& database_path) { return database_path + ".qbj"; }

uint64_t JournalHash(const uint8_t* data, size_t size, uint64_t seed) {
  // One 64x64->128-bit multiplication per 16 bytes, in three independent lanes over long
  // inputs: about 30 GB/s here, and a few nanoseconds for the short parts most commits
  // journal (a commit hashes its originals and its new bytes, several kilobytes a row).
  const uint8_t* p = data;
  seed ^= Mix(seed ^ kSecret0, kSecret1);
  uint64_t a = 0, b = 0;
  if (size <= 16) {
    if (size >= 4) {  // two overlapping reads cover 4..16 bytes
      const size_t step = (size >> 3) << 2;
      a = (HalfWord(p) << 32) | HalfWord(p + step);
      b = (HalfWord(p + size - 4) << 32) | HalfWord(p + size - 4 - step);
    } else if (size > 0) {
      a = (uint64_t{p[0]} << 16) | (uint64_t{p[size >> 1]} << 8) | p[size - 1];
    }
  } else {
    size_t left = size;
    if (left > 48) {
      uint64_t lane1 = seed, lane2 = seed;
      do {
        seed = Mix(Word(p) ^ kSecret1, Word(p + 8) ^ seed);
        lane1 = Mix(Word(p + 16) ^ kSecret2, Word(p + 24) ^ lane1);
        lane2 = Mix(Word(p + 32) ^ kSecret3, Word(p + 40) ^ lane2);
        p += 48;
        left -= 48;
      } while (left > 48);
      seed ^= lane1 ^ lane2;
    }
    for (; left > 16; left -= 16, p += 16) seed = Mix(Word(p) ^ kSecret1, Word(p + 8) ^ seed);
    a = Word(p + left - 16);  // the last 16 bytes, overlapping what went before
    b = Word(p + left - 8);
  }
  MultiplyWide(a ^ kSecret1, b ^ seed, a, b);
  return Mix(a ^ kSecret0 ^ size, b ^ kSecret1);
}

void JournalRecordBuilder::Reset(uint32_t original_pages, uint32_t new_pages, bool marked) {
  bytes_.assign(kHeaderSize, 0);
  std::memcpy(bytes_.data(), kMagic, sizeof kMagic);
  PutU32(bytes_.data() + 8, kPageSize);
  PutU32(bytes_.data() + 12, original_pages);
  PutU32(bytes_.data() + 16, new_pages);
  PutU32(bytes_.data() + kFlagsAt, marked ? kMarked : 0);
  ranges_ = 0;
  marked_ = marked;
  mark_ = 0;
}

void JournalRecordBuilder::AddRange(uint32_t page, uint32_t offset, uint32_t length,
                                    const uint8_t* original, const uint8_t* current) {
  // Appended, not resized and filled: the buffer keeps its capacity between commits, and
  // resizing would first zero what the copy overwrites.
  uint8_t entry[kRangeHeaderSize];
  PutU32(entry, page);
  PutU16(entry + 4, static_cast<uint16_t>(offset));
  PutU16(entry + 6, static_cast<uint16_t>(length));
  PutU64(entry + 8, marked_ ? 0 : JournalHash(current, length));
  bytes_.insert(bytes_.end(), entry, entry + kRangeHeaderSize);
  bytes_.insert(bytes_.end(), original, original + length);
  ++ranges_;
}

void JournalRecordBuilder::SetAppendedHash(uint64_t hash) { PutU64(bytes_.data() + 24, hash); }

const Bytes& JournalRecordBuilder::Finish() {
  const size_t body = bytes_.size() - kHeaderSize;
  PutU32(bytes_.data() + 20, ranges_);
  PutU32(bytes_.data() + 32, static_cast<uint32_t>(body));
  const uint64_t checksum = Checksum(bytes_.data(), body);
  PutU64(bytes_.data() + kChecksumAt, checksum);
  if (marked_) {
    // Written as 0 with the record: whatever an earlier record left there is no mark.
    mark_ = MarkOf(checksum);
    bytes_.insert(bytes_.end(), sizeof mark_, 0);
  }
  return bytes_;
}

std::optional<JournalRecord> ReadJournal(FileIo& journal, const std::string& journal_path) {
  const auto read_error = [&](std::error_code error) {
    return Error(kErrIo, "Disk or network error reading the rollback journal '" + journal_path +
                             "' (" + error.message() + ").");
  };
  JournalRecord record;
  record.bytes.resize(kHeaderSize);
  size_t read = 0;
  if (auto error = journal.ReadAt(0, record.bytes.data(), kHeaderSize, read)) {
    throw read_error(error);
  }
  if (read < kHeaderSize || std::memcmp(record.bytes.data(), kMagic, sizeof kMagic) != 0) {
    return std::nullopt;
  }
  const uint64_t body = U32(record.bytes.data() + 32);
  if (body > kMaxBody) return std::nullopt;
  record.bytes.resize(kHeaderSize + body);
  if (auto error = journal.ReadAt(kHeaderSize, record.bytes.data() + kHeaderSize, body, read)) {
    throw read_error(error);
  }
  if (read < body) return std::nullopt;
  const uint64_t checksum = Checksum(record.bytes.data(), body);
  if (U64(record.bytes.data() + kChecksumAt) != checksum) return std::nullopt;

  // The checksum holds: what follows was written by us, whole. A contradiction now is not a
  // torn write but a journal we must not guess about.
  const auto corrupt = [&](const std::string& what) {
    return Error(kErrCorrupt, "The rollback journal '" + journal_path + "' is damaged (" + what +
                                  "); the database was not changed.");
  };
  const uint8_t* header = record.bytes.data();
  if (U32(header + 8) != kPageSize) throw corrupt("wrong page size");
  record.original_pages = U32(header + 12);
  record.new_pages = U32(header + 16);
  record.appended_hash = U64(header + 24);
  const uint32_t flags = U32(header + kFlagsAt);
  if (flags & ~kMarked) throw corrupt("unknown flags");
  record.marked = (flags & kMarked) != 0;
  if (record.new_pages < record.original_pages) throw corrupt("the file would shrink");
  const uint32_t count = U32(header + 20);
  size_t at = kHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (record.bytes.size() - at < kRangeHeaderSize) throw corrupt("ranges run past its end");
    JournalRange range;
    range.page = U32(record.bytes.data() + at);
    range.offset = U16(record.bytes.data() + at + 4);
    range.length = U16(record.bytes.data() + at + 6);
    range.new_hash = U64(record.bytes.data() + at + 8);
    range.original_at = at + kRangeHeaderSize;
    if (range.page == 0 || range.page >= record.original_pages || range.length == 0 ||
        range.offset + range.length > kPageSize ||
        record.bytes.size() - range.original_at < range.length) {
      throw corrupt("a range outside the file");
    }
    at = range.original_at + range.length;
    record.ranges.push_back(range);
  }
  if (at != record.bytes.size()) throw corrupt("bytes after its last range");
  if (record.marked) {
    uint8_t mark[8];
    if (auto error = journal.ReadAt(kHeaderSize + body, mark, sizeof mark, read)) {
      throw read_error(error);
    }
    // Missing (a crash before the record's last bytes reached the file) means unset.
    record.mark_set = read == sizeof mark && U64(mark) == MarkOf(checksum);
  }
  return record;
}

JournalState ExamineJournal(const JournalRecord& record, FileIo& database, std::error_code& error) {
  uint64_t size = 0;
  if ((error = database.Size(size))) return JournalState::kStale;
  if (size < uint64_t{record.original_pages} * kPageSize ||
      size > uint64_t{record.new_pages} * kPageSize) {
    return JournalState::kStale;
  }
  // The commit wrote its appended pages first and its ranges after them, but a crash of the
  // whole machine may have kept any subset: finished means every part is there.
  bool finished = size == uint64_t{record.new_pages} * kPageSize;
  if (record.marked)
    return finished && record.mark_set ? JournalState::kFinished : JournalState::kRollBack;
  uint8_t current[kPageSize];
  size_t read = 0;
  for (const JournalRange& range : record.ranges) {
    if (!finished) break;
    if ((error = database.ReadAt(uint64_t{range.page} * kPageSize + range.offset, current,
                                 range.length, read))) {
      return JournalState::kStale;
    }
    // A range may hold the same bytes before and after (parts are journaled whole, not only
    // their changed bytes): its new bytes are there exactly when their hash is.
    finished = read == range.length && JournalHash(current, range.length) == range.new_hash;
  }
  if (finished && record.new_pages > record.original_pages) {
    uint64_t hash = 0;
    for (uint32_t page = record.original_pages; finished && page < record.new_pages; ++page) {
      if ((error = database.ReadAt(uint64_t{page} * kPageSize, current, kPageSize, read))) {
        return JournalState::kStale;
      }
      finished = read == kPageSize;
      hash = JournalHash(current, kPageSize, hash);
    }
    finished = finished && hash == record.appended_hash;
  }
  return finished ? JournalState::kFinished : JournalState::kRollBack;
}

std::error_code RollBackJournal(const JournalRecord& record, FileIo& database) {
  for (const JournalRange& range : record.ranges) {
    if (auto error = database.WriteAt(uint64_t{range.page} * kPageSize + range.offset,
                                      record.Original(range), range.length)) {
      return error;
    }
  }
  return database.Truncate(uint64_t{record.original_pages} * kPageSize);
}

}  // namespace jet
