#include "db/sql_like.h"

#include "db/sql_errors.h"
#include "jet/collation.h"
#include "jet/text.h"

namespace db {
namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

std::string OneChar(char16_t c) { return jet::Utf16ToUtf8(std::u16string_view(&c, 1)); }

// Two characters are the same to LIKE when the collation gives them the same sort key. ASCII
// is decided here without building keys; the collation folds its letters and keeps every other
// ASCII character distinct.
bool SameChar(char16_t a, char16_t b) {
  if (a == b) return true;
  if (a < 0x80 && b < 0x80) return FoldAscii(a) == FoldAscii(b);
  const jet::Bytes ka = jet::GeneralSortKey(OneChar(a));
  return !ka.empty() && ka == jet::GeneralSortKey(OneChar(b));
}

int CompareChar(char16_t a, char16_t b) {
  if (SameChar(a, b)) return 0;
  return jet::CompareText(OneChar(a), OneChar(b));
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern) : text_(pattern) {
  const std::u16string p = jet::Utf8ToUtf16(pattern);
  size_t i = 0;
  while (i < p.size()) {
    const char16_t c = p[i];
    if (c == u'*') {
      // Runs of * are one *: it keeps the matcher linear in the number of stars.
      if (elements_.empty() || elements_.back().kind != Kind::kAnyRun) {
        elements_.push_back(Element(Kind::kAnyRun));
      }
      ++i;
    } else if (c == u'?') {
      elements_.push_back(Element(Kind::kOne));
      ++i;
    } else if (c == u'#') {
      elements_.push_back(Element(Kind::kDigit));
      ++i;
    } else if (c == u'[') {
      size_t j = i + 1;
      Element set{Kind::kSet};
      if (j < p.size() && p[j] == u'!') {
        set.negated = true;
        ++j;
      }
      const size_t first = j;
      bool closed = false;
      while (j < p.size()) {
        if (p[j] == u']') {
          closed = true;
          break;
        }
        const char16_t low = p[j];
        // A hyphen between two characters makes a range; first or last it is itself.
        if (j + 2 < p.size() && p[j + 1] == u'-' && p[j + 2] != u']') {
          const char16_t high = p[j + 2];
          if (CompareChar(low, high) > 0) ThrowSyntax(SyntaxFault::kPattern, text_);
          set.ranges.push_back({low, high});
          j += 3;
        } else {
          set.ranges.push_back({low, low});
          ++j;
        }
      }
      if (!closed) ThrowSyntax(SyntaxFault::kPattern, text_);
      // [] matches the empty text, [!] any one character.
      if (j == first && !set.negated) {
        elements_.push_back(Element(Kind::kNothing));
      } else {
        elements_.push_back(std::move(set));
      }
      i = j + 1;
    } else {
      Element e{Kind::kChar};
      e.ch = c;
      elements_.push_back(std::move(e));
      ++i;
    }
  }
}

bool LikePattern::MatchesAt(const Element& e, char16_t c) const {
  switch (e.kind) {
    case Kind::kOne:
      return true;
    case Kind::kDigit:
      return c >= u'0' && c <= u'9';
    case Kind::kChar:
      return SameChar(e.ch, c);
    case Kind::kSet: {
      bool in = false;
      for (const Range& r : e.ranges) {
        if (r.low == r.high ? SameChar(r.low, c)
                            : CompareChar(r.low, c) <= 0 && CompareChar(c, r.high) <= 0) {
          in = true;
          break;
        }
      }
      return in != e.negated;
    }
    default:
      return false;
  }
}

bool LikePattern::Matches(std::string_view utf8) const {
  const std::u16string s = jet::Utf8ToUtf16(utf8);
  // Greedy matching with backtracking to the last *: each * only ever moves forward, so the
  // work is bounded by pattern length times text length.
  size_t si = 0, pi = 0;
  size_t star_p = std::u16string::npos, star_s = 0;
  while (si < s.size() || pi < elements_.size()) {
    if (pi < elements_.size()) {
      const Element& e = elements_[pi];
      if (e.kind == Kind::kAnyRun) {
        star_p = pi++;
        star_s = si;
        continue;
      }
      if (e.kind == Kind::kNothing) {
        ++pi;
        continue;
      }
      if (si < s.size() && MatchesAt(e, s[si])) {
        ++pi;
        ++si;
        continue;
      }
    }
    if (star_p != std::u16string::npos && star_s < s.size()) {
      pi = star_p + 1;
      si = ++star_s;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace db
