// Parsed SELECT statements kept between parses, by their text with its quoted text constants
// taken out: the tasks open one statement per instrument or certificate, alike but for the
// quoted id, and each shape is parsed once. A kept statement is handed out as a copy holding
// the constants of the text asked for, which is what parsing that text gives: a quoted text
// only ever becomes a constant of its own, whatever it holds, and the tokens around it are
// the same.
//
// A text that fails to parse is never kept, so its error is raised afresh each time; nor is
// one whose constants the parse did not return one for one, in order (a check made once per
// shape, when it is kept).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/sql_parser.h"

namespace db {

class StatementCache {
 public:
  // ParseSelect(sql), or what it would give.
  SelectStatement Parse(std::string_view sql);

  // Statements kept, and texts answered from them: lets tests see the cache at work.
  size_t kept() const { return kept_.size(); }
  size_t hits() const { return hits_; }

 private:
  static constexpr size_t kLimit = 256;  // generated texts cannot grow it for ever

  struct Constant {
    size_t begin = 0;  // the opening quote, in the text
    std::string value;
  };
  struct Kept {
    SelectStatement statement;
    size_t constants = 0;
    size_t where_begin = 0;  // in the text, as in every text of its shape
  };

  // Splits `sql` into shape_ and constants_; false for a text the shape cannot stand for.
  bool Shape(std::string_view sql);
  SelectStatement FromKept(const Kept& kept, std::string_view sql) const;
  void Keep(const SelectStatement& statement, std::string_view sql);

  std::unordered_map<std::string, Kept> kept_;
  size_t hits_ = 0;
  // Of the text being parsed, kept to reuse their memory.
  std::string shape_;
  std::vector<Constant> constants_;
  size_t constant_count_ = 0;
  size_t statement_end_ = 0;  // the first semicolon, or the text's end
};

}  // namespace db
