#include "jet/create.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/index_writer.h"
#include "jet/native_path.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/stamp_time.h"
#include "jet/table_def_writer.h"
#include "jet/table_writer.h"
#include "jet/text.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

// Catalog ids of the objects every database has.
constexpr int32_t kRootId = 0x0F000000;
constexpr int32_t kTablesId = 0x0F000001;
constexpr int32_t kDatabasesId = 0x0F000002;
constexpr int32_t kRelationshipsId = 0x0F000003;
constexpr int32_t kMSysDbId = 0x10000000;
constexpr int32_t kSystemObject = static_cast<int32_t>(0x80000000);
constexpr int16_t kObjectTypeDatabase = 2;
constexpr int16_t kObjectTypeContainer = 3;

constexpr uint32_t kCatalogPage = 2;
constexpr uint32_t kAcesPage = 3;

constexpr uint8_t kTableTypeUser = 0x4E;
constexpr uint8_t kTableTypeSystem = 0x53;
constexpr uint16_t kGeneralLcid = 1033;

// Column flags as Jet writes them: 0x02 "updatable" always; system tables add 0x10, and
// their security-identifier columns 0x20.
constexpr uint8_t kColumnUpdatable = 0x02;
constexpr uint8_t kSystemColumn = 0x10;
constexpr uint8_t kSidColumn = 0x20;
constexpr uint8_t kIndexAlways = 0x80;  // on every index Access 2000 and later write
constexpr uint8_t kCascadeNone = 0x04;  // Access's value for indexes that are not foreign keys

constexpr size_t kMapRowSize = 69;  // inline map: type, start page, 64 bitmap bytes
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxIndexColumns = 10;

// The security identifiers the Jet engine puts in a new database: the engine, the creating
// user, the "creator" placeholder and the administrators' group.
const Bytes kEngineSid{0x65, 0x89};
const Bytes kUserSid{0x64, 0x8B};
const Bytes kCreatorSid{0x65, 0x8E};
const Bytes kAdminsSid{0x65, 0x8B};
const Bytes kDefaultOwner{0xA6, 0x33};

// Rights masks (ACM) of the Jet engine's access-control entries.
constexpr int32_t kFullAccess = 1048575;

// ---- Header ----

constexpr size_t kOffVersion = 20;
constexpr size_t kOffCodePage = 60;
constexpr size_t kOffPassword = 66;
constexpr size_t kPasswordBytes = 40;
constexpr size_t kOffHeaderSalt = 106;
constexpr size_t kOffSortOrder = 110;
constexpr size_t kOffCreationDate = 114;

void WriteHeader(uint8_t* page, double creation_date) {
  static const char kEngineName[] = "Standard Jet DB";
  static const uint8_t kConstants[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                         0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                         0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  std::memset(page, 0, kPageSize);
  page[1] = 0x01;
  std::memcpy(page + 4, kEngineName, sizeof kEngineName);
  PutU32(page + kOffVersion, static_cast<uint32_t>(JetVersion::kJet4));
  std::memcpy(page + kHeaderMaskOffset, kConstants, sizeof kConstants);
  PutU16(page + kOffCodePage, 1252);
  // An empty password is the password mask alone: the whole days of the creation date.
  const auto days = static_cast<uint32_t>(static_cast<int64_t>(std::floor(creation_date)));
  for (size_t i = 0; i < kPasswordBytes; i += 4) PutU32(page + kOffPassword + i, days);
  // Varies from file to file in Jet's own databases; we vary it with the time of creation.
  const double seconds = (creation_date - std::floor(creation_date)) * 86400.0;
  PutU32(page + kOffHeaderSalt, static_cast<uint32_t>(seconds) & 0xFFFF);
  PutU16(page + kOffSortOrder, kGeneralLcid);
  uint64_t date_bits;
  std::memcpy(&date_bits, &creation_date, 8);
  PutU64(page + kOffCreationDate, date_bits);
  const uint8_t* mask = HeaderMask();
  for (size_t i = 0; i < kHeaderMaskLength; ++i) page[kHeaderMaskOffset + i] ^= mask[i];
  PutU32(page + 152, 0x654);
  std::memcpy(page + 156, "4.0", 4);
  // A table Jet keeps at the end of the header page.
  page[3584] = 0x01;
  for (size_t i = 3585; i < kPageSize; i += 2) page[i] = 0x01;
}

// Page 1: the global usage map (row 0, a set bit = free page) and an empty second row.
void WriteGlobalMapPage(uint8_t* page, uint32_t pages_in_use) {
  InitDataPage(page, 1);
  Bytes map(kMapRowSize, 0);
  for (uint32_t p = pages_in_use; p < (kMapRowSize - 5) * 8; ++p) {
    map[5 + p / 8] |= static_cast<uint8_t>(1u << (p % 8));
  }
  AddRow(page, map);
  AddRow(page, Bytes(kMapRowSize, 0));
}

// ---- Definitions ----

bool LessName(const std::string& a, const std::string& b) {
  const std::u16string x = Utf8ToUtf16(a), y = Utf8ToUtf16(b);
  return std::lexicographical_compare(
      x.begin(), x.end(), y.begin(), y.end(), [](char16_t p, char16_t q) {
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; };
        return fold(p) < fold(q);
      });
}

