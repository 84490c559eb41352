#include "db/dao_recordset.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <optional>
#include <vector>

#include "db/column_names.h"
#include "db/dao_errors.h"
#include "db/dao_file.h"
#include "db/dao_keyset.h"
#include "db/query.h"
#include "db/sql_errors.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/statement_cache.h"
#include "jet/error.h"

namespace db {
namespace {

// FindFirst's criteria, parsed once and bound once: by the query that finds the candidates
// (whose bound condition then tests the rows added since), or on their own where the rows
// are a list the keyset tests itself.
class CriteriaSearch final : public Search {
 public:
  CriteriaSearch(OpenFile& file, const jet::Table& table, std::string_view criteria)
      : file_(file), table_(table), criteria_(criteria), expr_(ParseCriteria(criteria)) {}

  const Condition& condition() override {
    if (!condition_) {
      if (ran_) {
        condition_.emplace(*query_->statement().where);
      } else {
        condition_.emplace(std::move(expr_), table_);
      }
    }
    return *condition_;
  }

  const std::vector<jet::RowLocator>& candidates() override {
    if (!ran_) {
      SelectStatement statement;
      statement.all_columns = true;
      statement.table = table_.name();
      statement.where = expr_ ? std::move(expr_) : CloneExpr(condition_->expr());
      statement.where_text = std::string(criteria_);
      query_.emplace(std::move(statement));
      // The table is the recordset's own, already open; the rows' values are matched to the
      // recordset's fields by position, so no column names are needed.
      QueryOptions options;
      options.column_names = false;
      result_ = query_->Run(file_.database(), table_, file_.cache(), options);
      ran_ = true;
    }
    return result_.rows;
  }

  // What the query found, values included; empty when it did not run.
  QueryResult& result() { return result_; }

 private:
  OpenFile& file_;
  const jet::Table& table_;
  std::string_view criteria_;
  ExprPtr expr_;  // until the query or the condition takes it
  std::optional<Query> query_;
  QueryResult result_;
  bool ran_ = false;
  std::optional<Condition> condition_;
};

}  // namespace

class RecordsetImpl {
 public:
  RecordsetImpl(std::shared_ptr<OpenFile> file, const jet::Table& table,
                std::vector<size_t> positions, bool updatable, std::unique_ptr<Keyset> keyset)
      : file_(std::move(file)),
        table_(table),
        positions_(std::move(positions)),
        updatable_(updatable),
        keyset_(std::move(keyset)) {}

  // ---- position

  bool Eof() {
    Resolve();
    return eof_;
  }
  bool Bof() {
    Resolve();
    return bof_;
  }
  bool NoMatch() const { return no_match_; }

  void MoveFirst() {
    Usable();
    Resolve();
    Land(keyset_->First(), 0);
  }

  void MoveLast() {
    Usable();
    Resolve();
    auto last = keyset_->Last();
    if (!last) ThrowDao(kErrNoCurrentRecord);
    const size_t count = keyset_->Count();
    known_ = count;
    populated_ = true;
    Land(last, static_cast<int64_t>(count) - 1);
  }

  void MoveNext() {
    Usable();
    Resolve();
    if (eof_) ThrowDao(kErrNoCurrentRecord);
    DropEdit();
    std::optional<KeyPos> next = at_ ? keyset_->Next(*at_) : keyset_->First();
    if (!next) {
      eof_ = true;
      bof_ = false;
      at_.reset();
      current_deleted_ = false;
      if (ordinal_) ++*ordinal_;
      return;
    }
    const std::optional<int64_t> ordinal =
        at_ ? (ordinal_ ? std::optional<int64_t>(*ordinal_ + 1) : std::nullopt) : 0;
    Place(*next, ordinal);
  }

  float PercentPosition() {
    Usable();
    Resolve();
    if (!at_ || bof_) return 0;
    if (eof_) return 100;
    if (!ordinal_) {
      ordinal_ = static_cast<int64_t>(keyset_->Ordinal(*at_));
      if (current_deleted_) --*ordinal_;
      Know(*ordinal_);
    }
    if (known_ == 0) return 0;
    const double percent =
        100.0 * static_cast<double>(std::max<int64_t>(*ordinal_, 0)) / static_cast<double>(known_);
    return static_cast<float>(std::clamp(percent, 0.0, 100.0));
  }

