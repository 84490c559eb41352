#include "jet/table_writer.h"

#include <random>

#include "jet/collation.h"
#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_writer.h"
#include "jet/long_value.h"
#include "jet/long_value_writer.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/row_encoder.h"
#include "jet/table_def_format.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

constexpr uint16_t kRelocationTarget = kRowDeleted;  // the flag Jet gives a moved row's bytes

Guid RandomGuid() {
  static std::mt19937_64 generator{std::random_device{}()};
  Guid g;
  for (size_t i = 0; i < 16; i += 8) {
    const uint64_t r = generator();
    for (size_t k = 0; k < 8; ++k) g.bytes[i + k] = static_cast<uint8_t>(r >> (8 * k));
  }
  g.bytes[7] = static_cast<uint8_t>((g.bytes[7] & 0x0F) | 0x40);  // version 4, stored LE
  g.bytes[8] = static_cast<uint8_t>((g.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return g;
}

bool Truthy(const ColumnDef& column, const Value& v) {
  if (v.IsNull()) return false;
  if (v.Is<bool>()) return v.As<bool>();
  if (v.Is<uint8_t>()) return v.As<uint8_t>() != 0;
  if (v.Is<int16_t>()) return v.As<int16_t>() != 0;
  if (v.Is<int32_t>()) return v.As<int32_t>() != 0;
  throw Error(kErrConversion, "Data type conversion error: the Yes/No field '" + column.name +
                                  "' cannot hold " + DebugString(v) + ".");
}

[[noreturn]] void ThrowDuplicate(const std::string& table) {
  throw Error(kErrDuplicateKey,
              "The changes you requested to the table '" + table +
                  "' were not successful because they would create duplicate values in the "
                  "index, primary key, or relationship.");
}

bool OwnedDataPage(const uint8_t* page, uint32_t tdef_page) {
  return page[0] == kPageData && U32(page + kDataOffOwner) == tdef_page;
}

}  // namespace

// A row ready to be written: its fields, long values still to store, and its index keys.
struct TableWriter::Prepared {
  std::vector<Bytes> storage;    // per column: the stored bytes (long values: definition)
  std::vector<Bytes> lv_bodies;  // per column: a long value still to be written
  // Flags as bytes, not std::vector<bool>: they are reset and set for every row, and bit
  // access cost more than the rest of Prepare's own work.
  std::vector<uint8_t> lv_write;  // per column: lv_bodies holds a value to write
  std::vector<uint8_t> present;   // per column
  std::vector<Bytes> keys;        // per real index
  std::vector<uint8_t> indexed;   // per real index: the row has an entry
  uint32_t last_autonumber = 0;
  // The row as Prepare encoded it (long values at their definitions' size): the row to write
  // when it has no long value to store.
  Bytes row;
  std::vector<StoredField> fields;  // Fields()'s result, views of `storage`
  std::vector<Value> completed;     // the values with generated autonumbers and GUIDs

  const std::vector<StoredField>& Fields() {
    fields.resize(storage.size());
    for (size_t k = 0; k < storage.size(); ++k) fields[k] = {present[k] != 0, storage[k]};
    return fields;
  }
};

// Update's and Delete's buffers: the stored fields and keys of the row as it was.
struct TableWriter::UpdateScratch {
  Prepared prepared;
  std::vector<Bytes> old_stored;  // per column
  std::vector<bool> old_present;  // per column
  std::vector<Bytes> old_keys;    // per real index
  Bytes key;                      // Delete's key of the moment
};

namespace {

const CatalogEntry& FindOrThrow(Database& db, std::string_view table_name) {
  const CatalogEntry* entry = db.FindTable(table_name);
  if (entry == nullptr) {
    throw Error(kErrTableNotFound, "Cannot find the table '" + std::string(table_name) + "'.");
  }
  return *entry;
}

}  // namespace

TableWriter::TableWriter(Database& db, std::string_view table_name)
    : TableWriter(db, FindOrThrow(db, table_name).tdef_page(), FindOrThrow(db, table_name).name) {}

TableWriter::TableWriter(Database& db, uint32_t tdef_page, std::string name)
    : db_(db),
      file_(db.file()),
      name_(std::move(name)),
      insert_scratch_(std::make_unique<Prepared>()),
      update_scratch_(std::make_unique<UpdateScratch>()) {
  if (!file_.writable()) {
    throw Error(kErrReadOnly, "Cannot update '" + name_ + "': the database '" + db.path() +
                                  "' was opened read-only.");
  }
  def_ = &db.MutableTableDef(tdef_page);
  for (const RealIndexDef& index : def_->real_indexes) {
    for (const IndexColumn& ic : index.columns) {
      const ColumnDef* c = def_->ColumnByNumber(ic.column_number);
      if (c == nullptr) {
        ThrowCorrupt(def_->page, "an index of table '" + name_ + "' names a missing column");
      }
      const bool text = c->type == ColumnType::kText || c->type == ColumnType::kMemo;
      if (text && (!IsGeneralSortOrder(c->sort_lcid, c->sort_version) ||
                   !db.header().UsesGeneralSortOrder())) {
        throw Error(kErrUnsupported,
                    "Cannot write to table '" + name_ + "': the index on '" + c->name +
                        "' uses a sort order other than General, whose keys this program "
                        "cannot build. Compact the database in Access with the General sort "
                        "order first.");
      }
    }
  }
  indexes_.resize(def_->real_indexes.size());
  keys_verified_.assign(def_->real_indexes.size(), false);
}

TableWriter::~TableWriter() = default;

void TableWriter::RequireOurKeys(size_t i) {
  if (keys_verified_[i]) return;
  db_.key_verdicts().Require(file_, *def_, name_, i);
  keys_verified_[i] = true;
}

IndexWriter& TableWriter::Index(size_t i) {
  if (!indexes_[i]) {
    indexes_[i] =
        std::make_unique<IndexWriter>(file_, db_.allocator(), *def_, def_->real_indexes[i]);
  }
  return *indexes_[i];
}

void TableWriter::Prepare(const std::vector<Value>& given, const std::vector<Value>* old_values,
                          Prepared& p) {
  const auto& columns = def_->columns;
  if (given.size() != columns.size()) {
    throw std::logic_error("TableWriter: one value per column expected");
  }
  // A copied row brings its autonumbers: only a row that gets one (or a GUID) pays for a copy.
  bool generates = false;
  for (size_t k = 0; k < columns.size() && old_values == nullptr && !generates; ++k) {
    generates = (columns[k].is_auto_long() || columns[k].is_auto_guid()) && given[k].IsNull();
  }
  if (generates) p.completed = given;
  const std::vector<Value>& values = generates ? p.completed : given;
  // `p` may hold an earlier row: every field is set again below, its buffers reused.
  p.storage.resize(columns.size());
  for (Bytes& stored : p.storage) stored.clear();
  p.lv_bodies.resize(columns.size());
  for (Bytes& body : p.lv_bodies) body.clear();
  p.lv_write.assign(columns.size(), 0);
  p.present.assign(columns.size(), 0);
  p.last_autonumber = def_->last_autonumber;

  for (size_t k = 0; k < columns.size(); ++k) {
    const ColumnDef& c = columns[k];
    const Value& v = values[k];
    if (old_values != nullptr && (c.is_auto_long() || c.is_auto_guid())) {
      if (!(v == (*old_values)[k])) {
        throw Error(kErrFieldNotUpdatable,
                    "Field can't be updated: '" + c.name + "' is an AutoNumber field.");
      }
    } else if (c.is_auto_long()) {
      if (v.IsNull()) {
        p.completed[k] = static_cast<int32_t>(++p.last_autonumber);  // `v` refers to it
      } else if (v.Is<int32_t>() && v.As<int32_t>() > 0 &&
                 static_cast<uint32_t>(v.As<int32_t>()) > p.last_autonumber) {
        p.last_autonumber = static_cast<uint32_t>(v.As<int32_t>());
      }
    } else if (c.is_auto_guid() && v.IsNull()) {
      p.completed[k] = RandomGuid();
    }

    if (c.type == ColumnType::kBoolean) {
      p.present[k] = Truthy(c, v);
      continue;
    }
    if (v.IsNull()) continue;
    p.present[k] = true;
    if (c.is_long_value()) {
      p.lv_bodies[k] = EncodeLongValueBody(c, v);
      p.lv_write[k] = true;
      p.storage[k].assign(kLongValueDefinitionSize, 0);  // its size until it is written
    } else {
      EncodeScalarTo(c, v, p.storage[k]);
    }
  }

  p.keys.resize(def_->real_indexes.size());
  p.indexed.assign(def_->real_indexes.size(), 0);
  for (size_t i = 0; i < def_->real_indexes.size(); ++i) {
    const RealIndexDef& index = def_->real_indexes[i];
    if (index.is_required()) {
      for (const IndexColumn& ic : index.columns) {
        const ColumnDef* c = def_->ColumnByNumber(ic.column_number);
        if (values[static_cast<size_t>(c - columns.data())].IsNull()) {
          throw Error(kErrNullInIndex, "Index or primary key cannot contain a Null value: '" +
                                           c->name + "' of table '" + name_ + "' is Null.");
        }
      }
    }
    EncodeIndexKeyTo(index, *def_, values, p.keys[i]);
    p.indexed[i] = !(index.ignores_nulls() && IsAllNullKey(p.keys[i], index));
  }
  // Throws "record is too large" before anything is written.
  EncodeRowTo(*def_, p.Fields(), p.row);
}

uint32_t TableWriter::PageWithRoom(size_t row_size, uint32_t avoid) {
  if (insert_page_ != 0 && insert_page_ != avoid && insert_page_ < file_.page_count()) {
    const uint8_t* page = file_.Page(insert_page_);
    if (OwnedDataPage(page, def_->page) && HasRoomFor(page, row_size)) return insert_page_;
  }
  // As Jet does: try the last page of the free-space map; one without room leaves the map.
  const std::vector<uint32_t> candidates = UsageMap::Read(file_, def_->free_space_map).SetPages();
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    if (*it == avoid) continue;
    const uint8_t* page = file_.Page(*it);
    if (OwnedDataPage(page, def_->page) && HasRoomFor(page, row_size)) {
      insert_page_ = *it;
      return *it;
    }
    UsageMapRemove(file_, def_->free_space_map, *it);
    break;
  }
  const uint32_t fresh = db_.allocator().Allocate();
  InitDataPage(file_.MutablePage(fresh), def_->page);
  UsageMapAdd(file_, db_.allocator(), def_->owned_map, fresh);
  UsageMapAdd(file_, db_.allocator(), def_->free_space_map, fresh);
  insert_page_ = fresh;
  return fresh;
}

