// Reads CSV as the tools under test write it (RFC 4180, with line breaks inside quoted
// fields), keeping whether each field was quoted: that is how Null and empty text differ.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace interop {

struct CsvCell {
  std::string text;
  bool quoted = false;
};
using CsvRow = std::vector<CsvCell>;

struct CsvDocument {
  std::vector<CsvRow> rows;
  // How records ended: counts of "\r\n" and of bare "\n" outside quotes.
  size_t crlf_line_ends = 0;
  size_t lf_line_ends = 0;
};

// Throws std::runtime_error on an unterminated quote or text after a closing quote.
CsvDocument ParseCsv(std::string_view text);

}  // namespace interop
