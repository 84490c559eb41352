// Text keys in the "General" (legacy) sort order (docs/format.md, text keys: index keys of
// TEXT and MEMO columns). A key is built from per-character codes in four sections: the inline
// codes (the primary weights, case folded), the extra codes (diacritics), the "crazy" codes (kana
// and width variants) and the unprintable codes (characters such as '-' and '\'' that weigh nothing
// in the primary section but still tell texts apart).
#include "jet/collation.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "jet/generated/collation_table.h"
#include "jet/text.h"

namespace jet {
namespace {

namespace table = collation_table;

constexpr uint8_t kAscendingValueFlag = 0x7F;
constexpr uint8_t kDescendingValueFlag = 0x80;

constexpr uint8_t kEndText = 0x01;  // ends the inline codes, and separates later sections
constexpr uint8_t kEndKey = 0x00;
constexpr uint8_t kExtraPlaceholder = 0x02;  // extra code of a character that has none
constexpr uint8_t kUnprintableMidfix = 0x06;
// An unprintable character is recorded with its position as 0x8000 | (7 + 4 * position).
constexpr int kUnprintablePositionStart = 7;
constexpr int kUnprintablePositionStep = 4;
constexpr int kUnprintablePositionFlag = 0x8000;
constexpr uint8_t kCrazyStart = 0x80;      // each crazy byte: 0x80 and three 2-bit codes
constexpr uint8_t kCrazyTrailingCode = 3;  // trailing codes of this value are dropped
constexpr std::array<uint8_t, 5> kCrazySuffix = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kCrazyUnprintableSuffix = 0xFF;

// Surrogates are not in the measured table; their weights follow a formula.
constexpr int kHighSurrogateOffset = 10238;
constexpr uint8_t kSurrogateExtra = 0x3F;

// What one UTF-16 code unit contributes to a key.
struct CharCode {
  uint8_t inline_len = 0;
  std::array<uint8_t, 4> inline_bytes{};
  uint8_t extra_len = 0;
  std::array<uint8_t, 2> extra_bytes{};
  bool unprintable = false;
  uint8_t unprintable_byte = 0;
  uint8_t modifier = 0;  // added to the last extra code
  uint8_t crazy = 0;     // 0 none, else 2 or 3
  // Positions the character takes where accents and unprintables are placed: its sort
  // elements, so 'ß' (sorting as "ss") takes two. One extra byte stands for each.
  uint8_t positions = 1;