void TableWriter::WriteCounters() {
  // Every insert and delete ends here: declaring the counters' bytes spares it copying and
  // comparing the whole definition page.
  const size_t end = def_->real_indexes.empty() ? tdef::kOffLastAutonumber + 4
                                                : tdef::kHeaderSize + tdef::kRealIndexStatsSize *
                                                                          def_->real_indexes.size();
  uint8_t* page = file_.MutablePart(def_->page, static_cast<uint32_t>(tdef::kOffRowCount),
                                    static_cast<uint32_t>(end));
  PutU32(page + tdef::kOffRowCount, def_->row_count);
  PutU32(page + tdef::kOffLastAutonumber, def_->last_autonumber);
  for (size_t i = 0; i < def_->real_indexes.size(); ++i) {
    PutU32(page + tdef::kHeaderSize + tdef::kRealIndexStatsSize * i + tdef::kOffStatsUniqueCount,
           def_->real_indexes[i].unique_entry_count);
  }
}

void TableWriter::ReloadAfterFailure() {
  // The pages went back as they were; so must what we cached of them.
  db_.ReloadTableDef(def_->page);
  insert_page_ = 0;
  indexes_.clear();
  indexes_.resize(def_->real_indexes.size());
}

RowLocator TableWriter::Insert(const std::vector<Value>& values) {
  Prepared& p = *insert_scratch_;
  Prepare(values, nullptr, p);
  for (size_t i = 0; i < p.keys.size(); ++i) {
    if (p.indexed[i]) RequireOurKeys(i);
  }
  // Unique keys are checked before anything is written. Other indexes learn whether the key
  // is new (for their count of distinct keys) from the insert itself, which finds the place
  // anyway.
  for (size_t i = 0; i < p.keys.size(); ++i) {
    const RealIndexDef& index = def_->real_indexes[i];
    if (!p.indexed[i] || !index.is_unique()) continue;
    if (Index(i).ContainsKey(p.keys[i]) && !IsAllNullKey(p.keys[i], index)) {
      ThrowDuplicate(name_);
    }
  }

  try {
    PageFile::Operation op(file_);
    size_t room = kMaxRowSize - p.row.size();
    bool long_values = false;
    for (size_t k = 0; k < p.storage.size(); ++k) {
      if (!p.lv_write[k]) continue;
      p.storage[k] = WriteLongValue(file_, db_.allocator(), *def_, def_->columns[k], p.lv_bodies[k],
                                    room + kLongValueDefinitionSize);
      room -= p.storage[k].size() - kLongValueDefinitionSize;
      long_values = true;
    }
    if (long_values) EncodeRowTo(*def_, p.Fields(), p.row);
    const Bytes& row = p.row;
    const uint32_t page = PageWithRoom(row.size(), 0);
    const auto slot = static_cast<uint8_t>(AddRow(MutableForNewRow(file_, page, row.size()), row));
    const RowLocator where{page, slot};
    for (size_t i = 0; i < p.keys.size(); ++i) {
      if (!p.indexed[i]) continue;
      if (!Index(i).Insert(p.keys[i], where)) ++def_->real_indexes[i].unique_entry_count;
    }
    // The stored count moves by one, as Jet moves it: a count that Access left stale (3 for
    // 2 rows) stays off by as much, and is not recounted here, which would read every row of
    // the table at each insert. Nothing reads the count to find rows; Access's compact, and
    // our rebuild and copy, which write fresh tables, count again.
    ++def_->row_count;
    def_->last_autonumber = p.last_autonumber;
    WriteCounters();
    op.Commit();
    return where;
  } catch (...) {
    ReloadAfterFailure();
    throw;
  }
}

