#include "jet/key_verifier.h"

#include <algorithm>
#include <vector>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/row_codec.h"
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

// True when a stored TEXT body decodes (as DecodeJetTextUtf8 decodes it) to printable ASCII
// alone: compressed bytes without a mode switch, or UCS-2 units with a zero high byte.
bool StoredPrintableAscii(ByteSpan stored) {
  auto printable = [](uint8_t b) { return b >= 0x20 && b <= 0x7E; };
  if (stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE) {
    return std::all_of(stored.begin() + 2, stored.end(), printable);
  }
  for (size_t i = 0; i + 1 < stored.size(); i += 2) {
    if (!printable(stored[i]) || stored[i + 1] != 0) return false;
  }
  return true;
}

// Whether a row must be decoded to be judged: false only when its bytes show that every
// indexed TEXT value is printable ASCII (no candidate) and that decoding the wanted columns
// could not fail (each is absent, such a text, BOOLEAN or of another fixed size). Memo and other
// variable columns are always decoded, so a damaged row is reported as the plain scan reports
// it. Most rows are plain ASCII: they cost a split of their bytes, not a decoding.
bool WorthDecoding(const TableDef& def, const std::vector<bool>& wanted, ByteSpan stored,
                   uint32_t page) {
  const std::vector<StoredField> fields = SplitRow(def, stored, page);
  for (size_t k = 0; k < def.columns.size(); ++k) {
    if (!wanted[k] || !fields[k].present) continue;
    const ColumnDef& c = def.columns[k];
    if (c.type == ColumnType::kText) {
      if (StoredPrintableAscii(fields[k].bytes)) continue;
      return true;
    }
    if (c.type == ColumnType::kBoolean || c.is_fixed()) continue;
    return true;
  }
  return false;
}

std::string IndexName(const TableDef& def, const RealIndexDef& index) {
  for (const LogicalIndexDef& logical : def.indexes) {
    if (logical.real_index == index.number) return logical.name;
  }
  return "#" + std::to_string(index.number);
}

}  // namespace

std::vector<std::optional<KeyMismatch>> FindKeyMismatches(PageFile& file, const TableDef& def) {
  std::vector<std::optional<KeyMismatch>> verdicts(def.real_indexes.size());
  std::vector<size_t> text_indexes;
  std::vector<bool> wanted(def.columns.size(), false);
  for (size_t i = 0; i < def.real_indexes.size(); ++i) {
    const RealIndexDef& index = def.real_indexes[i];
    bool has_text = false;
    for (const IndexColumn& ic : index.columns) {
      const ColumnDef* c = def.ColumnByNumber(ic.column_number);
      if (c == nullptr) ThrowCorrupt(def.page, "an index names a missing column");
      has_text = has_text || IsText(*c);
    }
    if (!has_text) continue;
    text_indexes.push_back(i);
    for (const IndexColumn& ic : index.columns) {
      wanted[static_cast<size_t>(def.ColumnByNumber(ic.column_number) - def.columns.data())] = true;
    }
  }
  if (text_indexes.empty()) return verdicts;

  std::vector<std::vector<Candidate>> candidates(def.real_indexes.size());
  const Table table(file, def, std::string());
  Table::Cursor::RowFilter worth = [&](ByteSpan stored, uint32_t page) {
    return WorthDecoding(def, wanted, stored, page);
  };
  for (Table::Cursor row(table, wanted, worth); row.Next();) {
    for (size_t i : text_indexes) {
      const RealIndexDef& index = def.real_indexes[i];
      std::optional<std::string> text = UnusualText(def, index, row.values());
      if (!text) continue;
      Bytes key = EncodeIndexKey(index, def, row.values());
      if (index.ignores_nulls() && IsAllNullKey(key, index)) continue;
      candidates[i].push_back({std::move(key), row.locator(), std::move(*text)});
    }
  }

  for (size_t i : text_indexes) {
    std::vector<Candidate>& rows = candidates[i];
    if (rows.empty()) continue;
    // One search per distinct key: a run of rows with the same text is one walk along its
    // entries, not one walk per row. Among equal keys the table's order stays.
    std::stable_sort(rows.begin(), rows.end(), [](const Candidate& a, const Candidate& b) {
      return CompareKeys(a.key, b.key) < 0;
    });
    IndexReader reader(file, def.real_indexes[i]);
    for (size_t k = 0; k < rows.size() && !verdicts[i];) {
      const Bytes& key = rows[k].key;
      std::vector<RowLocator> stored = reader.FindEqual(key);
      std::sort(stored.begin(), stored.end());
      for (; k < rows.size() && rows[k].key == key; ++k) {
        if (!std::binary_search(stored.begin(), stored.end(), rows[k].row)) {
          verdicts[i] = KeyMismatch{rows[k].row, rows[k].text, rows[k].key};
          break;
        }
      }
    }
  }
  return verdicts;
}

void KeyVerdicts::Require(PageFile& file, const TableDef& def, const std::string& table_name,
                          size_t real_index) {
  if (trust_all_ || trusted_.contains(def.page)) return;
  const auto id = std::make_pair(def.page, def.real_indexes.at(real_index).number);
  auto it = verdicts_.find(id);
  if (it == verdicts_.end()) {
    const std::vector<std::optional<KeyMismatch>> mismatches = FindKeyMismatches(file, def);
    for (size_t i = 0; i < def.real_indexes.size(); ++i) {
      const RealIndexDef& index = def.real_indexes[i];
      std::string refusal;
      if (const std::optional<KeyMismatch>& mismatch = mismatches[i]) {
        refusal = "Cannot write to the index '" + IndexName(def, index) + "' of table '" +
                  table_name + "': the key Access stored for the text '" + mismatch->text +
                  "' is not the key this program builds for it, so Access could not find the "
                  "entries this program would add. Enter such rows in Access.";
      }
      verdicts_.emplace(std::make_pair(def.page, index.number), std::move(refusal));
    }
    it = verdicts_.find(id);
  }
  if (!it->second.empty()) throw Error(kErrUnsupported, it->second);
}

}  // namespace jet
