#include "jet/key_verifier.h"

#include <algorithm>
#include <vector>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/table.h"

namespace jet {
namespace {

bool IsText(const ColumnDef& c) {
  return c.type == ColumnType::kText || c.type == ColumnType::kMemo;
}

bool PrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch <= 0x7E; });
}

// A row whose key is compared: the key we build, and the text that made it worth comparing.
struct Candidate {
  Bytes key;
  RowLocator row;
  std::string text;
};

// The indexed text of `values` that is not printable ASCII, if any.
std::optional<std::string> UnusualText(const TableDef& def, const RealIndexDef& index,
                                       const std::vector<Value>& values) {
  for (const IndexColumn& ic : index.columns) {
    const ColumnDef* c = def.ColumnByNumber(ic.column_number);
    const Value& v = values[static_cast<size_t>(c - def.columns.data())];
    if (IsText(*c) && v.Is<std::string>() && !PrintableAscii(v.As<std::string>())) {
      return v.As<std::string>();
    }
  }
  return std::nullopt;
}

std::string IndexName(const TableDef& def, const RealIndexDef& index) {
  for (const LogicalIndexDef& logical : def.indexes) {
    if (logical.real_index == index.number) return logical.name;
  }
  return "#" + std::to_string(index.number);
}

}  // namespace

std::optional<KeyMismatch> FindKeyMismatch(PageFile& file, const TableDef& def,
                                           const RealIndexDef& index) {
  bool has_text = false;
  for (const IndexColumn& ic : index.columns) {
    const ColumnDef* c = def.ColumnByNumber(ic.column_number);
    if (c == nullptr) ThrowCorrupt(def.page, "an index names a missing column");
    has_text = has_text || IsText(*c);
  }
  if (!has_text) return std::nullopt;

  std::vector<Candidate> candidates;
  const Table table(file, def, std::string());
  for (Table::Cursor row = table.Scan(); row.Next();) {
    std::optional<std::string> text = UnusualText(def, index, row.values());
    if (!text) continue;
    Bytes key = EncodeIndexKey(index, def, row.values());
    if (index.ignores_nulls() && IsAllNullKey(key, index)) continue;
    candidates.push_back({std::move(key), row.locator(), std::move(*text)});
  }
  if (candidates.empty()) return std::nullopt;

  // One search per distinct key: a run of rows with the same text is one walk along its
  // entries, not one walk per row.
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.key < b.key; });
  IndexReader reader(file, index);
  for (size_t i = 0; i < candidates.size();) {
    const Bytes& key = candidates[i].key;
    std::vector<RowLocator> stored = reader.FindEqual(key);
    std::sort(stored.begin(), stored.end());
    for (; i < candidates.size() && candidates[i].key == key; ++i) {
      if (!std::binary_search(stored.begin(), stored.end(), candidates[i].row)) {
        return KeyMismatch{candidates[i].row, candidates[i].text, candidates[i].key};
      }
    }
  }
  return std::nullopt;
}

void KeyVerdicts::Require(PageFile& file, const TableDef& def, const std::string& table_name,
                          size_t real_index) {
  if (trust_all_ || trusted_.contains(def.page)) return;
  const RealIndexDef& index = def.real_indexes.at(real_index);
  const auto id = std::make_pair(def.page, index.number);
  auto it = verdicts_.find(id);
  if (it == verdicts_.end()) {
    std::string refusal;
    if (const std::optional<KeyMismatch> mismatch = FindKeyMismatch(file, def, index)) {
      refusal = "Cannot write to the index '" + IndexName(def, index) + "' of table '" +
                table_name + "': the key Access stored for the text '" + mismatch->text +
                "' is not the key this program builds for it, so Access could not find the "
                "entries this program would add. Enter such rows in Access.";
    }
    it = verdicts_.emplace(id, std::move(refusal)).first;
  }
  if (!it->second.empty()) throw Error(kErrUnsupported, it->second);
}

}  // namespace jet
