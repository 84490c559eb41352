#include "jet/database.h"

#include <algorithm>

#include "jet/error.h"

namespace jet {
namespace {

// MSysObjects is always defined on page 2.
constexpr uint32_t kCatalogPage = 2;

template <typename T>
T ValueOr(const std::vector<Value>& row, int index, T fallback) {
  if (index < 0 || !row[index].Is<T>()) return fallback;
  return row[index].As<T>();
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, OpenMode mode) {
  return Open(std::make_unique<PageFile>(path, mode));
}

std::unique_ptr<Database> Database::Open(std::unique_ptr<PageFile> file) {
  const std::string& path = file->path();
  if (file->page_count() <= kCatalogPage) {
    throw Error(kErrUnrecognizedFormat, "Cannot open '" + path +
                                            "': unrecognized database format (the file is too "
                                            "short to be an Access database).");
  }
  std::unique_ptr<Database> db(new Database(std::move(file)));
  db->LoadCatalog();
  return db;
}

Database::Database(std::unique_ptr<PageFile> file)
    : file_(std::move(file)), header_(ParseHeader(file_->Page(0), file_->path())) {}

const TableDef& Database::TableDefAt(uint32_t page) {
  for (const auto& [p, def] : defs_) {
    if (p == page) return *def;
  }
  defs_.emplace_back(page, std::make_unique<TableDef>(ReadTableDef(*file_, page)));
  return *defs_.back().second;
}

TableDef& Database::MutableTableDef(uint32_t page) {
  TableDefAt(page);
  for (auto& [p, def] : defs_) {
    if (p == page) return *def;
  }
  throw std::logic_error("table definition not cached");
}

const TableDef& Database::ReloadTableDef(uint32_t page) {
  for (auto& [p, def] : defs_) {
    if (p == page) {
      *def = ReadTableDef(*file_, page);
      return *def;
    }
  }
  return TableDefAt(page);
}

void Database::ReloadCatalog() {
  catalog_.clear();
  LoadCatalog();
}

void Database::LoadCatalog() {
  const TableDef& def = TableDefAt(kCatalogPage);
  auto column = [&](const char* name) {
    const ColumnDef* c = def.ColumnByName(name);
    if (c == nullptr) return -1;
    return static_cast<int>(c - def.columns.data());
  };
  const int id = column("Id"), parent = column("ParentId"), name = column("Name"),
            type = column("Type"), flags = column("Flags");
  if (id < 0 || name < 0 || type < 0) {
    ThrowCorrupt(kCatalogPage, "the system catalog lacks its Id, Name or Type column");
  }
  Table catalog(*file_, def, "MSysObjects");
  for (auto cursor = catalog.Scan(); cursor.Next();) {
    const auto& row = cursor.values();
    CatalogEntry e;
    e.name = ValueOr<std::string>(row, name, "");
    e.id = ValueOr<int32_t>(row, id, 0);
    e.parent_id = ValueOr<int32_t>(row, parent, 0);
    e.type = ValueOr<int16_t>(row, type, 0);
    e.flags = ValueOr<int32_t>(row, flags, 0);
    catalog_.push_back(std::move(e));
  }
}

std::vector<std::string> Database::TableNames() const {
  std::vector<std::string> names;
  for (const auto& e : catalog_) {
    if (e.type == kObjectTypeTable && (e.flags & kSystemObjectFlags) == 0) names.push_back(e.name);
  }
  return names;
}

const CatalogEntry* Database::FindTable(std::string_view name) const {
  // Callers nearly always spell a table's name as the catalog does: the exact spelling is
  // tried first, without the case folding. The catalog's names are unique under Jet's
  // comparison (its unique index on them), so an exact match is the only match.
  for (const auto& e : catalog_) {
    if (e.type == kObjectTypeTable && e.name == name) return &e;
  }
  for (const auto& e : catalog_) {
    if (e.type == kObjectTypeTable && NamesEqual(e.name, name)) return &e;
  }
  return nullptr;
}

Table Database::OpenTable(std::string_view name) {
  const CatalogEntry* entry = FindTable(name);
  if (entry == nullptr) {
    throw Error(kErrTableNotFound, "Cannot find the table '" + std::string(name) +
                                       "'. Make sure it exists and that its name is spelled "
                                       "correctly.");
  }
  return Table(*file_, TableDefAt(entry->tdef_page()), entry->name);
}

}  // namespace jet
