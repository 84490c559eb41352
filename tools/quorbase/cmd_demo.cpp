// quorbase demo FOLDER [--instruments N] [--seed N] [--force] [--no-check]: a demo results
// folder (see demo/demo_folder.h) holding a realistic laboratory, the same for the same seed.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "demo/demo_folder.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "quorbase/command.h"

namespace quorbase_tool {
namespace {

// Sizes from which the run reports its progress; smaller ones take a moment.
constexpr int kProgressFrom = 1000;
constexpr int kProgressStepPercent = 5;
constexpr int kMaxInstruments = 1000000;

uint32_t ParseNumber(const std::string& option, const std::string& text, uint64_t max) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoull(text) > max) {
    throw UsageError{option + " needs a whole number from 0 to " + std::to_string(max) + ", not '" +
                     text + "'"};
  }
  return static_cast<uint32_t>(std::stoull(text));
}

// Whole numbers with thousands separators, for counts a person reads.
std::string Grouped(int64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

bool Check(const std::string& path) {
  auto db = jet::Database::Open(path);
  const std::vector<std::string> problems = jet::CheckDatabase(*db);
  for (const std::string& p : problems) std::cerr << path << ": " << p << "\n";
  return problems.empty();
}

int RunDemo(const std::vector<std::string>& args) {
  demo::DemoFolderOptions options;
  bool check = true;
  bool have_folder = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--instruments") {
      options.instruments = static_cast<int>(ParseNumber(arg, value(), kMaxInstruments));
    } else if (arg == "--seed") {
      options.seed = ParseNumber(arg, value(), 0xFFFFFFFFull);
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "--no-check") {
      check = false;
    } else if (arg.starts_with("--")) {
      throw UsageError{"unknown option " + arg};
    } else if (have_folder) {
      throw UsageError{"one folder only"};
    } else {
      options.folder = arg;
      have_folder = true;
    }
  }
  if (!have_folder || options.folder.empty()) throw UsageError{"no folder given"};

  const auto start = std::chrono::steady_clock::now();
  const auto seconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  if (options.instruments >= kProgressFrom) {
    int next_percent = kProgressStepPercent;
    options.progress = [&](const demo::DemoCounts& done, int total) {
      const int64_t percent = done.instruments * 100 / total;
      if (percent < next_percent) return;
      next_percent = static_cast<int>(percent) + kProgressStepPercent;
      char line[160];
      std::snprintf(line, sizeof line, "%3d%%  %s of %s instruments, %s rows, %.1f s",
                    static_cast<int>(percent), Grouped(done.instruments).c_str(),
                    Grouped(total).c_str(), Grouped(done.rows()).c_str(), seconds());
      std::cerr << line << std::endl;
    };
  }

  demo::DemoCounts counts;
  try {
    counts = demo::MakeDemoFolder(options);
  } catch (const demo::DemoRefused& e) {
    std::cerr << "quorbase demo: " << e.what() << "\n";
    return 1;
  }
  const double elapsed = seconds();
  const demo::DemoFolderPaths paths = demo::DemoPaths(options.folder);
  std::cout << "Demo results folder " << paths.results_folder << "\n"
            << "  " << Grouped(counts.instruments) << " instruments, "
            << Grouped(counts.calibrations) << " calibrations, " << Grouped(counts.results)
            << " result lines, " << Grouped(counts.additional_data) << " additional data rows\n";
  char rate[120];
  std::snprintf(rate, sizeof rate, "  %s rows in %.1f s (%s rows/s)\n",
                Grouped(counts.rows()).c_str(), elapsed,
                Grouped(static_cast<int64_t>(counts.rows() / std::max(elapsed, 1e-3))).c_str());
  std::cout << rate;

  if (check) {
    bool sound = true;
    for (const std::string& path :
         {paths.init_database, paths.empty_database, paths.main_database}) {
      sound = Check(path) && sound;
    }
    if (!sound) return 1;
    std::printf("  consistency check passed (%.1f s)\n", seconds() - elapsed);
  }
  return 0;
}

const RegisterCommand kRegister{{
    .name = "demo",
    .usage = "FOLDER [--instruments N] [--seed N] [--force] [--no-check]",
    .summary = "make a demo results folder: FOLDER/Quorinit.MDB pointing at FOLDER/results, "
               "with Quorbase.mdb (a laboratory of N instruments, default 3000) and "
               "Empty_Quorbase.mdb; refuses to replace a results database holding data "
               "without --force",
    .run = RunDemo,
}};

}  // namespace
}  // namespace quorbase_tool