// Fills in column numbers (definition order), variable-table indexes, packed fixed offsets
// and the table's column counts. Long values take the last var indexes when asked, as
// Access does for the tables it creates.
void NumberColumns(TableDef& def, bool long_values_last) {
  uint16_t var_index = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (ColumnDef& c : def.columns) {
      if (c.is_fixed()) continue;
      const bool second = long_values_last && c.is_long_value();
      if ((pass == 1) == second) c.var_index = var_index++;
    }
  }
  uint16_t offset = 0, vars_before = 0;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    ColumnDef& c = def.columns[i];
    c.number = static_cast<uint16_t>(i);
    if (c.is_fixed()) {
      c.var_index = vars_before;
      if (c.type != ColumnType::kBoolean) {
        c.fixed_offset = offset;
        offset = static_cast<uint16_t>(offset + c.length);
      }
    } else {
      ++vars_before;
    }
  }
  def.max_cols = def.col_count = static_cast<uint16_t>(def.columns.size());
  def.var_col_count = vars_before;
}

struct SystemColumn {
  const char* name;
  ColumnType type;
  uint16_t length;
  uint8_t flags;
};

struct SystemIndex {
  const char* name;  // logical index names are stored sorted by name
  uint32_t number;
  std::vector<uint16_t> columns;  // of the real index numbered `number`, ascending
  uint8_t flags;
  LogicalIndexType type;
};

TableDef SystemTableDef(uint32_t page, const std::vector<SystemColumn>& columns,
                        const std::vector<SystemIndex>& indexes) {
  TableDef def;
  def.page = page;
  def.pages = {page};
  def.table_type = kTableTypeSystem;
  for (const SystemColumn& s : columns) {
    ColumnDef c;
    c.name = s.name;
    c.type = s.type;
    c.length = s.length;
    c.flags = s.flags;
    c.sort_lcid = kGeneralLcid;
    def.columns.push_back(c);
  }
  NumberColumns(def, false);
  // Jet stores its system tables' descriptors in name order.
  std::vector<size_t> order(def.columns.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return LessName(def.columns[a].name, def.columns[b].name);
  });
  for (size_t k = 0; k < order.size(); ++k) {
    def.columns[order[k]].descriptor_index = static_cast<uint32_t>(k);
  }
  def.real_indexes.resize(indexes.size());
  for (const SystemIndex& s : indexes) {
    RealIndexDef& r = def.real_indexes[s.number];
    r.number = s.number;
    for (uint16_t n : s.columns) r.columns.push_back({n, true});
    r.flags = s.flags;
    LogicalIndexDef l;
    l.name = s.name;
    l.number = s.number;
    l.real_index = s.number;
    l.cascade_updates = l.cascade_deletes = kCascadeNone;
    l.type = s.type;
    def.indexes.push_back(l);
  }
  return def;
}

