#include "lab_bench_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <variant>

#include "bench_support.h"
#include "demo/demo_schema.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/table.h"

namespace bench {

namespace fs = std::filesystem;

LabOptions ParseLabOptions(int argc, char** argv, const char* usage, int default_instruments) {
  LabOptions options;
  options.instruments = default_instruments;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--instruments" && i + 1 < argc) {
      options.instruments = std::atoi(argv[++i]);
    } else if (arg == "--folder" && i + 1 < argc) {
      options.folder = argv[++i];
    } else if (arg == "--no-check") {
      options.check = false;
    } else if (arg == "--keep") {
      options.keep = true;
    } else {
      std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
      std::exit(2);
    }
  }
  if (options.instruments < 10) {
    std::fprintf(stderr, "--instruments needs at least 10\n");
    std::exit(2);
  }
  return options;
}

void InChild(const std::function<void()>& fn) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    try {
      fn();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      std::_Exit(1);
    }
    std::fflush(nullptr);
    std::_Exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "setup failed\n");
    std::exit(1);
  }
}

Lab MakeLab(const LabOptions& options) {
  Lab lab;
  lab.folder = options.folder;
  if (lab.folder.empty()) {
    lab.folder = (fs::temp_directory_path() / ("qb-lab-" + std::to_string(options.instruments) +
                                               "-" + std::to_string(getpid())))
                     .string();
  }
  lab.paths = demo::DemoPaths(lab.folder);
  lab.sqlite_main = lab.folder + "/main.sqlite";
  lab.sqlite_template = lab.folder + "/template.sqlite";
  // A folder made earlier for the same size is reused: making 20,000 instruments takes a while.
  const std::string stamp = lab.folder + "/bench-instruments.txt";
  const std::string size = std::to_string(options.instruments);
  if (std::FILE* f = std::fopen(stamp.c_str(), "r")) {
    char line[32] = {};
    const bool same = std::fgets(line, sizeof line, f) != nullptr && size == line;
    std::fclose(f);
    if (same && (!options.sqlite || fs::exists(lab.sqlite_main))) {
      std::printf("laboratory of %s instruments reused from %s\n", size.c_str(),
                  lab.folder.c_str());
      return lab;
    }
  }
  Stopwatch watch;
  InChild([&] {
    demo::DemoFolderOptions demo_options;
    demo_options.folder = lab.folder;
    demo_options.instruments = options.instruments;
    demo_options.force = true;
    const demo::DemoCounts counts = demo::MakeDemoFolder(demo_options);
    std::printf(
        "laboratory: %lld instruments, %lld calibrations, %lld result lines, %lld "
        "additional data rows (%.1f s)\n",
        static_cast<long long>(counts.instruments), static_cast<long long>(counts.calibrations),
        static_cast<long long>(counts.results), static_cast<long long>(counts.additional_data),
        watch.Seconds());
    fs::remove(lab.sqlite_main);
    fs::remove(lab.sqlite_template);
    if (options.sqlite) {
      CopyToSqlite(lab.paths.main_database, lab.sqlite_main, true);
      CopyToSqlite(lab.paths.empty_database, lab.sqlite_template, false);
    }
    std::FILE* f = std::fopen(stamp.c_str(), "w");
    std::fputs(size.c_str(), f);
    std::fclose(f);
  });
  std::printf("laboratory made in %s (%.1f s with its SQLite copy)\n", lab.folder.c_str(),
              watch.Seconds());
  return lab;
}

