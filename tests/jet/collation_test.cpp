#include "jet/collation.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "jet/text.h"

namespace jet {
namespace {

std::string Hex(const Bytes& bytes) {
  std::string s;
  char buf[4];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", s.empty() ? "" : " ", b);
    s += buf;
  }
  return s;
}

// The whole per-column key of a non-null text, flag byte included.
std::string Key(std::u16string_view text, bool ascending = true) {
  Bytes out;
  AppendGeneralTextKey(text, ascending, out);
  return Hex(out);
}

int KeyOrder(std::string_view a, std::string_view b) {
  Bytes ka = GeneralSortKey(a), kb = GeneralSortKey(b);
  return ka < kb ? -1 : (kb < ka ? 1 : 0);
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CollationTest, MatchesKeysFoundInAccessMadeIndexes) {
  EXPECT_EQ(Key(u"admin"), "7F 4A 4F 60 59 62 01 00");
  EXPECT_EQ(Key(u"CORE USER"), "7F 4D 64 69 51 07 6F 6B 51 69 01 00");
  // The hyphen weighs nothing inline; it is recorded as unprintable at position 0.
  EXPECT_EQ(Key(u"-1"), "7F 38 01 01 01 01 80 07 06 82 00");
  // The underscore has a two-byte inline code.
  EXPECT_EQ(Key(u"f_").substr(0, 11), "7F 53 2B 03");
}

// Keys read from the index of an Access-made file (testUnicodeCompV2003.mdb, page 57), with
// the texts of the rows they point to.
TEST(CollationTest, MatchesAccessMadeKeysForTextInManyScripts) {
  auto compact = [](std::u16string_view text) {
    std::string hex = Key(text);
    std::erase(hex, ' ');
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
  };
  EXPECT_EQ(compact(u"only ascii chars"), "7f64625e76074a6b4d5959074d574a696b0100");
  EXPECT_EQ(compact(u"\u00E4\u00E4kk\u00F6si\u00E4"), "7f4a4a5c5c646b594a01131302021302021300");
  EXPECT_EQ(compact(u"\u041C\u0438\u0440"), "7f7943793b79480100");
  EXPECT_EQ(compact(u"\u03F0\u03B1\u1F76 \u03C4\u1F79\u03C4' \u1F10\u03B3\u1F7C "
                    u"\u039A\u1F7B\u03F0\u03BB\u03C9\u03C0\u03B1"),
            "7f7915790c07791e791e07790e077915791579167923791b790c0103020202020202020203010101801b"
            "068000");
  EXPECT_EQ(compact(u"\u6F22\u5B57\u4EEE\u540D\u4EA4\u3058\u308A\u6587"),
            "7fc0b6acaca00da5479fbe7f137f43b6f6010202020202030101ff0280ff8000");
  EXPECT_EQ(compact(u"3L9\x1D"
                    u"52\x02_AB(\u00A5\x05!!V"),
            "7f3c5e48403a2b034a4c1434a9090971010101018013061a801b0604802f060700");
  EXPECT_EQ(compact(u"\u00FCmlaut"), "7f6f605e4a6f6d011300");

  // Every code unit from 0x01 to 0xFF in order: 255 characters, all four sections. 'Æ', 'Þ',
  // 'ß', 'æ' and 'þ' come after accented letters, and so take one position each.
  std::u16string latin1;
  for (char16_t c = 1; c <= 0xFF; ++c) latin1 += c;
  EXPECT_EQ(
      compact(latin1),
      "7f0803080408050806080707090a0c0e10121416182c1a1c1e36383a3c3e404244464820222e303224264a4c"
      "4d4f51535557595b5c5e6062646668696b6d6f717375767827292a2b022b032b074a4c4d4f51535557595b5c"
      "5e6062646668696b6d6f71737576782b092b0b2b0d2b0f08022b1034a634a734a834a92b1134aa2b1234ab4a"
      "330534ac34ad2b1334ae33043a3c2b1434af34b034b12b153864330737123716371a2b164a4a4a4a4a4a4a51"
      "4d51515151595959594f6264646464643309646f6f6f6f766d576b6b4a4a4a4a4a4a4a514d51515151595959"
      "594f626464646464330a646f6f6f6f766d577601020202020202020202020202020202020202020202020202"
      "0202020202020202020202020202020202020202020202020202020202020202020202020202020202020202"
      "0202020202020202020202020202020202020202020202020202020202020202020202020202020203020202"
      "02020202020202020202020302020202020f0e1219131a021c0f0e12130f0e121368190f0e12191302210f0e"
      "12130e02020f0e1219131a021c0f0e12130f0e121368190f0e12191302210f0e12130e021301010180070603"
      "8007060480070605800706068007060780070608800706098007060a801b060b801b060c801b060d801b060e"
      "801b060f801b0610801b0611801b0612801b0613801b0614801b0615801b0616801b0617801b0618801b0619"
      "801b061a801b061b801b061c80370680804b0682818f061d818f061e818f061f818f0620818f0621818f0622"
      "818f0623818f0624818f0625818f0626818f0627818f0628818f0629818f062a818f062b818f062c818f062d"
      "818f062e818f062f818f0630818f0631818f0632818f0633818f0634818f0635818f0636818f0637818f0638"
      "818f0639818f063a818f063b818f063c818f063d81c3068300");
}

// Keys Access stored in real files for names with 'ß': it sorts as "ss" and so takes two positions
// where the key records an accent or an unprintable character after it.
TEST(CollationTest, SharpSTakesTwoPositionsAsInAccessKeys) {
  auto compact = [](std::u16string_view text) {
    std::string hex = Key(text);
    std::erase(hex, ' ');
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
  };
  // Hyphens after it: unprintable positions 11 and 17, not 10 and 16.
  EXPECT_EQ(compact(u"NuNuCa Nu\u00DF-Nougat-Creme"),
            "7f626f626f4d4a07626f6b6b62646f554a6d4d695160510101010180330682804b068200");
  // An accent after it: 26 placeholders before the umlaut of the 26th character.
  EXPECT_EQ(compact(u"Plutzer Lebensmittelgro\u00DFm\u00E4rkte AG"),
            "7f665e6f6d785169075e514c51626b60596d6d515e5569646b6b604a695c6d51074a5501020202020202"
            "02020202020202020202020202020202020202021300");
  // Before the accent it changes nothing.
  EXPECT_EQ(compact(u"Heli S\u00FC\u00DFwaren GmbH & Co. KG"),
            "7f57515e59076b6f6b6b734a6951620755604c570712074d641c075c55010202020202021300");
  EXPECT_EQ(compact(u"Original Frankfurter gr\u00FCne So\u00DFe"),
            "7f6469595559624a5e0753694a625c536f696d51690755696f6251076b646b6b51010202020202020202"
            "0202020202020202020202020202021300");
}

// Every letter that sorts as several (ligatures, 'æ', 'þ', digraphs, in both cases) takes as
// many positions as it has sort elements, in the accents and in the unprintables alike, until
// the text's first accent; after one it takes a single position, as in the stored key of the
// row of every character 0x01-0xFF.
TEST(CollationTest, LettersThatSortAsSeveralTakeAPositionEach) {
  struct Case {
    std::u16string letter;
    int positions;
  };
  const std::vector<Case> cases = {{u"\u00C6", 2},
                                   {u"\u00E6", 2},
                                   {u"\u00DE", 2},
                                   {u"\u00FE", 2},
                                   {u"\u00DF", 2},
                                   {u"\u0152", 2},
                                   {u"\u0153", 2},
                                   {u"\u0132", 2},
                                   {u"\u0133", 2},
                                   {u"\u01C7", 2},
                                   {u"\u01C8", 2},
                                   {u"\u01C9", 2},
                                   {u"\u01CA", 2},
                                   {u"\u01CC", 2},
                                   {u"\u01F1", 2},
                                   {u"\u01F3", 2},
                                   {u"\uFB00", 2},
                                   {u"\uFB01", 2},
                                   {u"\uFB02", 2},
                                   {u"\uFB06", 2},
                                   {u"\uFB03", 3},
                                   {u"\uFB04", 3},
                                   {u"\uFB05", 2},
                                   {u"\u05F0", 2},
                                   {u"\u05F2", 2},
                                   // Characters with two-byte codes that are one element.
                                   {u"^", 1},
                                   {u"_", 1},
                                   {u"\u00BD", 1},
                                   {u"\u041C", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(Bytes(c.letter.begin(), c.letter.end())));
    const std::string inline_codes = Key(c.letter).substr(2, Key(c.letter).size() - 2 - 6);
    // An acute accent after it lands behind one placeholder per element.
    std::string placeholders;
    for (int i = 0; i < c.positions; ++i) placeholders += " 02";
    EXPECT_EQ(Key(c.letter + u"\u00E9"), "7F" + inline_codes + " 51 01" + placeholders + " 0E 00");
    // A hyphen after it is recorded at the position after its elements.
    char mark[16];
    std::snprintf(mark, sizeof mark, " %02X %02X", 0x80 | ((7 + 4 * c.positions) >> 8),
                  (7 + 4 * c.positions) & 0xFF);
    EXPECT_EQ(Key(c.letter + u"-"), "7F" + inline_codes + " 01 01 01 01" + mark + " 06 82 00");
    // After an accent: one placeholder, and the hyphen at position 2.
    EXPECT_EQ(Key(u"\u00E9" + c.letter + u"\u00E9"), "7F 51" + inline_codes + " 51 01 0E 02 0E 00");
    EXPECT_EQ(Key(u"\u00E9" + c.letter + u"-"),
              "7F 51" + inline_codes + " 01 0E 01 01 01 80 0F 06 82 00");
  }
  // Where the accent comes later, the letter before it still counts its elements.
  EXPECT_EQ(Key(u"\u00DFa\u00E9\u00DF\u00E9"), "7F 6B 6B 4A 51 6B 6B 51 01 02 02 02 0E 02 0E 00");
  // A digraph with its own accents (two extra bytes) counts two, as it did before.
  EXPECT_EQ(Key(u"\u01C6\u00E9"), "7F 4F 78 51 01 02 14 0E 00");
  EXPECT_EQ(Key(u"\u01C6-"), "7F 4F 78 01 02 14 01 01 01 80 0F 06 82 00");
  // Texts that differ only in where the hyphen stands stay apart and ordered.
  EXPECT_LT(CompareText("\xC3\x9F-a",
                        "\xC3\x9F"
                        "a-"),
            0);
  EXPECT_TRUE(
      TextEquals("Stra\xC3\x9F"
                 "e",
                 "STRA\xC3\x9F"
                 "E"));
}

TEST(CollationTest, DescendingFlipsEverythingAfterTheFlagAndEndsInFF00) {
  EXPECT_EQ(Key(u"admin", false), "80 B5 B0 9F A6 9D FE FF 00");
  EXPECT_EQ(Key(u"", true), "7F 01 00");
  EXPECT_EQ(Key(u"", false), "80 FE FF 00");
}

TEST(CollationTest, IgnoresCaseAndTrailingSpacesButNotLeadingOnes) {
  EXPECT_EQ(GeneralSortKey("CORE USER"), GeneralSortKey("core user   "));
  EXPECT_TRUE(TextEquals("Smith", "SMITH "));
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_FALSE(TextEquals(" a", "a"));
  EXPECT_FALSE(TextEquals("a b", "ab"));
  // Only spaces are trimmed: a trailing tab stays.
  EXPECT_FALSE(TextEquals("a\t", "a"));
}

// Keys of UTF-8 text, built without conversion when the text is plain ASCII, are the keys of
// its UTF-16: for every ASCII character (those with extra or unprintable codes go the full
// way), around the 255-character cut and its trailing spaces, and with non-ASCII text.
TEST(CollationTest, Utf8KeysAreTheKeysOfTheSameUtf16Text) {
  std::vector<std::string> texts = {
      "",       " ",     "K0A1B2C3D", "Smith  ",     "  lead",
      "o'neil", "co-op", "a\tb",      "caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC"};
  for (int c = 1; c < 128; ++c) {
    texts.push_back(std::string(1, static_cast<char>(c)));
    texts.push_back("ab" + std::string(1, static_cast<char>(c)) + "yz");
  }
  texts.push_back(std::string(254, 'a') + " b");
  texts.push_back(std::string(255, 'a') + "\xC3\xA9");  // non-ASCII beyond the cut only
  texts.push_back(std::string(250, 'a') + "     x");
  texts.push_back(std::string(300, 'Q'));
  std::mt19937 rng(5);
  for (int i = 0; i < 500; ++i) {
    std::string text(rng() % 12, ' ');
    for (char& ch : text) ch = static_cast<char>(0x20 + rng() % 0x5F);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    for (const bool ascending : {true, false}) {
      Bytes from_utf8 = {0xAA};  // the key is appended after what `out` holds
      AppendGeneralTextKey(std::string_view(text), ascending, from_utf8);
      Bytes from_utf16 = {0xAA};
      AppendGeneralTextKey(std::u16string_view(Utf8ToUtf16(text)), ascending, from_utf16);
      ASSERT_EQ(Hex(from_utf8), Hex(from_utf16)) << "\"" << text << "\" " << ascending;
    }
  }
}

TEST(CollationTest, OnlyTheFirst255CharactersCount) {
  std::string base(255, 'a');
  EXPECT_TRUE(TextEquals(base + "b", base + "c"));
  EXPECT_FALSE(TextEquals(base.substr(1) + "b", base.substr(1) + "c"));
  // Truncation comes first, then the trailing spaces of what is left go.
  EXPECT_TRUE(TextEquals(std::string(250, 'a') + "     x", std::string(250, 'a')));
  std::u16string long_text(400, u'z');
  EXPECT_EQ(GeneralSortKey(Utf16ToUtf8(long_text)).size(), 255u + 2);
  // The limit counts UTF-16 code units, not UTF-8 bytes.
  std::string accented;
  for (int i = 0; i < 255; ++i) accented += "\xC3\xA9";  // é
  EXPECT_TRUE(TextEquals(accented + "x", accented + "y"));
}

TEST(CollationTest, OrdersDigitsBeforeLettersAndPrefixesFirst) {
  EXPECT_LT(CompareText("9", "a"), 0);
  EXPECT_LT(CompareText("a", "ab"), 0);
  EXPECT_LT(CompareText("ab", "b"), 0);
  EXPECT_LT(CompareText("", "a"), 0);
  EXPECT_GT(CompareText("b", "ABC"), 0);
}

TEST(CollationTest, UnprintablesBreakTiesOnlyAfterTheInlineCodes) {
  // "O'Brien" and "OBrien" share their inline codes; the apostrophe makes the first larger.
  EXPECT_GT(CompareText("O'Brien", "OBrien"), 0);
  EXPECT_LT(CompareText("O'Brien", "OBriez"), 0);
  // Earlier unprintables sort first.
  EXPECT_LT(CompareText("a-b", "ab-"), 0);
  EXPECT_FALSE(TextEquals("a-b", "a'b"));
  EXPECT_EQ(Key(u"a-b-"), "7F 4A 4C 01 01 01 01 80 0B 06 82 80 0F 06 82 00");
}

TEST(CollationTest, AccentsGoToTheExtraCodes) {
  // é: inline as e, extra 0x0E.
  EXPECT_EQ(Key(u"\u00E9"), "7F 51 01 0E 00");
  // Characters before an accented one get 0x02 placeholders; trailing ones none.
  EXPECT_EQ(Key(u"a\u00E9b"), "7F 4A 51 4C 01 02 0E 00");
  EXPECT_LT(CompareText("e", "\xC3\xA9"), 0);
  EXPECT_FALSE(TextEquals("e", "\xC3\xA9"));
  EXPECT_TRUE(TextEquals("\xC3\xA9", "\xC3\x89"));  // é, É
  // The primary letters decide before the accent does.
  EXPECT_LT(CompareText("\xC3\xA9"
                        "a",
                        "eb"),
            0);
  // A combining acute accent (a modifier) adds itself to e's extra code: the same key as é.
  EXPECT_EQ(Key(u"e\u0301"), Key(u"\u00E9"));
  // Two extra bytes at once (the Æ-like ligature U+01FC).
  EXPECT_EQ(Key(u"\u01FC"), "7F 4A 51 01 0E 0E 00");
}

TEST(CollationTest, UnprintablePositionsCountExtraCodeBytes) {
  EXPECT_EQ(Key(u"\u00E9-"), "7F 51 01 0E 01 01 01 80 0B 06 82 00");
  // The 0x02 placeholders not yet written count as well.
  EXPECT_EQ(Key(u"a\u00E9-"), "7F 4A 51 01 02 0E 01 01 01 80 0F 06 82 00");
}

TEST(CollationTest, KanaVariantsGetCrazyCodes) {
  // あ (crazy code 3, trimmed away) and its small form ぁ (code 2) share inline codes.
  EXPECT_EQ(Key(u"\u3042"), "7F 7F 02 01 01 01 FF 02 80 FF 80 00");
  EXPECT_EQ(Key(u"\u3041"), "7F 7F 02 01 01 01 A0 FF 02 80 FF 80 00");
  // ガ has an extra code as well.
  EXPECT_EQ(Key(u"\u30AC"), "7F 7F 0A 01 03 01 01 FF 02 80 FF 80 00");
  // Crazy codes then unprintables: an extra 0xFF before the unprintable section.
  EXPECT_EQ(Key(u"\u3041-"), "7F 7F 02 01 01 01 A0 FF 02 80 FF 80 FF 01 80 0B 06 82 00");
  // Three codes pack into one byte.
  EXPECT_EQ(Key(u"\u3041\u3041\u3041\u3041").substr(0, 41),
            "7F 7F 02 7F 02 7F 02 7F 02 01 01 01 AA A0");
}

TEST(CollationTest, SurrogatePairsGetComputedCodes) {
  // U+1F600 = D83D DE00.
  EXPECT_EQ(Key(u"\U0001F600"), "7F B0 3F B6 FC 01 3F 3F 00");
  EXPECT_LT(CompareText("a", "\xF0\x9F\x98\x80"), 0);
  EXPECT_FALSE(TextEquals("\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81"));
}

TEST(CollationTest, IgnoredCharactersVanish) {
  EXPECT_EQ(Key(u"a\uFEFFb"), Key(u"ab"));
  EXPECT_EQ(Key(std::u16string(u"a\0b", 3)), Key(u"ab"));
  EXPECT_TRUE(TextEquals(std::string("a\0b", 3), "ab"));
}

TEST(CollationTest, FastComparisonAgreesWithTheKeys) {
  // Random texts over characters of every kind the quick ASCII path handles, plus a few it
  // hands over to the full keys.
  const std::u16string alphabet = u"aAbB zZ09-'_\t\x01\x7F\u00E9\u3041";
  std::mt19937 rng(1234);
  auto random_text = [&](bool ascii_only) {
    std::u16string s;
    size_t n = rng() % 8;
    size_t limit = ascii_only ? alphabet.size() - 2 : alphabet.size();
    for (size_t i = 0; i < n; ++i) s += alphabet[rng() % limit];
    return Utf16ToUtf8(s);
  };
  for (int i = 0; i < 20000; ++i) {
    bool ascii_only = i % 4 != 0;
    std::string a = random_text(ascii_only), b = random_text(ascii_only);
    ASSERT_EQ(Sign(CompareText(a, b)), KeyOrder(a, b)) << "'" << a << "' vs '" << b << "'";
    ASSERT_EQ(TextEquals(a, b), KeyOrder(a, b) == 0);
  }
  // Long texts around the 255 limit.
  std::string long_a(260, 'x'), long_b(260, 'x');
  long_a[256] = '-';
  EXPECT_EQ(CompareText(long_a, long_b), 0);
  long_a[250] = '-';
  EXPECT_EQ(Sign(CompareText(long_a, long_b)), KeyOrder(long_a, long_b));
}

// Every code unit of the measured data files, one character at a time, against the key the
// file's line implies: catches a generated table that has drifted from the data.
TEST(CollationTest, GeneratedTableMatchesTheDataFiles) {
  const std::string dir = std::string(QB_SHARED_DIR) + "/collation/";
  std::ifstream base(dir + "index_codes_genleg.txt"), ext(dir + "index_codes_ext_genleg.txt");
  if (!base || !ext) GTEST_SKIP() << "collation data files not available in " << dir;
  auto field = [](const std::string& hex) {
    std::string padded = hex.size() % 2 ? "0" + hex : hex, out;
    for (size_t i = 0; i < padded.size(); i += 2) out += " " + padded.substr(i, 2);
    return out;
  };
  int checked = 0;
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    std::string line;
    ASSERT_TRUE(std::getline(unit < 0x100 ? base : ext, line)) << std::hex << unit;
    std::vector<std::string> f;
    std::stringstream fields(line.substr(1));
    for (std::string part; std::getline(fields, part, ',');) f.push_back(part);
    if (!line.empty() && line.back() == ',') f.push_back("");
    if (unit == u' ') continue;  // a lone space is a trailing one, dropped
    std::string want = "7F";
    switch (line[0]) {
      case 'X':
        want += " 01 00";
        break;
      case 'S':
        want += field(f[0]) + " 01 00";
        break;
      case 'I':
        want += field(f[0]) + " 01" + field(f[1]) + " 00";
        break;
      case 'U':
        want += " 01 01 01 01 80 07 06" + field(f[0]) + " 00";
        break;
      case 'P':
        // A modifier with nothing before it stands alone, trimmed when 2 or less.
        want += " 01" + (std::stoi(f[0], nullptr, 16) > 2 ? field(f[0]) : "") + " 00";
        break;
      case 'Z':
        want += field(f[0]) + " 01" + (f[1].empty() ? "" : field(f[1])) + " 01 01" +
                (f.size() > 2 && f[2] == "1" ? " A0" : "") + " FF 02 80 FF 80 00";
        break;
      default:
        FAIL() << line;
    }
    for (char& c : want) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(Key(std::u16string(1, static_cast<char16_t>(unit))), want)
        << std::hex << "unit " << unit << " line " << line;
    ++checked;
  }
  EXPECT_EQ(checked, 0x10000 - 0x800 - 1);
}

TEST(CollationTest, RecognisesTheGeneralSortOrder) {
  EXPECT_TRUE(IsGeneralSortOrder(1033, 0));
  EXPECT_TRUE(IsGeneralSortOrder(0, 0));
  EXPECT_FALSE(IsGeneralSortOrder(1033, 1));
  EXPECT_FALSE(IsGeneralSortOrder(1031, 0));
}

}  // namespace
}  // namespace jet