constexpr uint8_t kSysFixed = kSystemColumn | kColumnUpdatable | kColumnFixed;  // 0x13
constexpr uint8_t kSysVar = kSystemColumn | kColumnUpdatable;                   // 0x12
constexpr uint8_t kSysSid = kSidColumn | kSysVar;                               // 0x32

std::vector<TableDef> SystemTableDefs() {
  using T = ColumnType;
  using L = LogicalIndexType;
  std::vector<TableDef> defs;
  defs.push_back(SystemTableDef(
      kCatalogPage,
      {{"Id", T::kLong, 4, kSysFixed},
       {"ParentId", T::kLong, 4, kSysFixed},
       {"Name", T::kText, 510, kSysVar},
       {"Type", T::kInt, 2, kSysFixed},
       {"DateCreate", T::kDateTime, 8, kSysFixed},
       {"DateUpdate", T::kDateTime, 8, kSysFixed},
       {"Owner", T::kBinary, 510, kSysSid},
       {"Flags", T::kLong, 4, kSysFixed},
       {"Database", T::kMemo, 0, kSysVar},
       {"Connect", T::kMemo, 0, kSysVar},
       {"ForeignName", T::kText, 510, kSysVar},
       {"RmtInfoShort", T::kBinary, 510, kSysVar},
       {"RmtInfoLong", T::kOle, 0, kSysVar},
       {"Lv", T::kOle, 0, kSysVar},
       {"LvProp", T::kOle, 0, kSysVar},
       {"LvModule", T::kOle, 0, kSysVar},
       {"LvExtra", T::kOle, 0, kSysVar}},
      {{"Id", 1, {0}, 0x81, L::kPrimaryKey}, {"ParentIdName", 0, {1, 2}, 0x81, L::kNormal}}));
  defs.push_back(SystemTableDef(kAcesPage,
                                {{"ObjectId", T::kLong, 4, kSysFixed},
                                 {"SID", T::kBinary, 510, kSysSid},
                                 {"ACM", T::kLong, 4, kSysFixed},
                                 {"FInheritable", T::kBoolean, 1, kSysFixed}},
                                {{"ObjectId", 0, {0}, 0x88, L::kNormal}}));
  defs.push_back(SystemTableDef(4,
                                {{"ObjectId", T::kLong, 4, kSysFixed},
                                 {"Attribute", T::kByte, 1, kSysFixed},
                                 {"Order", T::kBinary, 510, kSysVar},
                                 {"Name1", T::kText, 510, kSysVar},
                                 {"Name2", T::kText, 510, kSysVar},
                                 {"Expression", T::kMemo, 0, kSysVar},
                                 {"Flag", T::kInt, 2, kSysFixed},
                                 {"LvExtra", T::kLong, 4, kSysFixed}},
                                {{"ObjectIdAttribute", 0, {0, 1, 2}, 0x81, L::kPrimaryKey}}));
  defs.push_back(SystemTableDef(5,
                                {{"szRelationship", T::kText, 510, kSysVar},
                                 {"grbit", T::kLong, 4, kSysFixed},
                                 {"ccolumn", T::kLong, 4, kSysFixed},
                                 {"icolumn", T::kLong, 4, kSysFixed},
                                 {"szObject", T::kText, 510, kSysVar},
                                 {"szColumn", T::kText, 510, kSysVar},
                                 {"szReferencedObject", T::kText, 510, kSysVar},
                                 {"szReferencedColumn", T::kText, 510, kSysVar}},
                                {{"szObject", 1, {4}, 0x82, L::kNormal},
                                 {"szReferencedObject", 2, {6}, 0x82, L::kNormal},
                                 {"szRelationship", 0, {0}, 0x82, L::kNormal}}));
  return defs;
}

// ---- Pages of a new table ----

