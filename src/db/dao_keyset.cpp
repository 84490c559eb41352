#include "db/dao_keyset.h"

#include <algorithm>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/page_file.h"

namespace db {
namespace {

bool RowIsLive(jet::PageFile& file, const jet::TableDef& def, jet::RowLocator row) {
  if (row.page >= file.page_count()) return false;
  const uint8_t* page = file.Page(row.page);
  // A bookmark may outlive its page: freed and reused, it holds none of the table's rows.
  if (page[0] != jet::kPageData || jet::U32(page + jet::kDataOffOwner) != def.page) return false;
  if (row.row >= jet::RowCount(page)) return false;
  return jet::LocateRow(file, def, row).has_value();
}

}  // namespace

// ---- ListKeyset

ListKeyset::ListKeyset(jet::PageFile& file, const jet::Table& table,
                       std::vector<jet::RowLocator> rows,
                       std::vector<std::vector<jet::Value>> values)
    : file_(file),
      table_(table),
      rows_(std::move(rows)),
      values_(std::move(values)),
      removed_(rows_.size(), false) {
  if (values_.size() != rows_.size()) values_.clear();
}

bool ListKeyset::Live(size_t index) { return !removed_[index]; }

std::optional<KeyPos> ListKeyset::From(size_t index) {
  for (; index < rows_.size(); ++index) {
    if (Live(index)) return KeyPos{rows_[index], index};
  }
  return std::nullopt;
}

std::optional<KeyPos> ListKeyset::First() { return From(0); }

std::optional<KeyPos> ListKeyset::Last() {
  for (size_t i = rows_.size(); i-- > 0;) {
    if (Live(i)) return KeyPos{rows_[i], i};
  }
  return std::nullopt;
}

std::optional<KeyPos> ListKeyset::Next(const KeyPos& at) { return From(at.index + 1); }

std::optional<KeyPos> ListKeyset::Find(jet::RowLocator row) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i] == row && Live(i)) return KeyPos{row, i};
  }
  return std::nullopt;
}

size_t ListKeyset::Ordinal(const KeyPos& at) {
  if (removed_count_ == 0) return at.index;
  return static_cast<size_t>(std::count(removed_.begin(), removed_.begin() + at.index, false));
}

std::optional<KeyPos> ListKeyset::FindFirst(Search& search) {
  // Bound before any row is read, so that faulty criteria fail also on an empty set.
  const Condition& condition = search.condition();
  for (auto at = First(); at; at = Next(*at)) {
    // Rows deleted through another recordset are passed over, as a search does not stop on them.
    if (!RowIsLive(file_, table_.def(), at->row)) continue;
    if (condition.Matches(table_.ReadRow(at->row))) return at;
  }
  return std::nullopt;
}

void ListKeyset::Add(jet::RowLocator row) {
  rows_.push_back(row);
  removed_.push_back(false);
}

void ListKeyset::Remove(const KeyPos& at) {
  if (!removed_[at.index]) {
    removed_[at.index] = true;
    ++removed_count_;
  }
}

// ---- TableKeyset

const std::vector<uint32_t>& TableKeyset::Pages() {
  if (!pages_) pages_ = table_.DataPages();
  return *pages_;
}

bool TableKeyset::Live(jet::RowLocator row) { return RowIsLive(file_, table_.def(), row); }

std::optional<jet::RowLocator> TableKeyset::NextStored(std::optional<jet::RowLocator> after) {
  const std::vector<uint32_t>& pages = Pages();
  size_t i = 0;
  unsigned slot = 0;
  if (after) {
    i = static_cast<size_t>(std::lower_bound(pages.begin(), pages.end(), after->page) -
                            pages.begin());
    if (i < pages.size() && pages[i] == after->page) slot = after->row + 1u;
  }
  const uint32_t owner = table_.def().page;
  for (; i < pages.size(); ++i, slot = 0) {
    const uint8_t* page = file_.Page(pages[i]);
    // A page in the map that is no longer the table's (freed and reused) holds none of its rows.
    if (page[0] != jet::kPageData || jet::U32(page + jet::kDataOffOwner) != owner) continue;
    const unsigned count = jet::RowCount(page);
    for (unsigned s = slot; s < count; ++s) {
      // Deleted rows and the targets of relocated rows carry the deleted bit.
      if (jet::ReadSlot(page, pages[i], s).deleted()) continue;
      const jet::RowLocator row{pages[i], static_cast<uint8_t>(s)};
      if (!added_set_.contains(row)) return row;
    }
  }
  return std::nullopt;
}

