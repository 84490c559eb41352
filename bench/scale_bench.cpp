// The three tasks (rebuild, on-site export of every tenth customer, import of that on-site file
// changed on site) at the default laboratory size and at one close to Jet's 2 GB limit: time
// per row at each size, so that growth faster than the rows shows, and each task's peak memory,
// which must not grow with the file. Not run by the tests: the large laboratory takes about
// 2 GB of disk for the main database and as much again for each task's copy.
//
//   scale_bench [--instruments N] [--small N] [--folder DIR] [--keep] [--tasks LIST]
//
// --instruments is the large size (110,000 instruments, about 1.8 GB), --small the size it is
// compared with (20,000). Each laboratory is made in DIR/lab-<size> (kept with --keep or when
// DIR is given, for the next run). --tasks runs only some of rebuild, export and import
// (comma-separated; the import needs the export's file).
//
// Each task runs in a process of its own, started afresh from this program (not a fork of it),
// so that its peak memory is its own: a forked child would start with the parent's pages
// counted, the memory its preparations (the customer list, the on-site changes) left behind.
//
//   scale_bench --run TASK --lab DIR --rows N
//
// is that process: it runs one task on the laboratory in DIR, whose files the parent prepared,
// and prints its line.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "export/on_site_database.h"
#include "import/import_log.h"
#include "import/main_backup.h"
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
  std::string tasks = "rebuild,export,import";
  // The task process.
  std::string run;
  std::string lab;
  long long rows = 0;
};

[[noreturn]] void Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--instruments N] [--small N] [--folder DIR] [--keep] [--tasks LIST]\n",
               program);
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--instruments" && has_value) {
      options.large = std::atoi(argv[++i]);
    } else if (arg == "--small" && has_value) {
      options.small = std::atoi(argv[++i]);
    } else if (arg == "--folder" && has_value) {
      options.folder = argv[++i];
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--tasks" && has_value) {
      options.tasks = argv[++i];
    } else if (arg == "--run" && has_value) {
      options.run = argv[++i];
    } else if (arg == "--lab" && has_value) {
      options.lab = argv[++i];
    } else if (arg == "--rows" && has_value) {
      options.rows = std::atoll(argv[++i]);
    } else {
      Usage(argv[0]);
    }
  }
  if (options.small < 10 || options.large < 10) {
    std::fprintf(stderr, "sizes need at least 10 instruments\n");
    std::exit(2);
  }
  return options;
}

bool Wanted(const Options& options, const std::string& task) {
  return ("," + options.tasks + ",").find("," + task + ",") != std::string::npos;
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

// The files of one laboratory's runs.
struct LabFiles {
  explicit LabFiles(const std::string& lab_folder)
      : folder(fs::absolute(lab_folder)),
        paths(demo::DemoPaths(folder.string())),
        rebuilt((folder / "Rebuilt.mdb").string()),
        onsite((folder / "OnSite.mdb").string()),
        import_main((folder / "ImportMain.mdb").string()),
        customers((folder / "customers.txt").string()) {}
  fs::path folder;
  demo::DemoFolderPaths paths;
  std::string rebuilt;
  std::string onsite;
  std::string import_main;
  std::string customers;  // the export's customers, one a line
};

// A field of /proc/self/status in megabytes ("VmHWM": the peak resident memory of this process
// since it started this program).
double StatusMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.starts_with(prefix)) return std::atof(line.c_str() + prefix.size()) / 1024.0;
  }
  return 0;
}

class NoLauncher : public platform::Launcher {
 public:
  bool BrowseFolder(std::string_view) override { return true; }
  bool EditTextFile(std::string_view) override { return true; }
};

// One task's figures, handed from its process to the parent in a file beside the laboratory.
struct Figures {
  double us_per_row_processor = 0;
  double peak_mb = 0;
};

std::string FiguresPath(const fs::path& folder, const std::string& task) {
  return (folder / (task + "-figures.txt")).string();
}

