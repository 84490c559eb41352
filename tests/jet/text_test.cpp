#include "jet/text.h"

#include <gtest/gtest.h>

namespace jet {
namespace {

Bytes B(std::initializer_list<int> v) { return Bytes(v.begin(), v.end()); }

TEST(TextTest, DecodesCompressedAndPlainStoredText) {
  // Plain UCS-2.
  EXPECT_EQ(DecodeJetText(B({'h', 0, 'i', 0})), u"hi");
  // Compressed: one byte a character after FF FE.
  EXPECT_EQ(DecodeJetText(B({0xFF, 0xFE, 'a', 'b', 'c'})), u"abc");
  // A 0x00 byte switches to two-byte mode and back.
  EXPECT_EQ(DecodeJetText(B({0xFF, 0xFE, 'a', 0, 0x3A, 0x04, 0, 'b'})), u"a\u043Ab");
  // A dangling half character at the end is dropped, never read past the buffer.
  EXPECT_EQ(DecodeJetText(B({0xFF, 0xFE, 'a', 0, 0x3A})), u"a");
  EXPECT_EQ(DecodeJetText(B({'h', 0, 'i'})), u"h");
}

TEST(TextTest, DecodesStoredTextToUtf8AsThroughUtf16) {
  // Compressed ASCII is copied as it stands; every other body gives what the UTF-16 route
  // gives, Latin-1 bytes of the compressed form included.
  for (const Bytes& stored :
       {B({0xFF, 0xFE, 'a', 'b', 'c'}), B({0xFF, 0xFE}), B({0xFF, 0xFE, 'a', 0xE4, 'b'}),
        B({0xFF, 0xFE, 'a', 0, 0x3A, 0x04, 0, 'b'}), B({0xFF, 0xFE, 'a', 0, 0x3A}),
        B({'h', 0, 'i', 0}), B({0xFF}), B({}),
        // Plain UCS-2 goes straight to UTF-8: non-ASCII first or after ASCII, a surrogate
        // pair, unpaired surrogates (also last), an odd trailing byte.
        B({0xE4, 0, 'a', 0}), B({'a', 0, 0xAC, 0x20, 'b', 0}), B({0x3D, 0xD8, 0x00, 0xDE}),
        B({0x00, 0xDC, 'a', 0, 0x00, 0xD8}), B({'a', 0, 0x3D, 0xD8, 'b', 0}),
        B({'a', 0, 0xE4, 0, 'b'})}) {
    EXPECT_EQ(DecodeJetTextUtf8(stored), Utf16ToUtf8(DecodeJetText(stored)));
  }
  EXPECT_EQ(DecodeJetTextUtf8(B({0xFF, 0xFE, 'a', 0xE4})), "a\xC3\xA4");
}

TEST(TextTest, ConvertsBetweenUtf8AndUtf16) {
  const std::u16string mixed = u"A\u00E4\u20AC\U0001F600";
  EXPECT_EQ(Utf16ToUtf8(mixed), "A\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(mixed)), mixed);
  // Unpaired surrogates and malformed UTF-8 become the replacement character.
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
}

}  // namespace
}  // namespace jet
