// What the task benchmarks share: a synthetic laboratory made by the demo generator, its rows
// copied into SQLite files with the same tables and indexes, SQLite statements as small
// handles, a silent TaskUi, peak memory, and the consistency check of written files.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "demo/demo_folder.h"
#include "jet/value.h"
#include "platform/prompter.h"
#include "tasks/progress.h"
#include "tasks/task_ui.h"

namespace bench {

// The options every task benchmark takes.
struct LabOptions {
  int instruments = 20000;
  std::string folder;  // empty: a new temporary folder
  bool check = true;
  bool keep = false;   // leave the folder in place
  bool sqlite = true;  // make the SQLite copies the comparisons read
};

// --instruments N, --folder DIR, --no-check, --keep; exits with a usage line on anything else.
LabOptions ParseLabOptions(int argc, char** argv, const char* usage, int default_instruments);

struct Lab {
  demo::DemoFolderPaths paths;
  std::string folder;
  std::string sqlite_main;      // the main database's rows in SQLite
  std::string sqlite_template;  // the same tables without rows
};

// Makes the demo laboratory (or reuses one of the same size under --folder) and its SQLite
// copies (unless options.sqlite is false). Both run in a child process, so that the parent's peak
// memory is the tasks' own.
Lab MakeLab(const LabOptions& options);

// Copies every row of the results tables of the Jet file into a new SQLite file with the same
// tables and indexes (an empty one when `rows` is false).
void CopyToSqlite(const std::string& jet_path, const std::string& sqlite_path, bool rows);

// The process's peak resident memory so far, in megabytes.
double PeakRssMb();
// Runs `fn` in a child process and waits for it; exits when it fails.
void InChild(const std::function<void()>& fn);

// The consistency check's findings, printed; true when the file is sound.
bool CheckFile(const std::string& path);

// ---- SQLite

void SqliteCheck(int rc, sqlite3* db, const char* what);
void Exec(sqlite3* db, const std::string& sql);
sqlite3* OpenSqlite(const std::string& path);

// A prepared statement, reset before each use.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Reset();
  Statement& Bind(int index, const std::string& text);
  Statement& Bind(int index, int64_t number);
  Statement& BindValue(int index, sqlite3_value* value);
  // SQLITE_ROW: true; SQLITE_DONE: false; a constraint failure: false with `refused` set.
  bool Step();
  bool refused() const { return refused_; }
  int Columns() const { return sqlite3_column_count(stmt_); }
  sqlite3_value* Column(int i) const { return sqlite3_column_value(stmt_, i); }
  std::string Text(int i) const;
  bool IsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }
  // The column as the engine's value: integers, reals, texts, blobs and Null.
  jet::Value Value(int i) const;
  int Index(const char* column) const;  // 0-based; -1 when absent
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  bool refused_ = false;
};

// "INSERT INTO [schema.]table VALUES (?, ...)" with one placeholder per column of `table`.
std::string InsertSql(sqlite3* db, const std::string& schema, const std::string& table);
// Inserts the current row of `from` through `insert`; false when the insert was refused.
bool CopyRow(const Statement& from, Statement& insert);

// ---- a task run without anyone watching

class SilentPrompter : public platform::Prompter {
 public:
  platform::Answer Show(const platform::Message& message) override;
  std::string InputBox(std::string_view, std::string_view, std::string_view) override { return ""; }
  std::optional<std::string> OpenFile(const platform::FileOpenRequest&) override {
    return std::nullopt;
  }
  std::vector<std::string> messages;
};

struct SilentUi {
  SilentPrompter prompter;
  tasks::SilentProgress progress;
  tasks::NoWindow window;
  tasks::TaskUi ui{prompter, progress, window};
};

// "name  12.34 s  (x 1.23 of reference)".
void PrintTime(const char* name, double seconds, double reference = 0);

}  // namespace bench