void Report(const char* task, const fs::path& folder, const bench::Stopwatch& watch, int64_t rows) {
  const double seconds = watch.Seconds();
  const double rows_d = static_cast<double>(std::max<int64_t>(rows, 1));
  const Figures figures{1e6 * watch.CpuSeconds() / rows_d, StatusMb("VmHWM")};
  std::printf(
      "  %-8s %8.1f s wall %8.1f s processor  %9lld rows  %6.2f us/row wall  %6.2f us/row "
      "processor  peak %4.0f MB\n",
      task, seconds, watch.CpuSeconds(), static_cast<long long>(rows), 1e6 * seconds / rows_d,
      figures.us_per_row_processor, figures.peak_mb);
  std::fflush(stdout);
  std::ofstream(FiguresPath(folder, task))
      << figures.us_per_row_processor << ' ' << figures.peak_mb << '\n';
}

void RunRebuild(const LabFiles& lab, int64_t rows) {
  bench::SilentUi ui;
  rebuild::SeenList seen;
  rebuild::RebuildRequest request;
  request.results_folder = lab.paths.results_folder;
  request.main_database_path = lab.paths.main_database;
  request.target_path = lab.rebuilt;
  request.log_path = (lab.folder / "export_log.txt").string();
  bench::Stopwatch watch;
  // Under the skip rule a rebuild that cannot open a file still finishes: count its skips.
  const rebuild::RebuildOutcome outcome = rebuild::RebuildDatabase(request, ui.ui, seen);
  if (outcome.end != rebuild::RebuildEnd::kFinished || outcome.failures_skipped > 0) {
    throw std::runtime_error("the rebuild did not finish without failures");
  }
  Report("rebuild", lab.folder, watch, rows);
}

void RunExport(const LabFiles& lab) {
  bench::SilentUi ui;
  export_task::OnSiteRequest request;
  std::ifstream in(lab.customers);
  for (std::string name; std::getline(in, name);) request.customers.push_back(name);
  request.results_folder = lab.paths.results_folder;
  request.main_database_path = lab.paths.main_database;
  request.target_path = lab.onsite;
  bench::Stopwatch watch;
  const export_task::OnSiteOutcome outcome = export_task::CreateOnSiteDatabase(request, ui.ui);
  if (outcome.end != export_task::OnSiteEnd::kFinished || outcome.failures_skipped > 0) {
    throw std::runtime_error("the on-site export did not finish");
  }
  Report("export", lab.folder, watch, LabRows(lab.onsite));
}

void RunImport(const LabFiles& lab, int64_t rows) {
  bench::SilentUi ui;
  NoLauncher launcher;
  import_task::UpdateSurroundings surroundings{ui.prompter, launcher, ui.progress, ui.window};
  import_task::ImportLog log;
  const import_task::ImportRequest request{lab.import_main, lab.onsite};
  fs::current_path(lab.folder);  // the import writes its log in the current folder
  bench::Stopwatch watch;
  const import_task::UpdateResult result = import_task::RunUpdate(request, surroundings, log);
  // Every failure asks whether to resume; the silent prompter's Yes would hide it.
  const bool asked = std::any_of(ui.prompter.messages.begin(), ui.prompter.messages.end(),
                                 [](const std::string& m) { return m.starts_with("Error: "); });
  if (result.end != import_task::UpdateEnd::kCompleted || asked) {
    throw std::runtime_error("the import did not complete without failures");
  }
  Report("import", lab.folder, watch, rows);
}

int RunTask(const Options& options) {
  const LabFiles lab(options.lab);
  try {
    if (options.run == "rebuild") {
      RunRebuild(lab, options.rows);
    } else if (options.run == "export") {
      RunExport(lab);
    } else if (options.run == "import") {
      RunImport(lab, options.rows);
    } else {
      std::fprintf(stderr, "unknown task %s\n", options.run.c_str());
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", options.run.c_str(), e.what());
    return 1;
  }
  return 0;
}

// Runs this program afresh as `--run task` and returns its figures; exits when it fails.
Figures Spawn(const char* task, const LabFiles& lab, int64_t rows) {
  std::fflush(nullptr);
  const std::string rows_text = std::to_string(rows);
  const std::string folder = lab.folder.string();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    const char* args[] = {"scale_bench", "--run",           task,   "--lab", folder.c_str(),
                          "--rows",      rows_text.c_str(), nullptr};
    execv("/proc/self/exe", const_cast<char* const*>(args));
    std::perror("execv");
    std::_Exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the %s failed\n", task);
    std::exit(1);
  }
  const std::string path = FiguresPath(lab.folder, task);
  Figures figures;
  std::ifstream(path) >> figures.us_per_row_processor >> figures.peak_mb;
  fs::remove(path);
  return figures;
}

