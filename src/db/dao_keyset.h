// The rows of a recordset and their order, walked from any row.
//
// Two kinds:
//  - ListKeyset: the rows a query found when it ran, in the query's order. Small for the
//    statements the tasks repeat per instrument or certificate, and fixed at open time.
//  - TableKeyset: a whole table, in the order a scan returns its rows, read from the pages
//    as it is walked. Opening one costs nothing, so the tasks can open a whole table per
//    calibration to append to it or search it; a search is answered through the query layer
//    (indexes, hash indexes) and lands on its row without walking the rows before it.
// Rows added through the recordset come after all others, in the order added, as a dynaset
// shows them.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "db/sql_eval.h"
#include "jet/table.h"

namespace db {

struct KeyPos {
  jet::RowLocator row;
  size_t index = 0;  // the row's place in the keyset's own list, where it has one
};

// The criteria of one FindFirst, as a keyset asks for them: bound to the table once, by
// whichever of the two is asked first.
class Search {
 public:
  virtual ~Search() = default;
  // The criteria as a condition on a row's values. Throws 3061 naming unknown names and 3464
  // for constant mismatches.
  virtual const Condition& condition() = 0;
  // The table's rows meeting the criteria, in a scan's order, found through the query layer
  // (indexes, hash indexes); fails as condition() would.
  virtual const std::vector<jet::RowLocator>& candidates() = 0;
};

class Keyset {
 public:
  virtual ~Keyset() = default;

  virtual std::optional<KeyPos> First() = 0;
  virtual std::optional<KeyPos> Last() = 0;
  // The member after `at`; `at` may be a row deleted since it was current.
  virtual std::optional<KeyPos> Next(const KeyPos& at) = 0;
  // `row` as a member, or nullopt when it is not one.
  virtual std::optional<KeyPos> Find(jet::RowLocator row) = 0;
  // Every member: may read every page of a table.
  virtual size_t Count() = 0;
  // Members before `at`.
  virtual size_t Ordinal(const KeyPos& at) = 0;
  // The first member meeting the search's criteria; a keyset over the whole table takes the
  // search's candidates.
  virtual std::optional<KeyPos> FindFirst(Search& search) = 0;

  virtual void Add(jet::RowLocator row) = 0;
  virtual void Remove(const KeyPos& at) = 0;

  // The member's values as the keyset was made, when it kept them; null otherwise. They hold
  // only while nothing was written to the file since.
  virtual const std::vector<jet::Value>* KeptValues(const KeyPos&) const { return nullptr; }
};

class ListKeyset : public Keyset {
 public:
  // `values`: empty, or the values of each of `rows` (a query's kept values).
  ListKeyset(jet::PageFile& file, const jet::Table& table, std::vector<jet::RowLocator> rows,
             std::vector<std::vector<jet::Value>> values = {});

  std::optional<KeyPos> First() override;
  std::optional<KeyPos> Last() override;
  std::optional<KeyPos> Next(const KeyPos& at) override;
  std::optional<KeyPos> Find(jet::RowLocator row) override;
  size_t Count() override { return rows_.size() - removed_count_; }
  size_t Ordinal(const KeyPos& at) override;
  std::optional<KeyPos> FindFirst(Search& search) override;
  void Add(jet::RowLocator row) override;
  void Remove(const KeyPos& at) override;
  const std::vector<jet::Value>* KeptValues(const KeyPos& at) const override {
    return at.index < values_.size() ? &values_[at.index] : nullptr;
  }

 private:
  std::optional<KeyPos> From(size_t index);
  bool Live(size_t index);

  jet::PageFile& file_;
  jet::Table table_;
  std::vector<jet::RowLocator> rows_;
  std::vector<std::vector<jet::Value>> values_;  // of the rows the set was made with, or none
  std::vector<bool> removed_;                    // deleted through the recordset
  size_t removed_count_ = 0;
};

class TableKeyset : public Keyset {
 public:
  TableKeyset(jet::PageFile& file, const jet::Table& table) : file_(file), table_(table) {}

  std::optional<KeyPos> First() override;
  std::optional<KeyPos> Last() override;
  std::optional<KeyPos> Next(const KeyPos& at) override;
  std::optional<KeyPos> Find(jet::RowLocator row) override;
  size_t Count() override;
  size_t Ordinal(const KeyPos& at) override;
  std::optional<KeyPos> FindFirst(Search& search) override;
  void Add(jet::RowLocator row) override;
  void Remove(const KeyPos&) override {}  // a deleted row is no longer on its page

 private:
  static constexpr size_t kStored = std::numeric_limits<size_t>::max();  // not an added row

  const std::vector<uint32_t>& Pages();
  bool Live(jet::RowLocator row);
  // The stored rows (added ones excepted) after `after`, or from the start.
  std::optional<jet::RowLocator> NextStored(std::optional<jet::RowLocator> after);
  std::optional<jet::RowLocator> LastStored();
  std::optional<KeyPos> AddedFrom(size_t index);
  size_t CountStored(std::optional<jet::RowLocator> before);

  jet::PageFile& file_;
  jet::Table table_;
  std::optional<std::vector<uint32_t>> pages_;  // read on the first walk
  std::vector<jet::RowLocator> added_;
  std::set<jet::RowLocator> added_set_;
};

}  // namespace db
