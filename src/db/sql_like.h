// Jet's LIKE patterns: * any run of characters, ? one character, # one digit, [abc] one of the
// listed characters, [a-z] one in a range, [!...] one not listed; [*], [?], [#] and [[] stand
// for the character itself. Letters match as the text collation compares them, so the match
// ignores case like every other text comparison in a query.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace db {

class LikePattern {
 public:
  // Throws 3075 ("Invalid pattern string") for an unclosed [ or a range that runs backwards.
  explicit LikePattern(std::string_view pattern);

  bool Matches(std::string_view text) const;
  const std::string& text() const { return text_; }

 private:
  enum class Kind { kAnyRun, kOne, kDigit, kChar, kSet, kNothing };
  struct Range {
    char16_t low;
    char16_t high;
  };
  struct Element {
    explicit Element(Kind k) : kind(k) {}
    Kind kind;
    char16_t ch = 0;
    std::vector<Range> ranges;  // kSet
    bool negated = false;       // kSet
  };

  bool MatchesAt(const Element& e, char16_t c) const;

  std::string text_;
  std::vector<Element> elements_;
};

}  // namespace db