// Adds an empty inline usage map row, on `map_page` while it has room, else on a new page.
RowPointer AddMapRow(PageFile& file, PageAllocator& allocator, uint32_t& map_page) {
  if (map_page == 0 || !HasRoomFor(file.Page(map_page), kMapRowSize)) {
    map_page = allocator.Allocate();
    InitDataPage(file.MutablePage(map_page), 0);
  }
  const Bytes row(kMapRowSize, 0);
  const auto slot = static_cast<uint8_t>(AddRow(file.MutablePage(map_page), row));
  return {map_page, slot};
}

// Gives `def` its usage maps (owned, free space, a pair per long-value column, one per
// index, in the order Jet lays them out) and index roots, then writes the definition on its
// page. Inside an operation.
void LayOutTable(PageFile& file, PageAllocator& allocator, TableDef& def, uint32_t& map_page) {
  def.owned_map = AddMapRow(file, allocator, map_page);
  def.free_space_map = AddMapRow(file, allocator, map_page);
  std::vector<LongValueMaps> maps;
  for (const ColumnDef& c : def.columns) {
    if (!c.is_long_value()) continue;
    LongValueMaps m;
    m.column_number = c.number;
    m.owned = AddMapRow(file, allocator, map_page);
    m.free_space = AddMapRow(file, allocator, map_page);
    maps.push_back(m);
  }
  // Listed in descriptor order.
  std::stable_sort(maps.begin(), maps.end(), [&](const LongValueMaps& a, const LongValueMaps& b) {
    return def.ColumnByNumber(a.column_number)->descriptor_index <
           def.ColumnByNumber(b.column_number)->descriptor_index;
  });
  def.long_value_maps = maps;
  for (RealIndexDef& r : def.real_indexes) r.usage_map = AddMapRow(file, allocator, map_page);
  for (RealIndexDef& r : def.real_indexes) {
    r.root_page = allocator.Allocate();
    IndexPage root;
    root.number = r.root_page;
    root.leaf = true;
    root.tdef_page = def.page;
    EncodeIndexPage(root, file.MutablePage(r.root_page));
    UsageMapAdd(file, allocator, r.usage_map, r.root_page);
  }
  def.pages = {def.page};
  WriteTableDef(file, allocator, def);
}

// ---- Catalog rows ----

std::vector<Value> RowByName(const TableDef& def,
                             const std::vector<std::pair<const char*, Value>>& fields) {
  std::vector<Value> row(def.columns.size());
  for (const auto& [name, value] : fields) {
    const ColumnDef* c = def.ColumnByName(name);
    if (c == nullptr) ThrowCorrupt(def.page, std::string("the system table lacks column ") + name);
    row[static_cast<size_t>(c - def.columns.data())] = value;
  }
  return row;
}

void InsertObject(TableWriter& objects, int32_t id, int32_t parent, const std::string& name,
                  int16_t type, double date, const Bytes& owner, int32_t flags) {
  objects.Insert(RowByName(objects.def(), {{"Id", id},
                                           {"ParentId", parent},
                                           {"Name", name},
                                           {"Type", type},
                                           {"DateCreate", DateTime{date}},
                                           {"DateUpdate", DateTime{date}},
                                           {"Owner", owner},
                                           {"Flags", flags}}));
}

