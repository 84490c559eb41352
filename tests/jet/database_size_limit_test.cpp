// A Jet 4 file may not grow past 2 GB: a write that would take it there is refused with 3036
// and leaves the file as it was, and the checker reports a file already past it. The limit is
// met through a lowered page limit, and at its real size through sparse files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/rollback_journal.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

// A database at `path` with the table Blobs (an autonumber and an OLE column).
void MakeDatabase(const std::string& path) {
  std::filesystem::remove(path);
  CreateDatabase(path);
  auto db = Database::Open(path, OpenMode::kReadWrite);
  ColumnDesign id{"ID", ColumnType::kLong};
  id.autonumber = true;
  CreateTable(*db, {"Blobs", {id, {"Data", ColumnType::kOle}}, {{"", {{"ID"}}, true}}});
}

std::vector<Value> BlobRow(size_t bytes) { return {Value(), Bytes(bytes, 0x5A)}; }

// Inserts rows whose values need new pages until the limit refuses one; returns its error.
Error FillUntilRefused(Database& db, int& inserted, Bytes* before_refusal) {
  TableWriter blobs(db, "Blobs");
  for (inserted = 0; inserted < 1000; ++inserted) {
    if (before_refusal != nullptr) *before_refusal = ReadFileBytes(db.path());
    try {
      blobs.Insert(BlobRow(6000));
    } catch (const Error& e) {
      return e;
    }
  }
  ADD_FAILURE() << "the limit never refused a write";
  return Error(0, "");
}

TEST(DatabaseSizeLimitTest, AWriteThatWouldPassTheLimitIsRefusedAndLeavesNoTrace) {
  const std::string path = TempDir() + "/limit.mdb";
  MakeDatabase(path);
  Bytes before;
  int inserted = 0;
  uint32_t limit = 0;
  {
    auto db = Database::Open(path, OpenMode::kReadWrite);
    limit = db->file().page_count() + 12;
    db->file().set_page_limit_for_testing(limit);
    const Error refused = FillUntilRefused(*db, inserted, &before);
    EXPECT_EQ(refused.number(), kErrDatabaseFull);
    EXPECT_NE(refused.description().find("Database has reached maximum size"), std::string::npos);
    EXPECT_NE(refused.description().find("2 GB"), std::string::npos) << refused.description();
    EXPECT_GT(inserted, 0);
    // Nothing of the refused row reached the file, and the engine goes on from the file as it
    // is: a row that needs no new page still goes in.
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_LE(db->file().page_count(), limit);
    EXPECT_EQ(db->OpenTable("Blobs").def().row_count, static_cast<uint32_t>(inserted));
    TableWriter(*db, "Blobs").Insert({Value(), Value()});
    EXPECT_EQ(Joined(CheckDatabase(*db)), "");
  }
  EXPECT_FALSE(std::filesystem::exists(RollbackJournalPath(path)));
  auto db = Database::Open(path);
  int rows = 0;
  for (auto cursor = db->OpenTable("Blobs").Scan(); cursor.Next();) ++rows;
  EXPECT_EQ(rows, inserted + 1);
  const CheckReport report = CheckDatabaseReport(*db);
  EXPECT_EQ(Joined(report.problems) + Joined(report.notes), "");
}

// At the real limit: a file grown (sparsely) to exactly 2 GB takes no new page; one page more
// and the checker reports the file.
TEST(DatabaseSizeLimitTest, AFileOfTwoGigabytesTakesNoNewPageAndOneLargerFailsTheCheck) {
  const std::string path = TempDir() + "/two-gigabytes.mdb";
  MakeDatabase(path);
  const Bytes made = ReadFileBytes(path);
  std::filesystem::resize_file(path, kMaxDatabaseBytes);
  {
    auto db = Database::Open(path, OpenMode::kReadWrite);
    int inserted = 0;
    EXPECT_EQ(FillUntilRefused(*db, inserted, nullptr).number(), kErrDatabaseFull);
    EXPECT_EQ(inserted, 0);
  }
  EXPECT_EQ(std::filesystem::file_size(path), kMaxDatabaseBytes);
  {
    std::ifstream in(path, std::ios::binary);
    Bytes head(made.size());
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, made);
  }

  std::filesystem::resize_file(path, kMaxDatabaseBytes + kPageSize);
  const std::vector<std::string> problems = CheckDatabase(*Database::Open(path));
  EXPECT_EQ(Joined(problems),
            "the file holds 2147487744 bytes, more than the 2147483648 (2 GB) a Jet 4 database "
            "may hold\n");
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace jet