void TableWriter::Update(RowLocator where, std::vector<Value> values) {
  const auto place = LocateRow(file_, *def_, where);
  if (!place) throw Error(kErrNoCurrentRecord, "No current record: the row has been deleted.");
  const RowPointer data = place->data;
  const bool relocated = place->relocated();
  const std::vector<Value> old_values = DecodeRow(file_, *def_, place->bytes, data.page);
  // Copies: the page bytes change under us once writing starts. Their buffers, like the
  // prepared row's, are the writer's and serve the next update.
  UpdateScratch& u = *update_scratch_;
  const std::vector<StoredField> old_fields = SplitRow(*def_, place->bytes, data.page);
  std::vector<Bytes>& old_stored = u.old_stored;
  std::vector<bool>& old_present = u.old_present;
  old_stored.resize(old_fields.size());
  old_present.resize(old_fields.size());
  for (size_t k = 0; k < old_fields.size(); ++k) {
    old_stored[k].assign(old_fields[k].bytes.begin(), old_fields[k].bytes.end());
    old_present[k] = old_fields[k].present;
  }

  Prepared& p = u.prepared;
  Prepare(values, &old_values, p);
  std::vector<Bytes>& old_keys = u.old_keys;
  old_keys.resize(p.keys.size());
  std::vector<bool> old_indexed(p.keys.size()), changed(p.keys.size()), new_key(p.keys.size());
  for (size_t i = 0; i < p.keys.size(); ++i) {
    const RealIndexDef& index = def_->real_indexes[i];
    EncodeIndexKeyTo(index, *def_, old_values, old_keys[i]);
    old_indexed[i] = !(index.ignores_nulls() && IsAllNullKey(old_keys[i], index));
    changed[i] = old_keys[i] != p.keys[i] || old_indexed[i] != (p.indexed[i] != 0);
    if (!changed[i] || !p.indexed[i]) continue;
    RequireOurKeys(i);
    const bool exists = Index(i).ContainsKey(p.keys[i]);
    if (exists && index.is_unique() && !IsAllNullKey(p.keys[i], index)) {
      ThrowDuplicate(name_);
    }
    new_key[i] = !exists;
  }
  // Long values that did not change keep their rows.
  for (size_t k = 0; k < p.storage.size(); ++k) {
    const ColumnDef& c = def_->columns[k];
    if (c.is_long_value() && p.lv_write[k] && values[k] == old_values[k] && old_present[k]) {
      p.lv_write[k] = false;
      p.storage[k] = old_stored[k];
    }
  }

  try {
    PageFile::Operation op(file_);
    for (size_t k = 0; k < p.storage.size(); ++k) {
      const ColumnDef& c = def_->columns[k];
      const bool kept = c.is_long_value() && p.present[k] && !p.lv_write[k];
      if (c.is_long_value() && old_present[k] && !old_stored[k].empty() && !kept) {
        FreeLongValue(file_, db_.allocator(), *def_, c, old_stored[k]);
      }
    }
    EncodeRowTo(*def_, p.Fields(), p.row);
    size_t room = kMaxRowSize - p.row.size();
    bool long_values = false;
    for (size_t k = 0; k < p.storage.size(); ++k) {
      if (!p.lv_write[k]) continue;
      p.storage[k] = WriteLongValue(file_, db_.allocator(), *def_, def_->columns[k], p.lv_bodies[k],
                                    room + kLongValueDefinitionSize);
      room -= p.storage[k].size() - kLongValueDefinitionSize;
      long_values = true;
    }
    if (long_values) EncodeRowTo(*def_, p.Fields(), p.row);
    const Bytes& row = p.row;

    uint8_t* data_page = file_.MutablePage(data.page);
    if (RoomForReplace(data_page, data.row) >= row.size()) {
      ReplaceRow(data_page, data.row, row, relocated ? kRelocationTarget : 0);
    } else {
      // Jet's relocation: the row moves to a page with room, and its header slot keeps only
      // a pointer there, so index entries and bookmarks stay valid.
      const uint32_t target = PageWithRoom(row.size(), data.page);
      const auto slot =
          static_cast<uint8_t>(AddRow(file_.MutablePage(target), row, kRelocationTarget));
      if (relocated) DeleteRow(file_.MutablePage(data.page), data.row);
      Bytes pointer(4);
      PutU32(pointer.data(), RowPointer{target, slot}.ToU32());
      ReplaceRow(file_.MutablePage(where.page), where.row, pointer, kRowOverflow);
    }

    for (size_t i = 0; i < p.keys.size(); ++i) {
      if (!changed[i]) continue;
      if (old_indexed[i]) Index(i).Remove(old_keys[i], where);
      if (p.indexed[i]) Index(i).Insert(p.keys[i], where);
      if (new_key[i]) ++def_->real_indexes[i].unique_entry_count;
    }
    WriteCounters();
    op.Commit();
  } catch (...) {
    ReloadAfterFailure();
    throw;
  }
}