void InsertAce(TableWriter& aces, int32_t object, const Bytes& sid, int32_t acm, bool inherit) {
  aces.Insert(RowByName(
      aces.def(), {{"ObjectId", object}, {"SID", sid}, {"ACM", acm}, {"FInheritable", inherit}}));
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// ---- Table specifications ----

[[noreturn]] void Invalid(int number, const std::string& message) { throw Error(number, message); }

void CheckName(const std::string& name, const char* what) {
  const std::u16string text = Utf8ToUtf16(name);
  bool ok = !text.empty() && text.size() <= kMaxNameLength && text.front() != u' ';
  for (char16_t c : text) {
    if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') ok = false;
  }
  if (!ok) {
    Invalid(kErrInvalidName, "'" + name + "' is not a valid " + what +
                                 " name: 1 to 64 characters, not starting with a space, without "
                                 ". ! ` [ ] or control characters.");
  }
}

ColumnDef ColumnFromDesign(const ColumnDesign& s) {
  ColumnDef c;
  c.name = s.name;
  c.type = s.type;
  c.flags = kColumnUpdatable;
  c.sort_lcid = kGeneralLcid;
  auto fixed = [&](uint16_t length) {
    c.flags |= kColumnFixed;
    c.length = length;
  };
  auto bad = [&](const std::string& why) {
    Invalid(kErrInvalidFieldDefinition, "Invalid field definition '" + s.name + "': " + why);
  };
  switch (s.type) {
    case ColumnType::kBoolean:
    case ColumnType::kByte:
      fixed(1);
      break;
    case ColumnType::kInt:
      fixed(2);
      break;
    case ColumnType::kLong:
    case ColumnType::kFloat:
      fixed(4);
      break;
    case ColumnType::kMoney:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
      fixed(8);
      break;
    case ColumnType::kGuid:
      fixed(16);
      break;
    case ColumnType::kNumeric:
      // Access keeps decimals in the fixed area, 17 bytes each.
      if (s.precision < 1 || s.precision > 28) bad("the precision must be 1 to 28");
      if (s.scale > s.precision) bad("the scale must not exceed the precision");
      fixed(17);
      c.precision = s.precision;
      c.scale = s.scale;
      c.sort_lcid = 0;
      break;
    case ColumnType::kText: {
      const uint16_t size = s.size == 0 ? 255 : s.size;
      if (size > 255) bad("a text field holds 1 to 255 characters");
      c.length = static_cast<uint16_t>(2 * size);
      break;
    }
    case ColumnType::kBinary: {
      const uint16_t size = s.size == 0 ? 510 : s.size;
      if (size > 510) bad("a binary field holds 1 to 510 bytes");
      c.length = size;
      break;
    }
    case ColumnType::kMemo:
    case ColumnType::kOle:
      break;
    default:
      Invalid(kErrInvalidFieldType, "Invalid field data type for '" + s.name + "'.");
  }
  if (s.fixed_length) {
    if (s.type != ColumnType::kText && s.type != ColumnType::kBinary) {
      bad("only TEXT and BINARY fields can be declared fixed-length");
    }
    c.flags |= kColumnFixed;
  }
  if (s.hyperlink) {
    if (s.type != ColumnType::kMemo) bad("only MEMO fields can hold hyperlinks");
    c.flags |= kColumnHyperlink;
  }
  if ((s.type == ColumnType::kText || s.type == ColumnType::kMemo) && s.compressed_unicode) {
    c.ext_flags = kColumnCompressedUnicode;
  }
  if (s.autonumber) {
    if (s.type == ColumnType::kLong) {
      c.flags |= kColumnAutoLong;
    } else if (s.type == ColumnType::kGuid) {
      c.flags |= kColumnAutoGuid;
    } else {
      bad("only LONG and GUID fields can be AutoNumber fields");
    }
  }
  return c;
}

const CatalogEntry* FindObject(const Database& db, int32_t parent, std::string_view name) {
  for (const CatalogEntry& e : db.catalog()) {
    if (e.parent_id == parent && NamesEqual(e.name, name)) return &e;
  }
  return nullptr;
}

}  // namespace

double NowAsOleDate() {
  const std::time_t now = StampTime();
  const std::tm local = *std::localtime(&now);
  const int64_t days = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                     static_cast<unsigned>(local.tm_mday)) -
                       DaysFromCivil(1899, 12, 30);
  const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59);
  return static_cast<double>(days) + seconds / 86400.0;
}

