// The three tasks (rebuild, on-site export of every tenth customer, import of that on-site file
// changed on site) at the default laboratory size and at one close to Jet's 2 GB limit: time
// per row at each size, so that growth faster than the rows shows, and each task's peak memory,
// which must not grow with the file. Not run by the tests: the large laboratory takes about
// 2 GB of disk for the main database and as much again for each task's copy.
//
//   scale_bench [--instruments N] [--small N] [--folder DIR] [--keep]
//
// --instruments is the large size (110,000 instruments, about 1.8 GB), --small the size it is
// compared with (20,000). Each laboratory is made in DIR/lab-<size> (kept with --keep or when
// DIR is given, for the next run) and each task runs in a child process of its own, so that
// its peak memory is its own.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "export/on_site_database.h"
#include "import/import_log.h"
#include "import/update_run.h"
#include "jet/database.h"
#include "lab_bench_support.h"
#include "onsite_changes.h"
#include "platform/launcher.h"
#include "rebuild/rebuild_database.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int large = 110000;
  int small = 20000;
  std::string folder;
  bool keep = false;
};

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--instruments" && i + 1 < argc) {
      options.large = std::atoi(argv[++i]);
    } else if (arg == "--small" && i + 1 < argc) {
      options.small = std::atoi(argv[++i]);
    } else if (arg == "--folder" && i + 1 < argc) {
      options.folder = argv[++i];
    } else if (arg == "--keep") {
      options.keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--instruments N] [--small N] [--folder DIR] [--keep]\n",
                   argv[0]);
      std::exit(2);
    }
  }
  if (options.small < 10 || options.large < 10) {
    std::fprintf(stderr, "sizes need at least 10 instruments\n");
    std::exit(2);
  }
  return options;
}

// Rows of the results tables, from their definitions' counts.
int64_t LabRows(const std::string& path) {
  auto db = jet::Database::Open(path);
  int64_t rows = 0;
  for (const char* table : {"Instruments", "Calibrations", "Results", "Additional Data"}) {
    rows += db->OpenTable(table).def().row_count;
  }
  return rows;
}

class NoLauncher : public platform::Launcher {
 public:
  bool BrowseFolder(std::string_view) override { return true; }
  bool EditTextFile(std::string_view) override { return true; }
};

// Prints one task's figures from inside its child process.
void Report(const char* task, const bench::Stopwatch& watch, int64_t rows) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double seconds = watch.Seconds();
  std::printf(
      "  %-8s %8.1f s wall %8.1f s processor  %9lld rows  %6.2f us/row wall  %6.2f us/row "
      "processor  peak %4.0f MB\n",
      task, seconds, watch.CpuSeconds(), static_cast<long long>(rows),
      1e6 * seconds / static_cast<double>(std::max<int64_t>(rows, 1)),
      1e6 * watch.CpuSeconds() / static_cast<double>(std::max<int64_t>(rows, 1)),
      static_cast<double>(usage.ru_maxrss) / 1024.0);
}

void RunSize(const Options& options, const std::string& base, int instruments) {
  bench::LabOptions lab_options;
  lab_options.instruments = instruments;
  lab_options.folder = base + "/lab-" + std::to_string(instruments);
  lab_options.sqlite = false;
  fs::create_directories(lab_options.folder);
  const bench::Lab lab = bench::MakeLab(lab_options);
  const fs::path folder = fs::absolute(lab.folder);
  const std::string rebuilt = (folder / "Rebuilt.mdb").string();
  const std::string onsite = (folder / "OnSite.mdb").string();
  const std::string import_main = (folder / "ImportMain.mdb").string();
  for (const std::string& path : {rebuilt, onsite, import_main}) fs::remove(path);
  const int64_t lab_rows = LabRows(lab.paths.main_database);
  std::printf("%d instruments: main database %.1f MB, %lld rows\n", instruments,
              static_cast<double>(fs::file_size(lab.paths.main_database)) / 1e6,
              static_cast<long long>(lab_rows));

  bench::InChild([&] {
    bench::SilentUi ui;
    rebuild::SeenList seen;
    rebuild::RebuildRequest request;
    request.results_folder = lab.paths.results_folder;
    request.main_database_path = lab.paths.main_database;
    request.target_path = rebuilt;
    request.log_path = (folder / "export_log.txt").string();
    bench::Stopwatch watch;
    // Under the skip rule a rebuild that cannot open a file still finishes: count its skips.
    const rebuild::RebuildOutcome outcome = rebuild::RebuildDatabase(request, ui.ui, seen);
    if (outcome.end != rebuild::RebuildEnd::kFinished || outcome.failures_skipped > 0) {
      throw std::runtime_error("the rebuild did not finish without failures");
    }
    Report("rebuild", watch, lab_rows);
  });
  fs::remove(rebuilt);

  const std::vector<std::string> customers = bench::EveryTenthCustomerOf(lab.paths.main_database);
  bench::InChild([&] {
    bench::SilentUi ui;
    export_task::OnSiteRequest request;
    request.customers = customers;
    request.results_folder = lab.paths.results_folder;
    request.main_database_path = lab.paths.main_database;
    request.target_path = onsite;
    bench::Stopwatch watch;
    const export_task::OnSiteOutcome outcome = export_task::CreateOnSiteDatabase(request, ui.ui);
    if (outcome.end != export_task::OnSiteEnd::kFinished || outcome.failures_skipped > 0) {
      throw std::runtime_error("the on-site export did not finish");
    }
    Report("export", watch, LabRows(onsite));
  });

  bench::ChangeOnSiteCalibrations(onsite);
  fs::copy_file(lab.paths.main_database, import_main);
  const int64_t onsite_rows = LabRows(onsite);
  bench::InChild([&] {
    bench::SilentUi ui;
    NoLauncher launcher;
    import_task::UpdateSurroundings surroundings{ui.prompter, launcher, ui.progress, ui.window};
    import_task::ImportLog log;
    const import_task::ImportRequest request{import_main, onsite};
    fs::current_path(folder);  // the import writes its log in the current folder
    bench::Stopwatch watch;
    const import_task::UpdateResult result = import_task::RunUpdate(request, surroundings, log);
    // Every failure asks whether to resume; the silent prompter's Yes would hide it.
    const bool asked = std::any_of(ui.prompter.messages.begin(), ui.prompter.messages.end(),
                                   [](const std::string& m) { return m.starts_with("Error: "); });
    if (result.end != import_task::UpdateEnd::kCompleted || asked) {
      throw std::runtime_error("the import did not complete without failures");
    }
    Report("import", watch, onsite_rows);
  });
  for (const std::string& path : {onsite, import_main}) fs::remove(path);
  if (!options.keep && options.folder.empty()) fs::remove_all(lab.folder);
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  const std::string base =
      options.folder.empty()
          ? (fs::temp_directory_path() / ("qb-scale-" + std::to_string(getpid()))).string()
          : options.folder;
  std::printf("time per row and peak memory (each task in its own process; goal: under 300 MB)\n");
  RunSize(options, base, options.small);
  RunSize(options, base, options.large);
  if (!options.keep && options.folder.empty()) fs::remove_all(base);
  return 0;
}