void TableWriter::Delete(RowLocator where) {
  const auto place = LocateRow(file_, *def_, where);
  if (!place) throw Error(kErrNoCurrentRecord, "No current record: the row has been deleted.");
  const RowPointer data = place->data;
  const bool relocated = place->relocated();
  const std::vector<Value> old_values = DecodeRow(file_, *def_, place->bytes, data.page);
  std::vector<Bytes> long_values(def_->columns.size());
  const std::vector<StoredField> fields = SplitRow(*def_, place->bytes, data.page);
  for (size_t k = 0; k < fields.size(); ++k) {
    if (def_->columns[k].is_long_value() && fields[k].present) {
      long_values[k].assign(fields[k].bytes.begin(), fields[k].bytes.end());
    }
  }

  try {
    PageFile::Operation op(file_);
    for (size_t i = 0; i < def_->real_indexes.size(); ++i) {
      const RealIndexDef& index = def_->real_indexes[i];
      Bytes& key = update_scratch_->key;
      EncodeIndexKeyTo(index, *def_, old_values, key);
      if (index.ignores_nulls() && IsAllNullKey(key, index)) continue;
      Index(i).Remove(key, where);
    }
    for (size_t k = 0; k < long_values.size(); ++k) {
      if (!long_values[k].empty()) {
        FreeLongValue(file_, db_.allocator(), *def_, def_->columns[k], long_values[k]);
      }
    }
    if (relocated) DeleteRow(file_.MutablePage(data.page), data.row);
    DeleteRow(file_.MutablePage(where.page), where.row);
    // A stale count of 0 stays 0 rather than wrapping round (see Insert).
    if (def_->row_count > 0) --def_->row_count;
    WriteCounters();
    op.Commit();
  } catch (...) {
    ReloadAfterFailure();
    throw;
  }
}

}  // namespace jet