  bool OnlyInline() const { return extra_len == 0 && !unprintable && modifier == 0 && crazy == 0; }
  void SetInline16(uint16_t v) {
    inline_len = 2;
    inline_bytes[0] = static_cast<uint8_t>(v >> 8);
    inline_bytes[1] = static_cast<uint8_t>(v);
  }
  void SetExtra(uint8_t v) {
    extra_len = 1;
    extra_bytes[0] = v;
  }
};

CharCode SurrogateCode(char16_t unit) {
  CharCode code;
  if (unit < 0xDC00) {
    code.SetInline16(static_cast<uint16_t>(unit - kHighSurrogateOffset));
  } else {
    // A low surrogate's weight steps down by two after the first 8 units of its 1024-unit
    // block and after every further 254.
    int position = (unit - 0xDC00) % 1024;
    int offset = position < 8             ? 9992
                 : position < 8 + 254     ? 9990
                 : position < 8 + 2 * 254 ? 9988
                 : position < 8 + 3 * 254 ? 9986
                                          : 9984;
    code.SetInline16(static_cast<uint16_t>(unit - offset));
  }
  code.SetExtra(kSurrogateExtra);
  return code;
}

CharCode Decode(char16_t unit) {
  if (unit >= 0xD800 && unit <= 0xDFFF) return SurrogateCode(unit);
  uint32_t word = table::CodeWord(unit);
  auto primary = static_cast<uint16_t>(word);
  auto secondary = static_cast<uint8_t>(word >> table::kSecondaryShift);
  CharCode code;
  if (word & table::kTwoPositionsBit) code.positions = 2;
  switch ((word >> table::kKindShift) & 0x0F) {
    case table::kIgnored:
      break;
    case table::kInline1:
      code.inline_len = 1;
      code.inline_bytes[0] = static_cast<uint8_t>(primary);
      break;
    case table::kInline2:
      code.SetInline16(static_cast<uint16_t>(primary + unit));
      break;
    case table::kInternational1:
      code.inline_len = 1;
      code.inline_bytes[0] = static_cast<uint8_t>(primary);
      code.SetExtra(secondary);
      break;
    case table::kInternational2:
      code.SetInline16(primary);
      code.SetExtra(secondary);
      break;
    case table::kUnprintable:
      code.unprintable = true;
      code.unprintable_byte = secondary;
      break;
    case table::kModifier:
      code.modifier = secondary;
      break;
    case table::kKana:
      code.SetInline16(primary);
      if (word & table::kHasExtraBit) code.SetExtra(secondary);
      code.crazy = (word & table::kCrazyTwoBit) ? 2 : 3;
      break;
    case table::kLong: {
      const table::LongCode& long_code = table::kLongCodes[primary];
      code.inline_len = long_code.inline_len;
      std::copy_n(long_code.inline_bytes, 4, code.inline_bytes.begin());
      code.extra_len = long_code.extra_len;
      std::copy_n(long_code.extra_bytes, 2, code.extra_bytes.begin());
      code.crazy = long_code.crazy;
      code.positions = long_code.positions;
      break;
    }
  }
  return code;
}

// The part of a text that the key covers: the first 255 code units without trailing spaces.
template <typename View>
View IndexedPart(View text) {
  if (text.size() > kMaxTextKeyChars) text = text.substr(0, kMaxTextKeyChars);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

void TrimTrailing(Bytes& bytes, uint8_t low, uint8_t high) {
  while (!bytes.empty() && bytes.back() >= low && bytes.back() <= high) bytes.pop_back();
}

void AppendCrazyCodes(Bytes crazy, Bytes& out) {
  TrimTrailing(crazy, kCrazyTrailingCode, kCrazyTrailingCode);
  for (size_t i = 0; i < crazy.size(); i += 3) {
    uint8_t packed = kCrazyStart;
    for (size_t j = 0; j < 3 && i + j < crazy.size(); ++j) {
      packed |= static_cast<uint8_t>(crazy[i + j] << (2 * (2 - j)));
    }
    out.push_back(packed);
  }
  // The suffix is written even when every code was dropped.
  out.insert(out.end(), kCrazySuffix.begin(), kCrazySuffix.end());
}

// Appends the encoded text (everything after the flag byte).
void AppendTextValue(std::u16string_view text, bool ascending, Bytes& out) {
  text = IndexedPart(text);
  const size_t start = out.size();

  // Extra codes: one entry per position up to the last one that has extras; a modifier folds
  // into the entry before it. Where an accent or an unprintable character stands is counted in
  // two ways, as Access's keys show. Until the first extra code, a position is a sort element:
  // 'ß' (sorting as "ss") or 'æ' takes two. From then on it is the extra codes written plus one
  // for each inline character since, whatever it sorts as (a row of every character 0x01-0xFF
  // counts 'Æ', 'Þ' and 'ß' after 'Å' once each).
  Bytes extras;
  bool extras_started = false;
  size_t elements = 0;      // sort elements of the inline characters, before any extras
  size_t uncovered = 0;     // inline characters since the extras last caught up
  size_t extra_prefix = 0;  // a leading modifier, which has no position of its own
  Bytes unprintables;
  Bytes crazy;

  for (char16_t unit : text) {
    const CharCode code = Decode(unit);
    // Characters before this one that the extras do not cover yet.
    const size_t behind = extras_started ? uncovered : elements;
    if (code.inline_len > 0) {
      out.insert(out.end(), code.inline_bytes.begin(), code.inline_bytes.begin() + code.inline_len);
    }

    if (code.extra_len > 0 || code.modifier != 0) {
      extras.insert(extras.end(), behind, kExtraPlaceholder);
      if (code.extra_len > 0) {
        extras.insert(extras.end(), code.extra_bytes.begin(),
                      code.extra_bytes.begin() + code.extra_len);
      } else if (!extras.empty()) {
        extras.back() = static_cast<uint8_t>(extras.back() + code.modifier);
      } else {
        extras.push_back(code.modifier);
        extra_prefix = 1;
      }
      extras_started = true;
      uncovered = 0;
    } else if (code.inline_len > 0) {
      ++uncovered;
    }
    if (code.inline_len > 0) elements += code.positions;

    if (code.unprintable) {
      // Counted from the extra-code bytes, so two after the two-accent 'ǆ'.
      const size_t where = extras_started ? extras.size() + behind - extra_prefix : behind;
      int mark = (kUnprintablePositionStart + kUnprintablePositionStep * static_cast<int>(where)) |
                 kUnprintablePositionFlag;
      unprintables.push_back(static_cast<uint8_t>(mark >> 8));
      unprintables.push_back(static_cast<uint8_t>(mark));
      unprintables.push_back(kUnprintableMidfix);
      unprintables.push_back(code.unprintable_byte);
    }

    if (code.crazy != 0) crazy.push_back(code.crazy);
  }

  out.push_back(kEndText);
  TrimTrailing(extras, 0x00, kExtraPlaceholder);
  const bool has_unprintables = !unprintables.empty();
  const bool has_crazy = !crazy.empty();
  out.insert(out.end(), extras.begin(), extras.end());
  if (has_crazy || has_unprintables) {
    out.push_back(kEndText);
    out.push_back(kEndText);
    if (has_crazy) {
      AppendCrazyCodes(std::move(crazy), out);
      if (has_unprintables) out.push_back(kCrazyUnprintableSuffix);
    }
    if (has_unprintables) {
      out.push_back(kEndText);
      out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
  }

  if (!ascending) {
    // Descending keys end in 0xFF 0x00: the end byte is written before the flip and again
    // after it.
    out.push_back(kEndKey);
    for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~out[i]);
  }
  out.push_back(kEndKey);
}

// --- Fast comparison of ASCII text ---------------------------------------------------------
// Almost all text in practice is ASCII, whose characters have only inline or unprintable
// codes. Two such keys compare by their inline codes first (a text whose inline codes run out
// first is smaller, the 0x01 end byte being below every inline byte), then by their
// unprintable entries as (position, code) pairs, a text without any being smallest. That
// order is computed here on the fly, without building keys.

struct AsciiCode {
  bool fast = false;  // false: the character needs the full key
  uint8_t inline_len = 0;
  std::array<uint8_t, 2> inline_bytes{};
  bool unprintable = false;
  uint8_t unprintable_byte = 0;
  bool only_inline = false;  // the character adds nothing to a key beyond its inline codes
};

std::array<AsciiCode, 128> BuildAsciiCodes() {
  std::array<AsciiCode, 128> codes{};
  for (char16_t c = 0; c < 128; ++c) {
    const CharCode code = Decode(c);
    AsciiCode& ascii = codes[c];
    ascii.fast = code.extra_len == 0 && code.modifier == 0 && code.crazy == 0 &&
                 code.inline_len <= 2 && !(code.unprintable && code.inline_len > 0) &&
                 (code.inline_len == 0 || code.inline_bytes[0] > kEndText);
    ascii.inline_len = code.inline_len;
    ascii.inline_bytes = {code.inline_bytes[0], code.inline_bytes[1]};
    ascii.unprintable = code.unprintable;
    ascii.unprintable_byte = code.unprintable_byte;
    ascii.only_inline = code.OnlyInline() && code.inline_len <= 2;
  }
  return codes;
}

const std::array<AsciiCode, 128>& AsciiCodes() {
  static const std::array<AsciiCode, 128> codes = BuildAsciiCodes();
  return codes;
}

constexpr int kStreamEnd = -1;
constexpr int kNotFast = -2;

// Walks the inline codes of an ASCII text byte by byte.
class InlineStream {
 public:
  explicit InlineStream(std::string_view text) : text_(text) {}

  // The next inline byte, kStreamEnd, or kNotFast at a character the fast path cannot take.
  int Next() {
    if (pending_ >= 0) return std::exchange(pending_, -1);
    while (index_ < text_.size()) {
      auto c = static_cast<uint8_t>(text_[index_++]);
      if (c >= 0x80) return kNotFast;
      const AsciiCode& code = AsciiCodes()[c];
      if (!code.fast) return kNotFast;
      if (code.inline_len == 0) continue;
      if (code.inline_len == 2) pending_ = code.inline_bytes[1];
      return code.inline_bytes[0];
    }
    return kStreamEnd;
  }

 private:
  std::string_view text_;
  size_t index_ = 0;
  int pending_ = -1;
};

// Walks the unprintable entries of an ASCII text that passed InlineStream.
class UnprintableStream {
 public:
  explicit UnprintableStream(std::string_view text) : text_(text) {}

  struct Entry {
    size_t position;
    uint8_t code;
  };

  std::optional<Entry> Next() {
    while (index_ < text_.size()) {
      const AsciiCode& code = AsciiCodes()[static_cast<uint8_t>(text_[index_++])];
      if (code.inline_len > 0) ++inline_chars_;
      if (code.unprintable) return Entry{inline_chars_, code.unprintable_byte};
    }
    return std::nullopt;
  }

 private:
  std::string_view text_;
  size_t index_ = 0;
  size_t inline_chars_ = 0;
};

int Sign(int v) { return (v > 0) - (v < 0); }

// The key of a text whose indexed part is ASCII with inline codes only (letters, digits,
// most punctuation and spaces): those inline codes between the flag and the end bytes, as
// AppendTextValue writes them, built without converting the text to UTF-16. False, with
// `out` as it was, for text that needs the full key.
bool AppendAsciiTextKey(std::string_view utf8, bool ascending, Bytes& out) {
  // ASCII bytes are UTF-16 code units one to one, so the cut to the indexed part is the same.
  const std::string_view text = IndexedPart(utf8);
  const std::array<AsciiCode, 128>& codes = AsciiCodes();
  const size_t start = out.size();
  out.reserve(start + 2 * text.size() + 4);  // inline codes are at most 2 bytes a character
  out.push_back(ascending ? kAscendingValueFlag : kDescendingValueFlag);
  for (const char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    if (c >= 0x80 || !codes[c].only_inline) {
      out.resize(start);
      return false;
    }
    const AsciiCode& code = codes[c];
    if (code.inline_len > 0) out.push_back(code.inline_bytes[0]);
    if (code.inline_len > 1) out.push_back(code.inline_bytes[1]);
  }
  out.push_back(kEndText);
  if (!ascending) {
    out.push_back(kEndKey);
    for (size_t i = start + 1; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~out[i]);
  }
  out.push_back(kEndKey);
  return true;
}

// The comparison of two texts, or nullopt when a character needs the full keys.
std::optional<int> CompareAscii(std::string_view a, std::string_view b) {
  // A non-ASCII byte inside the first 255 bytes makes these cuts wrong, but then the walk
  // meets it before it can conclude anything the cut affects.
  a = IndexedPart(a);
  b = IndexedPart(b);
  InlineStream inline_a(a), inline_b(b);
  for (;;) {
    int x = inline_a.Next();
    int y = inline_b.Next();
    if (x == kNotFast || y == kNotFast) return std::nullopt;
    if (x == kStreamEnd && y == kStreamEnd) break;
    if (x == kStreamEnd) return -1;
    if (y == kStreamEnd) return 1;
    if (x != y) return x < y ? -1 : 1;
  }
  UnprintableStream unprintable_a(a), unprintable_b(b);
  for (;;) {
    auto x = unprintable_a.Next();
    auto y = unprintable_b.Next();
    if (!x || !y) return static_cast<int>(x.has_value()) - static_cast<int>(y.has_value());
    if (x->position != y->position) return x->position < y->position ? -1 : 1;
    if (x->code != y->code) return x->code < y->code ? -1 : 1;
  }
}

int CompareKeys(const Bytes& a, const Bytes& b) {
  size_t common = std::min(a.size(), b.size());
  int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (c != 0) return Sign(c);
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

bool IsGeneralSortOrder(uint16_t lcid, uint8_t version) {
  return (lcid == 1033 || lcid == 0) && version == 0;
}

void AppendGeneralTextKey(std::u16string_view text, bool ascending, Bytes& out) {
  out.push_back(ascending ? kAscendingValueFlag : kDescendingValueFlag);
  AppendTextValue(text, ascending, out);
}

void AppendGeneralTextKey(std::string_view utf8, bool ascending, Bytes& out) {
  if (!AppendAsciiTextKey(utf8, ascending, out)) {
    AppendGeneralTextKey(Utf8ToUtf16(utf8), ascending, out);
  }
}

Bytes GeneralSortKey(std::string_view utf8) {
  Bytes key;
  AppendTextValue(Utf8ToUtf16(utf8), true, key);
  return key;
}

int CompareText(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  if (auto fast = CompareAscii(a, b)) return *fast;
  return CompareKeys(GeneralSortKey(a), GeneralSortKey(b));
}

bool TextEquals(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

}  // namespace jet