std::optional<jet::RowLocator> TableKeyset::LastStored() {
  const std::vector<uint32_t>& pages = Pages();
  const uint32_t owner = table_.def().page;
  for (size_t i = pages.size(); i-- > 0;) {
    const uint8_t* page = file_.Page(pages[i]);
    if (page[0] != jet::kPageData || jet::U32(page + jet::kDataOffOwner) != owner) continue;
    for (unsigned s = jet::RowCount(page); s-- > 0;) {
      if (jet::ReadSlot(page, pages[i], s).deleted()) continue;
      const jet::RowLocator row{pages[i], static_cast<uint8_t>(s)};
      if (!added_set_.contains(row)) return row;
    }
  }
  return std::nullopt;
}

size_t TableKeyset::CountStored(std::optional<jet::RowLocator> before) {
  size_t count = 0;
  for (auto row = NextStored(std::nullopt); row && (!before || *row < *before);
       row = NextStored(row)) {
    ++count;
  }
  return count;
}

std::optional<KeyPos> TableKeyset::AddedFrom(size_t index) {
  for (; index < added_.size(); ++index) {
    if (Live(added_[index])) return KeyPos{added_[index], index};
  }
  return std::nullopt;
}

std::optional<KeyPos> TableKeyset::First() {
  if (auto row = NextStored(std::nullopt)) return KeyPos{*row, kStored};
  return AddedFrom(0);
}

std::optional<KeyPos> TableKeyset::Last() {
  for (size_t i = added_.size(); i-- > 0;) {
    if (Live(added_[i])) return KeyPos{added_[i], i};
  }
  if (auto row = LastStored()) return KeyPos{*row, kStored};
  return std::nullopt;
}

std::optional<KeyPos> TableKeyset::Next(const KeyPos& at) {
  if (at.index != kStored) return AddedFrom(at.index + 1);
  if (auto row = NextStored(at.row)) return KeyPos{*row, kStored};
  return AddedFrom(0);
}

std::optional<KeyPos> TableKeyset::Find(jet::RowLocator row) {
  if (!Live(row)) return std::nullopt;
  if (added_set_.contains(row)) {
    const auto it = std::find(added_.begin(), added_.end(), row);
    return KeyPos{row, static_cast<size_t>(it - added_.begin())};
  }
  return KeyPos{row, kStored};
}

size_t TableKeyset::Count() {
  size_t count = CountStored(std::nullopt);
  for (const jet::RowLocator& row : added_) count += Live(row) ? 1 : 0;
  return count;
}

size_t TableKeyset::Ordinal(const KeyPos& at) {
  if (at.index == kStored) return CountStored(at.row);
  size_t count = CountStored(std::nullopt);
  for (size_t i = 0; i < at.index; ++i) count += Live(added_[i]) ? 1 : 0;
  return count;
}

std::optional<KeyPos> TableKeyset::FindFirst(Search& search) {
  // The query gives the table's matching rows in a scan's order, which is this keyset's order
  // for every row but those added through the recordset; they come last.
  for (const jet::RowLocator& row : search.candidates()) {
    if (!added_set_.contains(row)) return KeyPos{row, kStored};
  }
  for (size_t i = 0; i < added_.size(); ++i) {
    if (Live(added_[i]) && search.condition().Matches(table_.ReadRow(added_[i]))) {
      return KeyPos{added_[i], i};
    }
  }
  return std::nullopt;
}

void TableKeyset::Add(jet::RowLocator row) {
  added_.push_back(row);
  added_set_.insert(row);
}

}  // namespace db
