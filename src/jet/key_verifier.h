// A safety net for the text keys the writer adds to indexes of files it did not make.
//
// Our General-sort keys are built from measured collation data and from rules read off the
// keys Access stored; a text that meets a rule we have not seen would get a key that differs
// from Access's. Such an entry is worse than a refused write: Access searches the index by its
// own key, does not find the row, and may add a duplicate to a unique index. So before the
// first entry is added to a text index of an existing file, the keys Access stored for the
// texts most likely to meet an unknown rule (those holding characters outside printable ASCII)
// are built again and compared. Where one differs, that index is not written to.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class PageFile;

// A stored key that is not the key we build for its row's values.
struct KeyMismatch {
  RowPointer row;    // the row's header slot
  std::string text;  // the row's indexed text, the first text column that is not plain ASCII
  Bytes ours;        // the key we build for the row
};

// Compares the stored keys of the table's text indexes with ours for every row whose indexed
// text holds a character outside printable ASCII (0x20-0x7E), in one scan of the table that
// reads only those indexes' columns and decodes only the rows whose stored bytes may hold such
// a text. One answer per real index, in def.real_indexes' order: the
// first such row in table order with no entry under our key, or nullopt when every one has
// its entry (always so for an index without a text column).
std::vector<std::optional<KeyMismatch>> FindKeyMismatches(PageFile& file, const TableDef& def);

// The verdicts of one open database, one per real index, so that each index is compared once
// a session.
class KeyVerdicts {
 public:
  // Tables, or (TrustAll) a whole file, that this engine made: their keys are all ours.
  void Trust(uint32_t tdef_page) { trusted_.insert(tdef_page); }
  void TrustAll() { trust_all_ = true; }

  // Throws 3251, naming the table, the index and the text, when the keys of real index
  // `real_index` of `def` are not all as we would build them. The first question about a
  // table compares the keys of all its text indexes.
  void Require(PageFile& file, const TableDef& def, const std::string& table_name,
               size_t real_index);

 private:
  bool trust_all_ = false;
  std::set<uint32_t> trusted_;
  // (tdef page, real index number) -> the refusal's description, empty when the keys agree.
  std::map<std::pair<uint32_t, uint32_t>, std::string> verdicts_;
};

}  // namespace jet
