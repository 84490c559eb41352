// The laboratory's folders and customers carry names outside ASCII ("Jörg", Greek, Cyrillic).
// The built quorbase must make, rebuild and export a laboratory in such a folder and find such a
// customer as given on its command line. On Windows this holds only where paths reach the
// system as UTF-16 and the command line is read wide.
#include <gtest/gtest.h>

#include <filesystem>

#include "db/schema.h"
#include "demo/demo_folder.h"
#include "demo/demo_laboratory.h"
#include "interop/run_program.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/native_path.h"
#include "support/fixtures.h"

namespace rebuild {
namespace {

namespace fs = std::filesystem;

// The tools write their logs in the current folder: run them from the test's own folder.
interop::ProgramResult Quorbase(const std::string& folder, std::vector<std::string> args) {
  args.insert(args.begin(), QB_QUORBASE);
  const fs::path before = fs::current_path();
  fs::current_path(jet::U8Path(folder));
  interop::ProgramResult result = interop::RunProgram(args);
  fs::current_path(before);
  return result;
}

size_t InstrumentsOf(const std::string& database, const std::string& customer) {
  auto db = jet::Database::Open(database);
  const jet::Table table = db->OpenTable(db::schema::kInstruments);
  size_t column = 0;
  while (table.columns()[column].name != db::schema::kCustName) ++column;
  size_t count = 0;
  for (auto cursor = table.Scan(); cursor.Next();) {
    const jet::Value& name = cursor.values()[column];
    count += name.Is<std::string>() && name.As<std::string>() == customer;
  }
  return count;
}

TEST(QuorbaseFolderNamesTest, DemoRebuildAndExportWorkInFoldersNamedOutsideAscii) {
  const std::string customer = "Müller & Söhne GmbH";
  for (const std::string name : {"Jörg", "Ηλίας Ωμέγα", "Завод"}) {
    SCOPED_TRACE(name);
    const std::string work = testing_support::TempDir();
    const std::string lab = work + "/" + name;
    const demo::DemoFolderPaths paths = demo::DemoPaths(lab);
    const interop::ProgramResult made =
        Quorbase(work, {"demo", lab, "--instruments",
                        std::to_string(demo::kInstrumentsForEveryCase), "--seed", "3"});
    ASSERT_EQ(made.exit_code, 0) << made.output;
    ASSERT_TRUE(fs::is_regular_file(jet::U8Path(paths.main_database)));
    const size_t instruments = InstrumentsOf(paths.main_database, customer);
    ASSERT_GT(instruments, 0u);

    const std::string rebuilt = lab + "/Neu " + name + ".mdb";
    const interop::ProgramResult rebuild =
        Quorbase(work, {"rebuild", paths.results_folder, rebuilt});
    EXPECT_EQ(rebuild.exit_code, 0);
    EXPECT_EQ(rebuild.output,
              std::to_string(demo::kInstrumentsForEveryCase) + " instruments copied.\n");
    {
      auto db = jet::Database::Open(rebuilt);
      EXPECT_EQ(jet::CheckDatabase(*db), std::vector<std::string>{});
    }

    // The customer's name, as typed on the command line, finds the customer's instruments.
    const std::string on_site = lab + "/Vor Ort.mdb";
    const interop::ProgramResult exported =
        Quorbase(work, {"export", paths.results_folder, on_site, "--customer", customer});
    EXPECT_EQ(exported.exit_code, 0);
    EXPECT_NE(exported.output.find(customer + " : " + std::to_string(instruments) + " instruments"),
              std::string::npos)
        << exported.output;
    EXPECT_EQ(InstrumentsOf(on_site, customer), instruments);
  }
}

}  // namespace
}  // namespace rebuild