  size_t RecordCount() {
    Usable();
    Resolve();
    return known_;
  }

  void FindFirst(std::string_view criteria) {
    Usable();
    pending_first_ = false;
    DropEdit();
    CriteriaSearch search(*file_, table_, criteria);
    const std::optional<KeyPos> found = keyset_->FindFirst(search);
    no_match_ = !found;
    if (found) {
      Place(*found, std::nullopt);
      // The rows the query read to test them: the one found need not be read again.
      QueryResult& result = search.result();
      for (size_t i = 0; i < result.values.size(); ++i) {
        if (result.rows[i] == found->row) {
          values_ = std::move(result.values[i]);
          values_generation_ = file_->generation();
          break;
        }
      }
    } else {
      // The callers tell a miss by EOF alone.
      at_.reset();
      eof_ = true;
      current_deleted_ = false;
      ordinal_.reset();
    }
  }

  RowBookmark Bookmark() {
    Usable();
    return RowBookmark{Current().row};
  }

  void SetBookmark(const RowBookmark& bookmark) {
    Usable();
    pending_first_ = false;
    const std::optional<KeyPos> found = keyset_->Find(bookmark.row);
    if (!found) ThrowDao(kErrNotValidBookmark);
    DropEdit();
    Place(*found, std::nullopt);
  }

  // ---- editing

  void AddNew() {
    Writable();
    // The first row is not looked for: finding it reads the table's page list, and the tasks
    // open a whole table per calibration only to append to it. Resolve tells the rows added
    // meanwhile from those the set started with.
    buffer_.assign(table_.columns().size(), jet::Value());
    edit_ = EditMode::kAdd;
  }

  void Edit() {
    Writable();
    const KeyPos& at = Current();
    buffer_ = CurrentValues();
    edit_row_ = at.row;
    edit_ = EditMode::kEdit;
  }

  void Update() {
    Usable();
    if (edit_ == EditMode::kNone) ThrowDao(kErrUpdateWithoutEdit);
    jet::TableWriter& writer = file_->Writer(table_);
    // The writer takes a copy: a refused row leaves the buffer for the caller to decide.
    if (edit_ == EditMode::kAdd) {
      const jet::RowLocator row = writer.Insert(buffer_);
      file_->Written(table_.def().page);
      keyset_->Add(row);
      if (pending_first_ && !first_pending_add_) first_pending_add_ = row;
      if (populated_) ++known_;
    } else {
      writer.Update(edit_row_, buffer_);
      file_->Written(table_.def().page);
    }
    DropEdit();
  }

  void CancelUpdate() {
    Usable();
    if (edit_ == EditMode::kNone) ThrowDao(kErrUpdateWithoutEdit);
    DropEdit();
  }

  void Delete() {
    Writable();
    const KeyPos at = Current();
    DropEdit();
    file_->Writer(table_).Delete(at.row);
    file_->Written(table_.def().page);
    keyset_->Remove(at);
    current_deleted_ = true;
    if (known_ > 0) --known_;
    // The next row takes the deleted row's place.
    if (ordinal_) --*ordinal_;
  }

  // ---- fields

  size_t FieldCount() const { return positions_.size(); }

  size_t FieldIndex(std::string_view name) const {
    // Callers nearly always spell a name as the table does (a row copied between tables of
    // one design names each field as its source spells it): the exact spelling is tried
    // first, without the collation's conversions. Names are unique under Jet's comparison,
    // so an exact match is the only match.
    for (size_t i = 0; i < positions_.size(); ++i) {
      if (table_.columns()[positions_[i]].name == name) return i;
    }
    for (size_t i = 0; i < positions_.size(); ++i) {
      if (jet::NamesEqual(table_.columns()[positions_[i]].name, name)) return i;
    }
    ThrowDao(kErrItemNotFound);
  }

