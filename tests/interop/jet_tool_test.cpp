// The built jet-tool, run as a user runs it: its CSV must carry exactly the values our
// library reads, and its exit codes must tell bad arguments from failures.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "interop/csv_reader.h"
#include "interop/run_program.h"
#include "jet/database.h"
#include "jet/native_path.h"
#include "support/fixtures.h"

namespace interop {
namespace {

std::string JetTool() { return (std::filesystem::path(QB_TOOLS_DIR) / "jet-tool").string(); }

ProgramResult RunJetTool(std::vector<std::string> args) {
  args.insert(args.begin(), JetTool());
  return RunProgram(args);
}

int64_t ParseInt(const std::string& text) {
  int64_t v = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  EXPECT_TRUE(res.ec == std::errc() && res.ptr == text.data() + text.size()) << text;
  return v;
}

// "12.5" -> 125000: currency text back to the stored ten-thousandths.
int64_t ParseCurrency(const std::string& text) {
  const size_t point = text.find('.');
  std::string digits = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  EXPECT_LE(fraction.size(), 4u) << text;
  fraction.resize(4, '0');
  const bool negative = !digits.empty() && digits[0] == '-';
  const int64_t whole = ParseInt(digits);
  const int64_t frac = ParseInt(fraction);
  return whole * 10000 + (negative ? -frac : frac);
}

jet::Bytes ParseUpperHex(const std::string& text) {
  jet::Bytes out;
  EXPECT_EQ(text.size() % 2, 0u);
  auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    ADD_FAILURE() << "not an upper-case hex digit: " << c;
    return 0;
  };
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
  }
  return out;
}

// One CSV field against the value our library read. Numbers and bytes are read back from
// the text, so a lossy or misquoted field fails even where the text looks plausible.
void ExpectFieldHolds(const CsvCell& field, const jet::Value& value) {
  if (value.IsNull()) {
    EXPECT_TRUE(field.text.empty() && !field.quoted) << "Null must be an empty bare field";
  } else if (value.Is<std::string>()) {
    EXPECT_TRUE(field.quoted) << "text must be quoted";
    EXPECT_EQ(field.text, value.As<std::string>());
  } else if (value.Is<jet::Bytes>() && value.As<jet::Bytes>().empty()) {
    EXPECT_TRUE(field.quoted && field.text.empty()) << "zero bytes must not read as Null";
  } else {
    EXPECT_FALSE(field.quoted) << "only text is quoted: " << field.text;
    if (value.Is<bool>()) {
      EXPECT_EQ(field.text, value.As<bool>() ? "1" : "0");
    } else if (value.Is<uint8_t>()) {
      EXPECT_EQ(ParseInt(field.text), value.As<uint8_t>());
    } else if (value.Is<int16_t>()) {
      EXPECT_EQ(ParseInt(field.text), value.As<int16_t>());
    } else if (value.Is<int32_t>()) {
      EXPECT_EQ(ParseInt(field.text), value.As<int32_t>());
    } else if (value.Is<double>()) {
      double d = 0;
      std::from_chars(field.text.data(), field.text.data() + field.text.size(), d);
      EXPECT_EQ(d, value.As<double>()) << field.text << " does not read back";
    } else if (value.Is<float>()) {
      float f = 0;
      std::from_chars(field.text.data(), field.text.data() + field.text.size(), f);
      EXPECT_EQ(f, value.As<float>()) << field.text << " does not read back";
    } else if (value.Is<jet::Currency>()) {
      EXPECT_EQ(ParseCurrency(field.text), value.As<jet::Currency>().scaled) << field.text;
    } else if (value.Is<jet::Bytes>()) {
      EXPECT_EQ(ParseUpperHex(field.text), value.As<jet::Bytes>());
    } else if (value.Is<jet::DateTime>()) {
      EXPECT_EQ(field.text, jet::DateTimeToString(value.As<jet::DateTime>()));
    } else if (value.Is<jet::Guid>()) {
      EXPECT_EQ(field.text, jet::GuidToString(value.As<jet::Guid>()));
    } else if (value.Is<jet::Decimal>()) {
      EXPECT_EQ(field.text, jet::DecimalToString(value.As<jet::Decimal>()));
    }
  }
}

