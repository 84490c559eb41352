// LIKE patterns: Jet's wildcards, character sets and ranges, case folding through the collation,
// and refusal of patterns that cannot be read.
#include "db/sql_like.h"

#include <gtest/gtest.h>

#include "jet/error.h"

namespace db {
namespace {

struct Case {
  const char* pattern;
  const char* text;
  bool matches;
};

const Case kCases[] = {
    {"Velmo*", "Velmo Instruments", true},
    {"Velmo*", "velmo", true},  // case-insensitive, * matches nothing too
    {"Velmo*", "The Velmo Co", false},
    {"*Ltd", "Acme Ltd", true},
    {"*Ltd", "Acme Ltd.", false},
    {"*me*", "Acme Ltd", true},
    {"Velmo?????", "Velmo Corp", true},
    {"Velmo?????", "Velmo Grp", false},
    {"?", "", false},
    {"*", "", true},
    {"", "", true},
    {"", "a", false},
    {"a*b*c", "aXXbYYc", true},
    {"a*b*c", "aXXcYYb", false},
    {"a**c", "abc", true},
    {"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    {"T-###", "T-042", true},
    {"T-###", "T-04x", false},
    {"[abc]x", "Bx", true},  // a set folds case like every comparison
    {"[abc]x", "dx", false},
    {"[a-f]1", "E1", true},
    {"[a-f]1", "g1", false},
    {"[!a-z]*", "1abc", true},
    {"[!a-z]*", "Zed", false},
    {"[0-9A-C]", "b", true},
    {"[*]*", "*star", true},
    {"[*]*", "star", false},
    {"[?]", "?", true},
    {"[?]", "x", false},
    {"[#]1", "#1", true},
    {"[#]1", "11", false},
    {"[[]x]", "[x]", true},
    {"a]b", "a]b", true},
    {"[-a]", "-", true},
    {"[a-]", "-", true},
    {"[!]", "x", true},
    {"a[]b", "ab", true},
    {"CAFÉ", "café", true},
    {"caf?", "café", true},
    {"O'Br*", "o'brien", true},
};

TEST(SqlLike, WildcardsSetsRangesAndCase) {
  for (const Case& c : kCases) {
    EXPECT_EQ(LikePattern(c.pattern).Matches(c.text), c.matches)
        << "'" << c.text << "' LIKE '" << c.pattern << "'";
  }
}

TEST(SqlLike, UnreadablePatternsAreRefused) {
  for (const char* p : {"[abc", "x[!", "[z-a]"}) {
    try {
      LikePattern pattern(p);
      ADD_FAILURE() << "accepted " << p;
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.number(), 3075) << p;
    }
  }
}

}  // namespace
}  // namespace db
