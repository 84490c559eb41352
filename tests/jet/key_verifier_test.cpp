// The writer compares the stored text keys of a file it did not make with its own before it
// adds to an index, and refuses to write to an index whose keys it would build differently.
#include "jet/key_verifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"

namespace jet {
namespace {

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A file of customers whose names are indexed, with one row's stored text changed behind the
// index's back from `written` to `stored` (same length, one byte a character): the index then
// holds a key for that row that is not the one we build for it, as where Access follows a rule
// we do not know. Texts of two characters or fewer are stored as plain UCS-2 (`two_byte`).
std::string FileWithForeignKey(const std::string& written, const std::string& stored,
                               bool two_byte = false) {
  const std::string path = testing_support::TempDir() + "/foreign_key.mdb";
  std::filesystem::remove(path);
  CreateDatabase(path);
  {
    auto db = Database::Open(path, OpenMode::kReadWrite);
    TableDesign t{"Customers", {{"ID", ColumnType::kLong}, {"Name", ColumnType::kText, 60}}, {}};
    t.columns[0].autonumber = true;
    t.indexes = {{"", {{"ID"}}, true}, {"ByName", {{"Name"}}}};
    CreateTable(*db, t);
    TableWriter w(*db, "Customers");
    w.Insert({Value(), "Acme Ltd"});
    w.Insert({Value(), written});
    w.Insert({Value(),
              "Zeta Stra\xC3\x9F"
              "e"});
  }
  std::vector<uint8_t> bytes = testing_support::ReadFileBytes(path);
  const auto latin1 = [two_byte](const std::string& utf8) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      out.push_back(c == 0xC3 ? static_cast<uint8_t>(static_cast<unsigned char>(utf8[++i]) + 0x40)
                              : c);
      if (two_byte) out.push_back(0);
    }
    return out;
  };
  const std::vector<uint8_t> from = latin1(written), to = latin1(stored);
  auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
  if (at == bytes.end()) throw std::runtime_error("text not found in the file");
  std::copy(to.begin(), to.end(), at);
  WriteFileBytes(path, bytes);
  return path;
}

TEST(KeyVerifierTest, AccessMadeKeysAreAllOurs) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t indexes = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    for (const CatalogEntry& e : db->catalog()) {
      if (e.type != kObjectTypeTable) continue;
      const TableDef& def = db->TableDefAt(e.tdef_page());
      for (const std::optional<KeyMismatch>& mismatch : FindKeyMismatches(db->file(), def)) {
        EXPECT_FALSE(mismatch.has_value()) << e.name << ": " << mismatch->text;
        ++indexes;
      }
    }
  }
  EXPECT_GT(indexes, 50u);
}

TEST(KeyVerifierTest, AnIndexWithAKeyWeWouldBuildDifferentlyIsNotWrittenTo) {
  const std::string path = FileWithForeignKey("M\xC3\xBCller", "M\xC3\xB6ller");
  {
    auto db = Database::Open(path);
    const TableDef& def = db->TableDefAt(db->FindTable("Customers")->tdef_page());
    const std::vector<std::optional<KeyMismatch>> mismatches = FindKeyMismatches(db->file(), def);
    for (size_t i = 0; i < def.real_indexes.size(); ++i) {
      const std::optional<KeyMismatch>& mismatch = mismatches[i];
      const bool by_name = def.real_indexes[i].columns[0].column_number == 1;
      ASSERT_EQ(mismatch.has_value(), by_name);
      if (by_name) {
        EXPECT_EQ(mismatch->text, "M\xC3\xB6ller");
      }
    }
  }
  // The same in plain UCS-2, which the scan reads apart from the compressed form.
  {
    const std::string short_path = FileWithForeignKey("M\xC3\xBC", "M\xC3\xB6", true);
    auto db = Database::Open(short_path);
    const TableDef& def = db->TableDefAt(db->FindTable("Customers")->tdef_page());
    const std::vector<std::optional<KeyMismatch>> mismatches = FindKeyMismatches(db->file(), def);
    for (size_t i = 0; i < def.real_indexes.size(); ++i) {
      const bool by_name = def.real_indexes[i].columns[0].column_number == 1;
      ASSERT_EQ(mismatches[i].has_value(), by_name);
      if (by_name) {
        EXPECT_EQ(mismatches[i]->text, "M\xC3\xB6");
      }
    }
  }
  const std::vector<uint8_t> before = testing_support::ReadFileBytes(path);
  auto db = Database::Open(path, OpenMode::kReadWrite);
  TableWriter w(*db, "Customers");
  for (int attempt = 0; attempt < 2; ++attempt) {  // the second answer is the remembered one
    try {
      w.Insert({Value(), "Bolt"});
      FAIL() << "the insert adds an entry to ByName";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrUnsupported);
      const std::string message = e.description();
      EXPECT_NE(message.find("'ByName'"), std::string::npos) << message;
      EXPECT_NE(message.find("'Customers'"), std::string::npos) << message;
      EXPECT_NE(message.find("'M\xC3\xB6ller'"), std::string::npos) << message;
    }
  }
  db.reset();
  EXPECT_EQ(testing_support::ReadFileBytes(path), before);

  // Another writer of the same database meets the same verdict; an update that leaves the
  // name alone adds nothing to ByName and is written.
  db = Database::Open(path, OpenMode::kReadWrite);
  Table table = db->OpenTable("Customers");
  RowLocator first{};
  std::vector<Value> row;
  for (Table::Cursor c = table.Scan(); c.Next();) {
    if (c.values()[1] == Value("Acme Ltd")) {
      first = c.locator();
      row = c.values();
    }
  }
  TableWriter other(*db, "Customers");
  std::vector<Value> renamed = row;
  renamed[1] = "Acme Limited";
  EXPECT_THROW(other.Update(first, renamed), Error);
  other.Update(first, row);  // the same values: no index changes
}

TEST(KeyVerifierTest, PlainAsciiTextAndTablesMadeInTheSessionAreNotCompared) {
  // A changed ASCII text is not compared: such texts have keys we know.
  const std::string path = FileWithForeignKey("Miller", "Mallar");
  {
    auto db = Database::Open(path, OpenMode::kReadWrite);
    TableWriter(*db, "Customers").Insert({Value(), "Bolt"});
  }
  // A table made in this session is written without comparing, even where a text's key is
  // not ours (made so here by changing the text under the index).
  const std::string other = FileWithForeignKey("M\xC3\xBCller", "M\xC3\xB6ller");
  auto db = Database::Open(other, OpenMode::kReadWrite);
  TableDesign t{"Fresh", {{"Name", ColumnType::kText, 20}}, {{"ByName", {{"Name"}}}}};
  CreateTable(*db, t);
  TableWriter fresh(*db, "Fresh");
  fresh.Insert({"K\xC3\xB6ln"});
  fresh.Insert({"D\xC3\xBCsseldorf"});
  EXPECT_THROW(TableWriter(*db, "Customers").Insert({Value(), "Bolt"}), Error);
}

}  // namespace
}  // namespace jet