TableDef BuildTableDef(const TableDesign& layout) {
  CheckName(layout.name, "table");
  if (layout.columns.empty() || layout.columns.size() > kMaxColumns) {
    Invalid(kErrInvalidFieldDefinition, "Table '" + layout.name + "' needs 1 to 255 fields, not " +
                                            std::to_string(layout.columns.size()) + ".");
  }
  TableDef def;
  def.table_type = kTableTypeUser;
  bool auto_long = false;
  for (const ColumnDesign& s : layout.columns) {
    CheckName(s.name, "field");
    for (const ColumnDef& other : def.columns) {
      if (NamesEqual(other.name, s.name)) {
        Invalid(kErrFieldDefinedTwice, "Cannot define field '" + s.name + "' more than once.");
      }
    }
    def.columns.push_back(ColumnFromDesign(s));
    if (def.columns.back().is_auto_long()) {
      if (auto_long) {
        Invalid(kErrInvalidFieldDefinition,
                "Table '" + layout.name + "' can have only one AutoNumber (Long) field.");
      }
      auto_long = true;
    }
  }
  NumberColumns(def, true);
  for (ColumnDef& c : def.columns) c.descriptor_index = c.number;
  if (def.FixedAreaSize() > kMaxRowSize - 64) {
    Invalid(kErrInvalidFieldDefinition,
            "Table '" + layout.name + "': the fixed-size fields take too many bytes for a record.");
  }

  // Logical indexes are stored in name order and numbered in it; each has its own real index.
  std::vector<IndexDesign> indexes = layout.indexes;
  bool have_primary = false;
  for (IndexDesign& x : indexes) {
    if (x.name.empty()) {
      x.name = x.primary ? "PrimaryKey" : (x.columns.empty() ? "" : x.columns.front().column);
    }
    CheckName(x.name, "index");
    if (x.primary) {
      if (have_primary) {
        Invalid(kErrPrimaryKeyExists, "Table '" + layout.name + "' already has a primary key.");
      }
      have_primary = true;
    }
    if (x.columns.empty() || x.columns.size() > kMaxIndexColumns) {
      Invalid(kErrInvalidFieldDefinition, "Index '" + x.name + "' needs 1 to 10 fields.");
    }
  }
  std::stable_sort(indexes.begin(), indexes.end(), [](const IndexDesign& a, const IndexDesign& b) {
    return LessName(a.name, b.name);
  });
  for (size_t i = 0; i < indexes.size(); ++i) {
    const IndexDesign& x = indexes[i];
    if (i > 0 && NamesEqual(indexes[i - 1].name, x.name)) {
      Invalid(kErrIndexExists, "Index '" + x.name + "' already exists.");
    }
    RealIndexDef r;
    r.number = static_cast<uint32_t>(i);
    for (const IndexColumnDesign& ic : x.columns) {
      const ColumnDef* c = def.ColumnByName(ic.column);
      if (c == nullptr) {
        Invalid(kErrItemNotFound, "Index '" + x.name + "' names field '" + ic.column +
                                      "', which is not in table '" + layout.name + "'.");
      }
      if (c->is_long_value()) {
        Invalid(kErrInvalidFieldDefinition,
                "Index '" + x.name + "': MEMO and OLE fields cannot be indexed.");
      }
      for (const IndexColumn& seen : r.columns) {
        if (seen.column_number == c->number) {
          Invalid(kErrInvalidFieldDefinition,
                  "Index '" + x.name + "' names field '" + c->name + "' twice.");
        }
      }
      r.columns.push_back({c->number, ic.ascending});
    }
    r.flags = kIndexAlways;
    if (x.primary || x.unique) r.flags |= kIndexUnique;
    if (x.ignore_nulls && !x.primary) r.flags |= kIndexIgnoreNulls;
    if (x.primary || x.required) r.flags |= kIndexRequired;
    def.real_indexes.push_back(r);

    LogicalIndexDef l;
    l.name = x.name;
    l.number = static_cast<uint32_t>(i);
    l.real_index = static_cast<uint32_t>(i);
    l.cascade_updates = l.cascade_deletes = kCascadeNone;
    l.type = x.primary ? LogicalIndexType::kPrimaryKey : LogicalIndexType::kNormal;
    def.indexes.push_back(l);
  }
  return def;
}

