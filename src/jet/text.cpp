#include "jet/text.h"

#include <algorithm>

namespace jet {

namespace {

// UTF-16 code units, `count` of them, each given by `unit(i)`, as UTF-8. One routine for text
// in memory and for UCS-2 bytes on a page, so that a stored text becomes UTF-8 in one pass.
// The plain-ASCII run a text usually is goes straight into the result.
template <typename Unit>
std::string UnitsToUtf8(size_t count, Unit unit) {
  std::string out(count, '\0');
  size_t i = 0;
  for (; i < count; ++i) {
    const char16_t c = unit(i);
    if (c >= 0x80) break;
    out[i] = static_cast<char>(c);
  }
  if (i == count) return out;
  out.resize(i);
  for (; i < count; ++i) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  return UnitsToUtf8(text.size(), [text](size_t i) { return text[i]; });
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<uint8_t>(text[i]);
    uint32_t c = 0xFFFD;
    size_t len = 1;
    if (b0 < 0x80) {
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= text.size();
      uint32_t v = b0 & (0x7F >> len);
      for (size_t k = 1; ok && k < len; ++k) {
        const auto b = static_cast<uint8_t>(text[i + k]);
        if ((b & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (b & 0x3F);
      }
      static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        c = v;
      } else {
        len = 1;
      }
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += len;
  }
  return out;
}

std::u16string DecodeUcs2(ByteSpan bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return out;
}

std::u16string DecodeJetText(ByteSpan stored) {
  if (stored.size() < 2 || stored[0] != 0xFF || stored[1] != 0xFE) return DecodeUcs2(stored);
  std::u16string out;
  out.reserve(stored.size());
  bool compressed = true;
  size_t i = 2;
  while (i < stored.size()) {
    if (stored[i] == 0x00) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      out.push_back(static_cast<char16_t>(stored[i]));
      ++i;
    } else {
      if (i + 1 >= stored.size()) break;
      out.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
      i += 2;
    }
  }
  return out;
}

std::string DecodeJetTextUtf8(ByteSpan stored) {
  if (stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE &&
      std::all_of(stored.begin() + 2, stored.end(),
                  [](uint8_t b) { return b != 0x00 && b < 0x80; })) {
    return std::string(stored.begin() + 2, stored.end());
  }
  if (stored.size() < 2 || stored[0] != 0xFF || stored[1] != 0xFE) {
    // Plain UCS-2, as DecodeUcs2 reads it (an odd trailing byte dropped), without the copy.
    const uint8_t* bytes = stored.data();
    return UnitsToUtf8(stored.size() / 2, [bytes](size_t i) {
      return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    });
  }
  return Utf16ToUtf8(DecodeJetText(stored));
}

}  // namespace jet