// Tables that between them hold every type the fixtures have, memos with quotes and line
// breaks, a multi-page OLE value and Nulls.
TEST(JetToolTest, ExportWritesTheRowsOurLibraryReads) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::vector<std::pair<std::string, std::string>> tables = {
      {"testV2000.mdb", "Table1"},
      {"test2V2000.mdb", "MSP_PROJECTS"},
      {"testUnicodeCompV2003.mdb", "Table"},
      {"fixedNumericTestV2000.mdb", "test"},
      {"testIndexPropertiesV2000.mdb", "TableIgnoreNulls2"},
  };
  for (const auto& [file_name, table_name] : tables) {
    SCOPED_TRACE(file_name + " " + table_name);
    const std::string file = testing_support::AccessMadeFile(file_name);
    const ProgramResult run = RunJetTool({"export", file, table_name});
    ASSERT_EQ(run.exit_code, 0);
    const CsvDocument csv = ParseCsv(run.output);
    EXPECT_EQ(csv.lf_line_ends, 0u) << "every record must end in CR LF";
    EXPECT_EQ(csv.crlf_line_ends, csv.rows.size());

    auto db = jet::Database::Open(file);
    const jet::Table table = db->OpenTable(table_name);
    ASSERT_FALSE(csv.rows.empty());
    ASSERT_EQ(csv.rows[0].size(), table.columns().size());
    for (size_t i = 0; i < table.columns().size(); ++i) {
      EXPECT_EQ(csv.rows[0][i].text, table.columns()[i].name);
    }
    size_t line = 1;
    jet::Table::Cursor cursor = table.Scan();
    while (cursor.Next()) {
      ASSERT_LT(line, csv.rows.size()) << "the CSV has fewer rows than the table";
      const CsvRow& fields = csv.rows[line];
      ASSERT_EQ(fields.size(), cursor.values().size()) << "line " << line;
      for (size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(line) + " column " + table.columns()[i].name);
        ExpectFieldHolds(fields[i], cursor.values()[i]);
      }
      ++line;
    }
    EXPECT_EQ(line, csv.rows.size()) << "the CSV has more rows than the table";
  }
}

TEST(JetToolTest, TablesListsTheUserTables) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string file = testing_support::AccessMadeFile("indexTestV2000.mdb");
  const ProgramResult run = RunJetTool({"tables", file});
  ASSERT_EQ(run.exit_code, 0);
  std::string expected;
  for (const std::string& name : jet::Database::Open(file)->TableNames()) expected += name + "\n";
  EXPECT_EQ(run.output, expected);
}

TEST(JetToolTest, SchemaNamesEveryColumnAndIndex) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string file = testing_support::AccessMadeFile("indexTestV2000.mdb");
  auto db = jet::Database::Open(file);
  for (const std::string& table_name : db->TableNames()) {
    SCOPED_TRACE(table_name);
    const ProgramResult run = RunJetTool({"schema", file, table_name});
    ASSERT_EQ(run.exit_code, 0);
    const jet::Table table = db->OpenTable(table_name);
    for (const auto& column : table.columns()) {
      EXPECT_NE(run.output.find(column.name), std::string::npos) << column.name;
    }
    for (const auto& index : table.def().indexes) {
      EXPECT_NE(run.output.find(index.name), std::string::npos) << index.name;
      if (index.type == jet::LogicalIndexType::kPrimaryKey) {
        EXPECT_NE(run.output.find("primary"), std::string::npos);
      }
    }
  }
}

TEST(JetToolTest, BadArgumentsExitWithTwoAndEngineErrorsWithOne) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string file = testing_support::AccessMadeFile("testV2000.mdb");
  EXPECT_EQ(RunJetTool({}).exit_code, 2);
  EXPECT_EQ(RunJetTool({"no-such-command"}).exit_code, 2);
  EXPECT_EQ(RunJetTool({"export", file}).exit_code, 2);
  EXPECT_EQ(RunJetTool({"export", file, "Table1", "extra"}).exit_code, 2);
  EXPECT_EQ(RunJetTool({"tables"}).exit_code, 2);
  EXPECT_EQ(RunJetTool({"schema", file}).exit_code, 2);

  const std::string missing = testing_support::TempDir() + "/missing.mdb";
  EXPECT_EQ(RunJetTool({"export", missing, "Table1"}).exit_code, 1);
  EXPECT_EQ(RunJetTool({"tables", missing}).exit_code, 1);
  EXPECT_EQ(RunJetTool({"export", file, "NoSuchTable"}).exit_code, 1);
  EXPECT_EQ(RunJetTool({"schema", file, "NoSuchTable"}).exit_code, 1);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(jet::U8Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A laboratory's database in a folder named outside ASCII: create makes a new file there and
// never replaces one, whatever it holds.
TEST(JetToolTest, CreateNeverReplacesAnExistingFile) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string folder = testing_support::TempDir() + "/Jörg Ηλίας";
  std::filesystem::create_directories(jet::U8Path(folder));
  const std::string made = folder + "/neu.mdb";
  ASSERT_EQ(RunJetTool({"create", made}).exit_code, 0);
  EXPECT_EQ(RunJetTool({"check", made}).output, "ok\n");

  const std::string existing = folder + "/Ergebnisse.mdb";
  std::filesystem::copy_file(jet::U8Path(testing_support::AccessMadeFile("testV2000.mdb")),
                             jet::U8Path(existing));
  const std::string before = FileBytes(existing);
  ASSERT_FALSE(before.empty());
  for (const std::string& path : {existing, made}) {
    SCOPED_TRACE(path);
    const std::string bytes = FileBytes(path);
    EXPECT_EQ(RunJetTool({"create", path}).exit_code, 1);
    EXPECT_EQ(FileBytes(path), bytes);
  }
  EXPECT_EQ(RunJetTool({"tables", existing}).output, "Table1\nTable2\nTable3\nTable4\n");
}

}  // namespace
}  // namespace interop