Bytes CreateDatabaseImage(std::optional<double> creation_date) {
  const double date = creation_date ? *creation_date : NowAsOleDate();
  Bytes image(2 * kPageSize, 0);
  WriteHeader(image.data(), date);
  WriteGlobalMapPage(image.data() + kPageSize, 2);

  auto file = std::make_unique<PageFile>("new database", std::move(image), OpenMode::kReadWrite);
  {
    PageAllocator allocator(*file);
    PageFile::Operation op(*file);
    std::vector<TableDef> defs = SystemTableDefs();
    for (TableDef& def : defs) {
      if (allocator.Allocate() != def.page) throw std::logic_error("system tables out of place");
    }
    uint32_t map_page = 0;
    for (TableDef& def : defs) LayOutTable(*file, allocator, def, map_page);
    op.Commit();
  }

  auto db = Database::Open(std::move(file));
  db->key_verdicts().TrustAll();  // every key of the new file is ours
  {
    PageFile::Operation op(db->file());
    TableWriter objects(*db, kCatalogPage, "MSysObjects");
    const int32_t sys = kSystemObject;
    InsertObject(objects, kTablesId, kRootId, "Tables", kObjectTypeContainer, date, kEngineSid,
                 sys);
    InsertObject(objects, kDatabasesId, kRootId, "Databases", kObjectTypeContainer, date,
                 kEngineSid, sys);
    InsertObject(objects, kRelationshipsId, kRootId, "Relationships", kObjectTypeContainer, date,
                 kEngineSid, sys);
    InsertObject(objects, kMSysDbId, kDatabasesId, "MSysDb", kObjectTypeDatabase, date, kUserSid,
                 sys);
    const char* tables[] = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
    for (int32_t i = 0; i < 4; ++i) {
      InsertObject(objects, 2 + i, kTablesId, tables[i], kObjectTypeTable, date, kEngineSid, sys);
    }

    // The entries the Jet engine gives its own objects.
    TableWriter aces(*db, kAcesPage, "MSysACEs");
    InsertAce(aces, 2, kUserSid, 393216, false);
    InsertAce(aces, 3, kUserSid, 393216, false);
    InsertAce(aces, 4, kUserSid, 393216, false);
    InsertAce(aces, 5, kUserSid, 917504, false);
    InsertAce(aces, kTablesId, kCreatorSid, 983294, true);
    InsertAce(aces, kTablesId, kUserSid, 393217, false);
    InsertAce(aces, kRelationshipsId, kCreatorSid, 983294, true);
    InsertAce(aces, kRelationshipsId, kUserSid, 393217, false);
    InsertAce(aces, kDatabasesId, kUserSid, 393216, false);
    InsertAce(aces, kMSysDbId, kUserSid, 393230, false);
    InsertAce(aces, kMSysDbId, kAdminsSid, 14, false);
    InsertAce(aces, 4, kAdminsSid, 20, false);
    InsertAce(aces, 5, kAdminsSid, 20, false);
    InsertAce(aces, 2, kAdminsSid, 20, false);
    InsertAce(aces, kTablesId, kAdminsSid, 1048319, true);
    InsertAce(aces, kRelationshipsId, kAdminsSid, kFullAccess, true);
    op.Commit();
  }
  return db->file().image();
}

void CreateDatabase(const std::string& path) {
  const Bytes image = CreateDatabaseImage();
  // "x": never replace a file, not even one that appears between a check and the write.
  std::FILE* out = OpenCFile(path, "wbx");
  if (out == nullptr) {
    if (errno == EEXIST) {
      throw Error(kErrDatabaseExists, "Database '" + path +
                                          "' already exists; a new database is never written "
                                          "over an existing file.");
    }
    throw Error(kErrCannotOpenFile,
                "Cannot create '" + path + "': " + std::string(std::strerror(errno)) + ".");
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    std::error_code ignored;
    std::filesystem::remove(U8Path(path), ignored);
    throw Error(kErrIo, "Cannot write the new database '" + path + "'.");
  }
}

