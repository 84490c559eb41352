#include "interop/csv_reader.h"

#include <stdexcept>

namespace interop {

CsvDocument ParseCsv(std::string_view text) {
  CsvDocument doc;
  CsvRow row;
  CsvCell cell;
  bool field_started = false;
  size_t i = 0;
  auto end_field = [&] {
    row.push_back(std::move(cell));
    cell = CsvCell();
    field_started = false;
  };
  auto end_record = [&] {
    end_field();
    doc.rows.push_back(std::move(row));
    row.clear();
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && !field_started) {
      cell.quoted = true;
      field_started = true;
      ++i;
      for (;;) {
        if (i >= text.size()) throw std::runtime_error("CSV: unterminated quoted field");
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            cell.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        cell.text += text[i++];
      }
      if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
        throw std::runtime_error("CSV: text after a closing quote at offset " + std::to_string(i));
      }
    } else if (c == ',') {
      end_field();
      ++i;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++doc.crlf_line_ends;
      end_record();
      i += 2;
    } else if (c == '\n') {
      ++doc.lf_line_ends;
      end_record();
      ++i;
    } else {
      if (cell.quoted) throw std::runtime_error("CSV: text after a closing quote");
      field_started = true;
      cell.text += c;
      ++i;
    }
  }
  // A last record without its line end still counts.
  if (field_started || !row.empty()) end_record();
  return doc;
}

}  // namespace interop