  const std::string& FieldName(size_t index) const {
    return table_.columns()[positions_.at(index)].name;
  }

  jet::Value FieldValue(size_t index) {
    Usable();
    const size_t position = positions_.at(index);
    if (edit_ != EditMode::kNone) return buffer_[position];
    return CurrentValues()[position];
  }

  void SetFieldValue(size_t index, jet::Value value) {
    Usable();
    if (edit_ == EditMode::kNone) ThrowDao(kErrUpdateWithoutEdit);
    buffer_[positions_.at(index)] = std::move(value);
  }

  void SetFieldsFrom(RecordsetImpl& source) {
    Usable();
    source.Usable();
    const size_t count = source.FieldCount();
    if (count == 0) return;
    // Read as the first field's Value would read them (3021 without a current row).
    const std::vector<jet::Value>& values =
        source.edit_ != EditMode::kNone ? source.buffer_ : source.CurrentValues();
    if (source.serial_ == mapped_serial_) {
      // Every name of this source was found here before, and neither side's fields change.
      if (edit_ == EditMode::kNone) ThrowDao(kErrUpdateWithoutEdit);
      for (size_t i = 0; i < count; ++i) {
        buffer_[positions_[mapped_[i]]] = values[source.positions_[i]];
      }
      return;
    }
    if (&source.table_.def() != mapped_def_ || source.positions_ != mapped_positions_) {
      mapped_def_ = &source.table_.def();
      mapped_positions_ = source.positions_;
      mapped_.assign(count, kUnmapped);
    }
    mapped_serial_ = 0;
    for (size_t i = 0; i < count; ++i) {
      const std::string& name = source.FieldName(i);
      size_t& to = mapped_[i];
      // A kept mapping is trusted only while the names still agree exactly.
      if (to == kUnmapped || FieldName(to) != name) {
        to = kUnmapped;
        to = FieldIndex(name);  // 3265 when absent
      }
      if (edit_ == EditMode::kNone) ThrowDao(kErrUpdateWithoutEdit);
      buffer_[positions_[to]] = values[source.positions_[i]];
    }
    mapped_serial_ = source.serial_;
  }

  const std::string& TableName() const { return table_.name(); }

  void Close() {
    closed_ = true;
    keyset_.reset();
    values_.reset();
    buffer_.clear();
    file_.reset();
  }
  bool IsOpen() const { return !closed_; }

  void Usable() const {
    if (closed_) ThrowDao(kErrObjectClosed);
  }

 private:
  enum class EditMode { kNone, kAdd, kEdit };

  void Writable() {
    Usable();
    if (!updatable_) ThrowDao(kErrReadOnly);
  }

  // A recordset stands on its first row once opened; finding it waits for the first question,
  // so that opening a whole table only to append to it or search it reads no page.
  void Resolve() {
    if (!pending_first_) return;
    pending_first_ = false;
    // Added rows join the end of the set, so the first row is one added before this point only
    // when the set started empty; it then stays at EOF, as it would have had it been resolved
    // when opened.
    auto first = keyset_->First();
    if (first && first_pending_add_ && first->row == *first_pending_add_) first.reset();
    first_pending_add_.reset();
    if (first) {
      Place(*first, 0);
    } else {
      bof_ = eof_ = true;
    }
  }

  void Land(std::optional<KeyPos> at, int64_t ordinal) {
    if (!at) ThrowDao(kErrNoCurrentRecord);
    DropEdit();
    Place(*at, ordinal);
  }

  void Place(const KeyPos& at, std::optional<int64_t> ordinal) {
    at_ = at;
    bof_ = eof_ = false;
    current_deleted_ = false;
    values_.reset();
    ordinal_ = ordinal;
    if (ordinal_) Know(*ordinal_);
  }

  void Know(int64_t ordinal) {
    known_ = std::max<size_t>(known_, static_cast<size_t>(ordinal) + 1);
  }