namespace {

const char* SqliteType(jet::ColumnType type) {
  switch (type) {
    case jet::ColumnType::kText:
    case jet::ColumnType::kMemo:
      return "TEXT";
    case jet::ColumnType::kDouble:
    case jet::ColumnType::kFloat:
    case jet::ColumnType::kDateTime:
      return "REAL";
    default:
      return "INTEGER";
  }
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

void BindJet(sqlite3_stmt* stmt, int index, const jet::Value& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, jet::Null>) {
          sqlite3_bind_null(stmt, index);
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, uint8_t> ||
                             std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t>) {
          sqlite3_bind_int64(stmt, index, static_cast<int64_t>(v));
        } else if constexpr (std::is_same_v<T, jet::Currency>) {
          sqlite3_bind_int64(stmt, index, v.scaled);
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          sqlite3_bind_double(stmt, index, static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, jet::DateTime>) {
          sqlite3_bind_double(stmt, index, v.days);
        } else if constexpr (std::is_same_v<T, std::string>) {
          sqlite3_bind_text(stmt, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        } else if constexpr (std::is_same_v<T, jet::Bytes>) {
          sqlite3_bind_blob(stmt, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        } else {
          sqlite3_bind_null(stmt, index);  // not in the results tables
        }
      },
      value.storage());
}

}  // namespace

void CopyToSqlite(const std::string& jet_path, const std::string& sqlite_path, bool rows) {
  sqlite3* db = OpenSqlite(sqlite_path);
  Exec(db, "PRAGMA journal_mode=DELETE");
  Exec(db, "BEGIN");
  auto jet_db = jet::Database::Open(jet_path);
  for (const jet::TableDesign& layout : demo::ResultsTableDesigns()) {
    std::string create = "CREATE TABLE " + Quoted(layout.name) + " (";
    for (size_t i = 0; i < layout.columns.size(); ++i) {
      if (i > 0) create += ", ";
      create += Quoted(layout.columns[i].name) + " " + SqliteType(layout.columns[i].type);
    }
    Exec(db, create + ")");
    for (const jet::IndexDesign& index : layout.indexes) {
      std::string sql = (index.primary || index.unique) ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
      sql += Quoted(layout.name + "_" + index.name) + " ON " + Quoted(layout.name) + " (";
      for (size_t i = 0; i < index.columns.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += Quoted(index.columns[i].column);
      }
      Exec(db, sql + ")");
    }
    if (!rows) continue;
    Statement insert(db, InsertSql(db, "main", layout.name));
    const jet::Table table = jet_db->OpenTable(layout.name);
    for (auto cursor = table.Scan(); cursor.Next();) {
      insert.Reset();
      const std::vector<jet::Value>& values = cursor.values();
      for (size_t i = 0; i < values.size(); ++i) {
        BindJet(insert.get(), static_cast<int>(i) + 1, values[i]);
      }
      insert.Step();
    }
  }
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

bool CheckFile(const std::string& path) {
  Stopwatch watch;
  auto db = jet::Database::Open(path);
  const std::vector<std::string> problems = jet::CheckDatabase(*db);
  for (const std::string& p : problems) std::fprintf(stderr, "%s: %s\n", path.c_str(), p.c_str());
  std::printf("  consistency check of %s: %s (%.1f s)\n", fs::path(path).filename().c_str(),
              problems.empty() ? "sound" : "PROBLEMS", watch.Seconds());
  return problems.empty();
}

void SqliteCheck(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

void Exec(sqlite3* db, const std::string& sql) {
  SqliteCheck(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

sqlite3* OpenSqlite(const std::string& path) {
  sqlite3* db = nullptr;
  SqliteCheck(sqlite3_open(path.c_str(), &db), db, "open");
  return db;
}

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
  SqliteCheck(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr), db, sql.c_str());
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  refused_ = false;
  return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::Bind(int index, int64_t number) {
  sqlite3_bind_int64(stmt_, index, number);
  return *this;
}

Statement& Statement::BindValue(int index, sqlite3_value* value) {
  sqlite3_bind_value(stmt_, index, value);
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_CONSTRAINT) {
    refused_ = true;
    sqlite3_reset(stmt_);
    return false;
  }
  SqliteCheck(rc, db_, sqlite3_sql(stmt_));
  return false;
}

std::string Statement::Text(int i) const {
  const unsigned char* text = sqlite3_column_text(stmt_, i);
  return text == nullptr ? std::string()
                         : std::string(reinterpret_cast<const char*>(text),
                                       static_cast<size_t>(sqlite3_column_bytes(stmt_, i)));
}

jet::Value Statement::Value(int i) const {
  switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER:
      return static_cast<int32_t>(sqlite3_column_int64(stmt_, i));
    case SQLITE_FLOAT:
      return sqlite3_column_double(stmt_, i);
    case SQLITE_TEXT:
      return Text(i);
    case SQLITE_BLOB: {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, i));
      return jet::Bytes(p, p + sqlite3_column_bytes(stmt_, i));
    }
    default:
      return jet::Value();
  }
}

int Statement::Index(const char* column) const {
  for (int i = 0; i < Columns(); ++i) {
    if (sqlite3_stricmp(sqlite3_column_name(stmt_, i), column) == 0) return i;
  }
  return -1;
}

std::string InsertSql(sqlite3* db, const std::string& schema, const std::string& table) {
  Statement columns(db, "SELECT * FROM " + schema + "." + Quoted(table) + " LIMIT 0");
  std::string sql = "INSERT INTO " + schema + "." + Quoted(table) + " VALUES (";
  for (int i = 0; i < columns.Columns(); ++i) sql += i == 0 ? "?" : ", ?";
  return sql + ")";
}

bool CopyRow(const Statement& from, Statement& insert) {
  insert.Reset();
  for (int i = 0; i < from.Columns(); ++i) insert.BindValue(i + 1, from.Column(i));
  insert.Step();
  return !insert.refused();
}

platform::Answer SilentPrompter::Show(const platform::Message& message) {
  messages.push_back(message.text);
  return message.buttons == platform::Buttons::kYesNo ? platform::Answer::kYes
                                                      : platform::Answer::kOk;
}

void PrintTime(const char* name, double seconds, double reference) {
  if (reference > 0) {
    std::printf("  %-34s %8.2f s   %5.2fx\n", name, seconds, seconds / reference);
  } else {
    std::printf("  %-34s %8.2f s\n", name, seconds);
  }
}

}  // namespace bench
