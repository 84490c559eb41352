// A table as typed cells, read by our engine or by an independent reader, normalised so the
// readers' different ways of printing a value compare as the same value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/value.h"

namespace interop {

// The independent readers. Each prints values its own way, so our side is normalised for
// the reader it is compared with (see OurCell).
enum class Reader { kMdbExport, kMdbReader };

struct Cell {
  enum class Kind {
    kNull,
    kBool,
    kInteger,  // BYTE, INT, LONG
    kDecimal,  // MONEY, NUMERIC: exact decimal text, normalised
    kReal,     // FLOAT, DOUBLE
    kTime,     // DATETIME: milliseconds since 1970-01-01
    kText,     // TEXT, MEMO: UTF-8
    kHex,      // BINARY, OLE: upper-case hex
    kGuid,     // the 32 hex digits, upper case
    kUnsupported,
  };
  Kind kind = Kind::kNull;
  int64_t integer = 0;   // kBool, kInteger
  double real = 0;       // kReal, kTime
  double tolerance = 0;  // kReal, kTime: the difference a reader's rounded text explains
  std::string text;      // kDecimal, kText, kHex, kGuid, kUnsupported
  // kHex from mdb-export's BINARY columns: it stops printing at the first zero byte, so
  // this is a prefix of the value, cut just before a 00.
  bool cut_at_zero_byte = false;

  friend bool operator==(const Cell& a, const Cell& b);  // within the larger tolerance
};

// The cell as a short text for failure messages.
std::string Describe(const Cell& cell);

struct TypedTable {
  std::vector<std::string> column_names;
  std::vector<std::string> column_types;  // reader's own type names, where it gives them
  std::vector<std::vector<Cell>> rows;
};

// "1.500" -> "1.5", "-0.0000" -> "0", "007" -> "7".
std::string NormaliseDecimal(std::string text);

// Our value, in the form the given reader's output is normalised to.
Cell OurCell(const jet::Value& value, Reader reader);

// A table read by our engine, rows in scan order.
TypedTable ReadWithOurEngine(jet::Database& db, const std::string& table, Reader reader);

// A table read by mdb-export. Its CSV carries no types, so our column definitions say how to
// read each field (and the header line is checked against their names by the caller).
TypedTable ReadWithMdbExport(const std::string& file, const std::string& table,
                             const std::vector<jet::ColumnDef>& columns);

// A table read by npm mdb-reader through tests/interop/dump_table.mjs.
TypedTable ReadWithMdbReader(const std::string& file, const std::string& table);

// User table names as each reader lists them.
std::vector<std::string> TableNamesFromMdbTools(const std::string& file);
std::vector<std::string> TableNamesFromMdbReader(const std::string& file);

// mdb-reader's type name for one of our column types ("long", "repid", ...).
std::string MdbReaderTypeName(jet::ColumnType type);

// Types Access 2000 writes that both readers decode; neither reads the others (0x11 in
// MSysAccessObjects, say): mdb-export prints them as Null and mdb-reader refuses the table.
bool ReadersDecodeType(jet::ColumnType type);

// Compares the rows as multisets: the readers do not all return relocated rows in the same
// order. Returns one message per difference ("" entries never); empty when they agree.
std::vector<std::string> CompareRows(const TypedTable& ours, const TypedTable& theirs);

// Skips or fails the calling test when a reader is not installed (scripts/setup installs
// both): returns a message naming what is missing, or "".
std::string MissingReaders();

}  // namespace interop

// A test that reads through both readers needs them: on Linux their absence is a failure
// (scripts/setup installs them); the Windows build's tests skip, since there the readers run on
// the Linux side (scripts/test-windows).
#ifdef _WIN32
#define REQUIRE_INDEPENDENT_READERS()                                                         \
  do {                                                                                        \
    if (const std::string why = interop::MissingReaders(); !why.empty()) GTEST_SKIP() << why; \
  } while (0)
#else
#define REQUIRE_INDEPENDENT_READERS()                  \
  do {                                                 \
    const std::string why = interop::MissingReaders(); \
    ASSERT_TRUE(why.empty()) << why;                   \
  } while (0)
#endif

namespace interop {}  // namespace interop