  const KeyPos& Current() {
    Resolve();
    if (!at_ || bof_ || eof_) ThrowDao(kErrNoCurrentRecord);
    if (current_deleted_) ThrowDao(kErrRecordDeleted);
    return *at_;
  }

  // The current row's values: those the query kept while no row of the file was written
  // since it ran (nothing can have changed or deleted the row), else read from its page.
  const std::vector<jet::Value>& CurrentValues() {
    const KeyPos& at = Current();
    if (values_ && values_generation_ == file_->generation()) return *values_;
    if (opened_generation_ == file_->generation()) {
      if (const std::vector<jet::Value>* kept = keyset_->KeptValues(at)) return *kept;
    }
    values_ = ReadCurrent(at);
    values_generation_ = file_->generation();
    return *values_;
  }

  std::vector<jet::Value> ReadCurrent(const KeyPos& at) {
    const auto place = jet::LocateRow(file_->database().file(), table_.def(), at.row);
    if (!place) ThrowDao(kErrRecordDeleted);  // through another recordset
    return table_.ReadRow(at.row);
  }

  void DropEdit() {
    edit_ = EditMode::kNone;
    buffer_.clear();
  }

  std::shared_ptr<OpenFile> file_;
  jet::Table table_;
  std::vector<size_t> positions_;  // the recordset's fields in the table's row values
  bool updatable_;
  std::unique_ptr<Keyset> keyset_;
  bool closed_ = false;

  bool pending_first_ = true;
  std::optional<jet::RowLocator> first_pending_add_;  // the first row added before Resolve
  std::optional<KeyPos> at_;
  bool bof_ = false;
  bool eof_ = false;
  bool current_deleted_ = false;
  bool no_match_ = false;
  std::optional<int64_t> ordinal_;  // the current row's place, when known
  size_t known_ = 0;                // rows known: visited, or all after MoveLast
  bool populated_ = false;

  std::optional<std::vector<jet::Value>> values_;  // the current row, read when first asked
  uint64_t values_generation_ = 0;
  uint64_t opened_generation_ = file_ ? file_->generation() : 0;  // when the keyset was made

  EditMode edit_ = EditMode::kNone;
  std::vector<jet::Value> buffer_;  // one value per table column
  jet::RowLocator edit_row_;

  // SetFieldsFrom's field mapping (our field index per source field, kUnmapped until found)
  // for the source table and fields it was made for.
  static constexpr size_t kUnmapped = static_cast<size_t>(-1);
  const jet::TableDef* mapped_def_ = nullptr;
  std::vector<size_t> mapped_positions_;
  std::vector<size_t> mapped_;
  // The recordset, by serial, whose every field the mapping was found for (0: none yet).
  static inline std::atomic<uint64_t> serials_{0};
  const uint64_t serial_ = ++serials_;
  uint64_t mapped_serial_ = 0;
};

namespace {

// A source is a SELECT text when its first word is SELECT; anything else names a table.
bool IsSelectText(std::string_view source) {
  size_t i = 0;
  while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i]))) ++i;
  constexpr std::string_view kSelect = "select";
  if (source.size() - i < kSelect.size()) return false;
  for (size_t k = 0; k < kSelect.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(source[i + k])) != kSelect[k]) return false;
  }
  const size_t after = i + kSelect.size();
  return after == source.size() ||
         !(std::isalnum(static_cast<unsigned char>(source[after])) || source[after] == '_');
}

std::vector<size_t> AllPositions(const jet::Table& table) {
  std::vector<size_t> positions(table.columns().size());
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = i;
  return positions;
}

// The selected columns of a statement without a condition, resolved as a query resolves them.
std::vector<size_t> SelectedPositions(const SelectStatement& statement, const jet::Table& table) {
  ResolvedColumns selected = ResolveSelected(statement, table);
  if (!selected.unknown.empty()) ThrowUnknownNames(selected.unknown);
  return std::move(selected.positions);
}

// The tasks open the same few statements once per instrument or certificate.
SelectStatement ParseSource(std::string_view source) {
  thread_local StatementCache statements;
  return statements.Parse(source);
}

}  // namespace