using SizeFigures = std::map<std::string, Figures>;  // by task

SizeFigures RunSize(const Options& options, const std::string& base, int instruments) {
  SizeFigures figures;
  bench::LabOptions lab_options;
  lab_options.instruments = instruments;
  lab_options.folder = base + "/lab-" + std::to_string(instruments);
  lab_options.sqlite = false;
  fs::create_directories(lab_options.folder);
  const bench::Lab made = bench::MakeLab(lab_options);
  const LabFiles lab(made.folder);
  const int64_t lab_rows = LabRows(lab.paths.main_database);
  std::printf("%d instruments: main database %.1f MB, %lld rows\n", instruments,
              static_cast<double>(fs::file_size(lab.paths.main_database)) / 1e6,
              static_cast<long long>(lab_rows));

  if (Wanted(options, "rebuild")) {
    fs::remove(lab.rebuilt);
    figures["rebuild"] = Spawn("rebuild", lab, lab_rows);
    fs::remove(lab.rebuilt);
  }
  if (Wanted(options, "export")) {
    fs::remove(lab.onsite);
    {
      std::ofstream out(lab.customers);
      for (const std::string& name : bench::EveryTenthCustomerOf(lab.paths.main_database)) {
        out << name << '\n';
      }
    }
    figures["export"] = Spawn("export", lab, 0);
    bench::ChangeOnSiteCalibrations(lab.onsite);
  }
  if (Wanted(options, "import")) {
    if (!fs::exists(lab.onsite)) {
      std::fprintf(stderr, "the import needs the export's on-site file: run the export too\n");
      std::exit(2);
    }
    fs::remove(lab.import_main);
    fs::copy_file(lab.paths.main_database, lab.import_main);
    figures["import"] = Spawn("import", lab, LabRows(lab.onsite));
  }
  if (Wanted(options, "import")) {
    // The import's backups are whole copies of the main database.
    for (const std::string& backup : import_task::BackupsOf(lab.import_main, lab.folder.string())) {
      fs::remove(backup);
      fs::remove(import_task::FingerprintPathOf(backup));
    }
    for (const std::string& path : {lab.onsite, lab.import_main, lab.customers}) fs::remove(path);
  }
  if (!options.keep && options.folder.empty()) fs::remove_all(lab.folder);
  return figures;
}

// The growth of each task's processor time per row from the small size to the large one (1.00:
// the time grows as the rows do), and the largest peak.
void PrintSummary(const Options& options, const SizeFigures& small, const SizeFigures& large) {
  std::printf("processor time per row at %d instruments against %d (1.00: as the rows):",
              options.large, options.small);
  double peak = 0;
  for (const auto& [task, at_large] : large) {
    const auto at_small = small.find(task);
    if (at_small == small.end() || at_small->second.us_per_row_processor <= 0) continue;
    std::printf("  %s x%.2f", task.c_str(),
                at_large.us_per_row_processor / at_small->second.us_per_row_processor);
    peak = std::max({peak, at_large.peak_mb, at_small->second.peak_mb});
  }
  std::printf("\nlargest peak: %.0f MB (goal: under 300 MB)\n", peak);
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  if (!options.run.empty()) return RunTask(options);
  const std::string base =
      options.folder.empty()
          ? (fs::temp_directory_path() / ("qb-scale-" + std::to_string(getpid()))).string()
          : options.folder;
  std::printf("time per row and peak memory (each task in its own process; goal: under 300 MB)\n");
  const SizeFigures small = RunSize(options, base, options.small);
  const SizeFigures large = RunSize(options, base, options.large);
  PrintSummary(options, small, large);
  if (!options.keep && options.folder.empty()) fs::remove_all(base);
  return 0;
}