void CreateTable(Database& db, const TableDesign& layout) {
  TableDef def = BuildTableDef(layout);
  if (db.FindTable(layout.name) != nullptr) {
    Invalid(kErrTableExists, "Table '" + layout.name + "' already exists.");
  }
  const CatalogEntry* tables = FindObject(db, kRootId, "Tables");
  if (tables == nullptr) ThrowCorrupt(kCatalogPage, "the catalog has no \"Tables\" container");
  const int32_t tables_id = tables->id;
  // Text takes the database's sort order, as Access gives it.
  for (ColumnDef& c : def.columns) {
    if (c.type != ColumnType::kNumeric) {
      c.sort_lcid = db.header().sort_lcid == 0 ? kGeneralLcid : db.header().sort_lcid;
      c.sort_version = db.header().sort_version;
    }
  }

  // The owner and access-control entries new tables get: MSysDb's owner, and full access for
  // every identity the "Tables" container lists.
  Bytes owner = kDefaultOwner;
  std::vector<Bytes> sids;
  {
    const Table objects = db.OpenTable("MSysObjects");
    const ColumnDef* name = objects.def().ColumnByName("Name");
    const ColumnDef* owner_column = objects.def().ColumnByName("Owner");
    for (auto cursor = objects.Scan(); cursor.Next();) {
      const auto& row = cursor.values();
      const Value& n = row[static_cast<size_t>(name - objects.columns().data())];
      if (owner_column == nullptr || !n.Is<std::string>() || n.As<std::string>() != "MSysDb") {
        continue;
      }
      const Value& o = row[static_cast<size_t>(owner_column - objects.columns().data())];
      if (o.Is<Bytes>()) owner = o.As<Bytes>();
    }
    const Table aces = db.OpenTable("MSysACEs");
    const ColumnDef* object = aces.def().ColumnByName("ObjectId");
    const ColumnDef* sid = aces.def().ColumnByName("SID");
    if (object == nullptr || sid == nullptr) {
      ThrowCorrupt(aces.def().page, "MSysACEs lacks its ObjectId or SID column");
    }
    for (auto cursor = aces.Scan(); cursor.Next();) {
      const auto& row = cursor.values();
      const Value& o = row[static_cast<size_t>(object - aces.columns().data())];
      const Value& s = row[static_cast<size_t>(sid - aces.columns().data())];
      if (!o.Is<int32_t>() || o.As<int32_t>() != tables_id || !s.Is<Bytes>()) continue;
      if (std::find(sids.begin(), sids.end(), s.As<Bytes>()) == sids.end()) {
        sids.push_back(s.As<Bytes>());
      }
    }
  }

  PageFile& file = db.file();
  const double now = NowAsOleDate();
  try {
    PageFile::Operation op(file);
    PageAllocator& allocator = db.allocator();
    def.page = allocator.Allocate();
    uint32_t map_page = 0;
    LayOutTable(file, allocator, def, map_page);

    TableWriter objects(db, "MSysObjects");
    InsertObject(objects, static_cast<int32_t>(def.page), tables_id, layout.name, kObjectTypeTable,
                 now, owner, 0);
    TableWriter aces(db, "MSysACEs");
    for (const Bytes& s : sids)
      InsertAce(aces, static_cast<int32_t>(def.page), s, kFullAccess, false);
    op.Commit();
    db.key_verdicts().Trust(def.page);  // its keys will all be ours
  } catch (...) {
    // The pages went back as they were; so must what the database cached of them.
    if (const CatalogEntry* e = db.FindTable("MSysObjects")) db.ReloadTableDef(e->tdef_page());
    if (const CatalogEntry* e = db.FindTable("MSysACEs")) db.ReloadTableDef(e->tdef_page());
    db.ReloadCatalog();
    throw;
  }
  db.ReloadCatalog();
}

}  // namespace jet