Recordset Recordset::Open(std::shared_ptr<OpenFile> file, std::string_view source) {
  jet::Database& database = file->database();
  jet::PageFile& pages = database.file();
  if (!IsSelectText(source)) {
    const jet::Table table = database.OpenTable(source);
    auto keyset = std::make_unique<TableKeyset>(pages, table);
    return Recordset(std::make_shared<RecordsetImpl>(std::move(file), table, AllPositions(table),
                                                     true, std::move(keyset)));
  }
  SelectStatement statement = ParseSource(source);
  const jet::Table table = database.OpenTable(statement.table);
  if (statement.where == nullptr && !statement.distinct) {
    // The whole table: walked as it is read, never copied.
    std::vector<size_t> positions = SelectedPositions(statement, table);
    auto keyset = std::make_unique<TableKeyset>(pages, table);
    return Recordset(std::make_shared<RecordsetImpl>(std::move(file), table, std::move(positions),
                                                     true, std::move(keyset)));
  }
  // Rows of one value combination each have no single row to write back to.
  const bool updatable = !statement.distinct;
  QueryOptions options;
  options.column_names = false;
  QueryResult result = Query(std::move(statement)).Run(database, table, file->cache(), options);
  auto keyset =
      std::make_unique<ListKeyset>(pages, table, std::move(result.rows), std::move(result.values));
  return Recordset(std::make_shared<RecordsetImpl>(
      std::move(file), table, std::move(result.column_positions), updatable, std::move(keyset)));
}

RecordsetImpl& Recordset::impl() const {
  if (!impl_) ThrowDao(kErrObjectClosed);
  impl_->Usable();
  return *impl_;
}

bool Recordset::Eof() const { return impl().Eof(); }
bool Recordset::Bof() const { return impl().Bof(); }
bool Recordset::NoMatch() const { return impl().NoMatch(); }
void Recordset::MoveFirst() { impl().MoveFirst(); }
void Recordset::MoveNext() { impl().MoveNext(); }
void Recordset::MoveLast() { impl().MoveLast(); }
float Recordset::PercentPosition() const { return impl().PercentPosition(); }
size_t Recordset::RecordCount() const { return impl().RecordCount(); }
void Recordset::AddNew() { impl().AddNew(); }
void Recordset::Edit() { impl().Edit(); }
void Recordset::Update() { impl().Update(); }
void Recordset::CancelUpdate() { impl().CancelUpdate(); }
void Recordset::Delete() { impl().Delete(); }
void Recordset::FindFirst(std::string_view criteria) { impl().FindFirst(criteria); }
RowBookmark Recordset::Bookmark() const { return impl().Bookmark(); }
void Recordset::SetBookmark(const RowBookmark& bookmark) { impl().SetBookmark(bookmark); }
const std::string& Recordset::TableName() const { return impl().TableName(); }

db::Fields Recordset::Fields() const {
  impl();
  return db::Fields(impl_);
}
Field Recordset::Fields(size_t index) const { return Fields().Item(index); }
Field Recordset::Fields(std::string_view name) const { return Fields().Item(name); }
void Recordset::SetFieldsFrom(const Recordset& source) { impl().SetFieldsFrom(source.impl()); }

void Recordset::Close() {
  if (impl_) impl_->Close();
}
bool Recordset::IsOpen() const { return impl_ && impl_->IsOpen(); }

size_t Fields::Count() const {
  rs_->Usable();
  return rs_->FieldCount();
}

Field Fields::Item(size_t index) const {
  rs_->Usable();
  if (index >= rs_->FieldCount()) ThrowDao(kErrItemNotFound);
  return Field(rs_, index);
}

Field Fields::Item(std::string_view name) const {
  rs_->Usable();
  return Field(rs_, rs_->FieldIndex(name));
}

const std::string& Field::Name() const {
  rs_->Usable();
  return rs_->FieldName(index_);
}
jet::Value Field::Value() const { return rs_->FieldValue(index_); }
void Field::SetValue(jet::Value value) const { rs_->SetFieldValue(index_, std::move(value)); }

}  // namespace db
