// Text in the file is UCS-2 little-endian, optionally in Jet's "compressed" form; the API
// speaks UTF-8. These are the conversions between the two.
//
// Format: docs/format.md, values and text.
#pragma once

#include <string>
#include <string_view>

#include "jet/bytes.h"

namespace jet {

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16. Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Decodes a stored TEXT or MEMO body: plain UCS-2 LE, or the compressed form that starts
// with FF FE (one byte a character, a 0x00 byte toggling to and from two-byte mode).
// An odd trailing byte in two-byte mode is dropped, as Jet ignores it.
std::u16string DecodeJetText(ByteSpan stored);
// The same body as UTF-8. Most stored texts are compressed ASCII, which is already its own
// UTF-8: those are copied as they stand, without the round trip through UTF-16.
std::string DecodeJetTextUtf8(ByteSpan stored);

// Decodes UCS-2 LE bytes (names in table definitions).
std::u16string DecodeUcs2(ByteSpan bytes);

}  // namespace jet
