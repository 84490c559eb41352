#include "jet/consistency_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "jet/collation.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

// At most this many lines about one index or table, so a badly broken file stays readable.
constexpr int kMaxLinesPerSubject = 5;

std::string PageText(uint32_t page) { return "page " + std::to_string(page); }

std::string RowText(RowPointer r) {
  return "row " + std::to_string(r.row) + " of page " + std::to_string(r.page);
}

std::string Hex(ByteSpan bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

class Checker {
 public:
  explicit Checker(Database& db)
      : db_(db), file_(db.file()), claims_(file_.page_count()), global_(ReadGlobal()) {}

  CheckReport Run() {
    const uint64_t size = static_cast<uint64_t>(file_.page_count()) * kPageSize;
    if (size > kMaxDatabaseBytes) {
      Problem("the file holds " + std::to_string(size) + " bytes, more than the " +
              std::to_string(kMaxDatabaseBytes) + " (2 GB) a Jet 4 database may hold");
    }
    Claim(0, "the database header");
    if (file_.page_count() > kGlobalUsageMap.page) Claim(kGlobalUsageMap.page, "the global map");
    FindDataPages();
    for (const CatalogEntry& entry : db_.catalog()) {
      if (entry.type == kObjectTypeTable) CheckTable(entry);
    }
    CheckGlobalMap();
    return std::move(report_);
  }

 private:
  std::optional<UsageMap> ReadGlobal() {
    try {
      return UsageMap::Read(file_, kGlobalUsageMap);
    } catch (const Error& e) {
      Problem("global map: " + e.description());
      return std::nullopt;
    }
  }

  void Problem(std::string line) { report_.problems.push_back(std::move(line)); }
  void Note(std::string line) { report_.notes.push_back(std::move(line)); }

  // The data pages holding live rows, by owning table, in one pass over the file (free pages
  // may keep stale contents and are left out).
  void FindDataPages() {
    for (uint32_t p = 0; p < file_.page_count(); ++p) {
      const uint8_t* page = file_.Page(p);
      if (page[0] == kPageData && !IsFree(p) && HasLiveRows(page)) {
        data_pages_[U32(page + kDataOffOwner)].push_back(p);
      }
    }
  }

  // Records that `what` uses the page; a page used by two structures is a fault.
  void Claim(uint32_t page, const std::string& what) {
    if (page >= claims_.size()) {
      Problem(what + ": " + PageText(page) + " lies beyond the end of the file");
      return;
    }
    if (!claims_[page].empty()) {
      Problem(PageText(page) + " is used by both " + claims_[page] + " and " + what);
      return;
    }
    claims_[page] = what;
  }

  // Map rows live on shared pages; the page must simply stay in use.
  void NoteMapRow(RowPointer where, const std::string& what) {
    map_row_pages_.emplace(where.page, what);
  }

  std::optional<UsageMap> ReadMap(RowPointer where, const std::string& what) {
    try {
      UsageMap map = UsageMap::Read(file_, where);
      NoteMapRow(where, what);
      for (uint32_t p : map.map_pages()) {
        if (p != 0) Claim(p, what + " (bitmap page)");
      }
      return map;
    } catch (const Error& e) {
      Problem(what + ": " + e.description());
      return std::nullopt;
    }
  }

  void CheckTable(const CatalogEntry& entry) {
    const std::string subject = "table '" + entry.name + "'";
    const bool system = (entry.flags & kSystemObjectFlags) != 0;
    const TableDef* def = nullptr;
    try {
      def = &db_.TableDefAt(entry.tdef_page());
    } catch (const Error& e) {
      Problem(subject + ": " + e.description());
      return;
    }
    for (uint32_t p : def->pages) Claim(p, subject + " (definition)");

    // Owned and free-space maps.
    std::set<uint32_t> owned;
    if (auto map = ReadMap(def->owned_map, subject + " owned-pages map")) {
      for (uint32_t p : map->SetPages()) {
        const uint8_t* page = file_.Page(p);
        if (page[0] != kPageData || U32(page + kDataOffOwner) != def->page) {
          Problem(subject + ": its usage map lists " + PageText(p) +
                  ", which is not one of its data pages");
          continue;
        }
        owned.insert(p);
        Claim(p, subject);
      }
    }
    if (auto map = ReadMap(def->free_space_map, subject + " free-space map")) {
      for (uint32_t p : map->SetPages()) {
        if (!owned.count(p)) {
          Problem(subject + ": its free-space map lists " + PageText(p) +
                  ", which it does not own");
        }
      }
    }
    // Data pages of the table that its map forgot. Access leaves such pages behind in its own
    // system tables (MSysNavPaneObjectIDs) and reads past them; in a user table they are rows
    // that Access cannot see.
    if (const auto pages = data_pages_.find(def->page); pages != data_pages_.end()) {
      for (uint32_t p : pages->second) {
        if (owned.count(p)) continue;
        const std::string line =
            subject + ": " + PageText(p) + " holds its rows but is missing from its usage map";
        if (system) {
          Note(line + " (Access leaves this in its system tables)");
        } else {
          Problem(line);
        }
      }
    }

    // Long-value maps, by column number.
    std::map<uint16_t, std::set<uint32_t>> lv_pages;
    for (const LongValueMaps& lv : def->long_value_maps) {
      const ColumnDef* c = def->ColumnByNumber(lv.column_number);
      const std::string what =
          subject + " long values of '" + (c ? c->name : std::to_string(lv.column_number)) + "'";
      if (auto map = ReadMap(lv.owned, what)) {
        for (uint32_t p : map->SetPages()) {
          lv_pages[lv.column_number].insert(p);
          Claim(p, what);
        }
      }
      // Access leaves the free-space map of some long-value columns unset.
      if (lv.free_space.ToU32() != 0) ReadMap(lv.free_space, what + " free-space map");
    }

    // Rows.
    Table table(file_, *def, entry.name);
    std::vector<std::pair<RowLocator, std::vector<Value>>> rows;
    std::set<RowPointer> lv_rows;
    int lv_lines = 0;
    try {
      for (auto cursor = table.Scan(); cursor.Next();) {
        rows.emplace_back(cursor.locator(), cursor.values());
        CheckLongValues(*def, cursor, lv_pages, lv_rows, subject, lv_lines);
      }
    } catch (const Error& e) {
      Problem(subject + ": " + e.description());
      return;
    }
    // Access lets a definition's count go stale and works on (its compact counts again); our
    // writer carries the stored count forward (table_writer.cpp). Neither misreads the rows.
    if (rows.size() != def->row_count) {
      Note(subject + ": its definition counts " + std::to_string(def->row_count) +
           " rows, the table holds " + std::to_string(rows.size()) +
           " (a stale count, as Access leaves them)");
    }

    for (const RealIndexDef& index : def->real_indexes) CheckIndex(*def, index, rows, subject);
  }

  void CheckLongValues(const TableDef& def, const Table::Cursor& cursor,
                       const std::map<uint16_t, std::set<uint32_t>>& lv_pages,
                       std::set<RowPointer>& lv_rows, const std::string& subject, int& lines) {
    const std::vector<StoredField> fields = SplitRow(def, cursor.stored(), cursor.stored_page());
    for (size_t k = 0; k < fields.size(); ++k) {
      const ColumnDef& c = def.columns[k];
      if (!c.is_long_value() || !fields[k].present || fields[k].bytes.empty()) continue;
      std::vector<RowPointer> chain;
      ReadLongValue(file_, fields[k].bytes, cursor.stored_page(), &chain);
      const auto pages = lv_pages.find(c.number);
      for (RowPointer at : chain) {
        if (lines >= kMaxLinesPerSubject) return;
        if (!lv_rows.insert(at).second) {
          Problem(subject + ": the long value of '" + c.name + "' in " + RowText(cursor.locator()) +
                  " shares " + RowText(at) + " with another value");
          ++lines;
        } else if (pages == lv_pages.end() || !pages->second.count(at.page)) {
          Problem(subject + ": the long value of '" + c.name + "' in " + RowText(cursor.locator()) +
                  " lies on " + PageText(at.page) + ", outside the column's usage map");
          ++lines;
        }
      }
    }
  }

  bool KeysCheckable(const TableDef& def, const RealIndexDef& index) const {
    for (const IndexColumn& ic : index.columns) {
      const ColumnDef* c = def.ColumnByNumber(ic.column_number);
      if (c == nullptr) return false;
      if ((c->type == ColumnType::kText || c->type == ColumnType::kMemo) &&
          !IsGeneralSortOrder(c->sort_lcid, c->sort_version)) {
        return false;
      }
    }
    return true;
  }

  void CheckIndex(const TableDef& def, const RealIndexDef& index,
                  const std::vector<std::pair<RowLocator, std::vector<Value>>>& rows,
                  const std::string& table_subject) {
    const std::string subject = table_subject + " index " + std::to_string(index.number) + " (" +
                                IndexName(def, index) + ")";
    int lines = 0;
    auto report = [&](const std::string& text) {
      if (lines++ < kMaxLinesPerSubject) Problem(subject + ": " + text);
    };

    std::set<uint32_t> mapped;
    if (auto map = ReadMap(index.usage_map, subject + " usage map")) {
      for (uint32_t p : map->SetPages()) {
        mapped.insert(p);
        Claim(p, subject);
      }
    }

    // Walk the tree through its child links, so that every page is checked, not just leaves.
    IndexReader reader(file_, index);
    std::vector<IndexEntry> found;
    try {
      std::vector<uint32_t> pending{index.root_page};
      std::set<uint32_t> visited;
      while (!pending.empty()) {
        const uint32_t p = pending.back();
        pending.pop_back();
        if (!visited.insert(p).second) {
          report(PageText(p) + " is reached twice in the tree");
          continue;
        }
        if (!mapped.count(p)) report(PageText(p) + " is in the tree but not in its usage map");
        const IndexPage& page = reader.Page(p);
        if (page.tdef_page != def.page) report(PageText(p) + " names another table as its owner");
        if (!page.leaf) {
          for (const auto& e : page.entries) pending.push_back(e.child);
          if (page.tail != 0) pending.push_back(page.tail);
        }
      }
      for (uint32_t p : mapped) {
        if (!visited.count(p)) report(PageText(p) + " is in its usage map but not in the tree");
      }
      found = reader.All();
    } catch (const Error& e) {
      report(e.description());
      return;
    }

    for (size_t i = 1; i < found.size(); ++i) {
      const int order = CompareKeys(found[i - 1].key, found[i].key);
      if (order > 0 || (order == 0 && !(found[i - 1].row < found[i].row))) {
        report("entries out of key order at " + RowText(found[i].row));
      } else if (order == 0 && index.is_unique() && !IsAllNullKey(found[i].key, index)) {
        report("duplicate key " + Hex(found[i].key) + " in a unique index");
      }
    }

    if (!KeysCheckable(def, index)) return;  // another collation: we cannot build its keys
    std::vector<IndexEntry> expected;
    for (const auto& [where, values] : rows) {
      Bytes key;
      try {
        key = EncodeIndexKey(index, def, values);
      } catch (const Error& e) {
        report(RowText(where) + ": " + e.description());
        continue;
      }
      if (index.ignores_nulls() && IsAllNullKey(key, index)) continue;
      expected.push_back({std::move(key), where});
    }
    auto by_key_then_row = [](const IndexEntry& a, const IndexEntry& b) {
      const int order = CompareKeys(a.key, b.key);
      return order != 0 ? order < 0 : a.row < b.row;
    };
    std::sort(expected.begin(), expected.end(), by_key_then_row);
    std::vector<IndexEntry> sorted_found = found;
    std::sort(sorted_found.begin(), sorted_found.end(), by_key_then_row);
    std::vector<IndexEntry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), sorted_found.begin(), sorted_found.end(),
                        std::back_inserter(missing), by_key_then_row);
    std::set_difference(sorted_found.begin(), sorted_found.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra), by_key_then_row);
    for (const auto& e : missing)
      report("no entry for " + RowText(e.row) + " (key " + Hex(e.key) + ")");
    for (const auto& e : extra) {
      report("entry for " + RowText(e.row) + " (key " + Hex(e.key) + ") matches no row");
    }
  }

  static std::string IndexName(const TableDef& def, const RealIndexDef& index) {
    std::string names;
    for (const auto& logical : def.indexes) {
      if (logical.real_index != index.number) continue;
      if (!names.empty()) names += ", ";
      names += logical.name;
    }
    return names.empty() ? "unnamed" : names;
  }

  bool IsFree(uint32_t page) const { return global_ && global_->Test(page); }

  static bool HasLiveRows(const uint8_t* page) {
    const unsigned count = RowCount(page);
    if (kDataOffRowTable + 2 * static_cast<size_t>(count) > kPageSize) return false;
    for (unsigned i = 0; i < count; ++i) {
      if (!(U16(page + kDataOffRowTable + 2 * i) & kRowDeleted)) return true;
    }
    return false;
  }

  void CheckGlobalMap() {
    if (!global_) return;
    for (uint32_t p = 0; p < claims_.size(); ++p) {
      if (!claims_[p].empty() && IsFree(p)) {
        Problem(PageText(p) + " is used by " + claims_[p] + " but marked free in the global map");
      }
    }
    for (const auto& [p, what] : map_row_pages_) {
      if (IsFree(p))
        Problem(PageText(p) + " holds " + what + " but is marked free in the global map");
    }
  }

  Database& db_;
  PageFile& file_;
  std::vector<std::string> claims_;
  std::map<uint32_t, std::string> map_row_pages_;
  std::map<uint32_t, std::vector<uint32_t>> data_pages_;  // by owning tdef page
  CheckReport report_;  // before global_, which may report while it is read
  std::optional<UsageMap> global_;
};

}  // namespace

CheckReport CheckDatabaseReport(Database& db) { return Checker(db).Run(); }

std::vector<std::string> CheckDatabase(Database& db) { return Checker(db).Run().problems; }

}  // namespace jet
