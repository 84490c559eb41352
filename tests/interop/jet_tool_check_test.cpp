// jet-tool check as a user runs it: what Access itself leaves in its files is a note and exits
// 0, a fault exits 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "interop/run_program.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace interop {
namespace {

ProgramResult Check(const std::string& file) {
  return RunProgram({(std::filesystem::path(QB_TOOLS_DIR) / "jet-tool").string(), "check", file});
}

void WriteFile(const std::string& path, const jet::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(JetToolCheckTest, NotesExitWithZeroAndProblemsWithOne) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  jet::Bytes image =
      testing_support::ReadFileBytes(testing_support::AccessMadeFile("indexTestV2000.mdb"));
  uint32_t tdef_page = 0, rows = 0, data_page = 0;
  {
    auto db = jet::Database::Open(std::make_unique<jet::PageFile>("copy.mdb", image));
    const jet::Table table = db->OpenTable("Table1");
    tdef_page = table.def().page;
    rows = table.def().row_count;
    data_page = table.DataPages().at(0);
  }
  const std::string path = testing_support::TempDir() + "/check.mdb";
  const auto page = [&](uint32_t n) { return image.data() + size_t{n} * jet::kPageSize; };

  // A stale row count, as Access leaves them.
  jet::PutU32(page(tdef_page) + 16, rows + 1);
  WriteFile(path, image);
  ProgramResult result = Check(path);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "note: table 'Table1': its definition counts " +
                               std::to_string(rows + 1) + " rows, the table holds " +
                               std::to_string(rows) +
                               " (a stale count, as Access leaves them)\nok\n");

  // A page holding rows marked free in the global map: Access would hand it out again.
  const jet::RowSlot slot = jet::ReadSlot(page(1), 1, 0);
  const uint32_t bit = data_page - jet::U32(slot.bytes.data() + 1);
  page(1)[static_cast<size_t>(slot.bytes.data() - page(1)) + 5 + bit / 8] |=
      static_cast<uint8_t>(1u << (bit % 8));
  WriteFile(path, image);
  result = Check(path);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.output.find("note: table 'Table1'"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("marked free in the global map"), std::string::npos)
      << result.output;
  EXPECT_EQ(result.output.find("ok\n"), std::string::npos) << result.output;
}

}  // namespace
}  // namespace interop
