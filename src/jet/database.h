// The engine's entry point: a Jet 4 database file, its catalog and its tables.
//
// Format: docs/format.md, catalog and system tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/header.h"
#include "jet/key_verifier.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/table.h"
#include "jet/table_def.h"

namespace jet {

// One row of MSysObjects, as much of it as the engine needs.
struct CatalogEntry {
  std::string name;
  int32_t id = 0;
  int32_t parent_id = 0;
  int16_t type = 0;
  int32_t flags = 0;

  uint32_t tdef_page() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
};

constexpr int16_t kObjectTypeTable = 1;
constexpr int32_t kSystemObjectFlags = static_cast<int32_t>(0x80000002);

class Database {
 public:
  // Opens an existing database, read-only unless asked. Throws Error (see header.h and
  // page_file.h for the refusals) and corrupt-database errors naming the page.
  static std::unique_ptr<Database> Open(const std::string& path,
                                        OpenMode mode = OpenMode::kReadOnly);
  // The same over a page file already opened (for instance one over an image in memory).
  static std::unique_ptr<Database> Open(std::unique_ptr<PageFile> file);

  const DatabaseHeader& header() const { return header_; }
  PageFile& file() { return *file_; }
  const std::string& path() const { return file_->path(); }

  // Every catalog row, deleted rows excluded, in physical order.
  const std::vector<CatalogEntry>& catalog() const { return catalog_; }
  // User tables (type 1, not system), in catalog order.
  std::vector<std::string> TableNames() const;
  // A user or system table by name, compared case-insensitively. Throws 3078 when absent.
  Table OpenTable(std::string_view name);
  // The catalog row of a local table by name, or nullptr.
  const CatalogEntry* FindTable(std::string_view name) const;
  // Table definition at a tdef page, decoded once and cached.
  const TableDef& TableDefAt(uint32_t page);
  // Decodes the definition at `page` again after it was written; references to the cached
  // definition stay valid and see the new contents.
  const TableDef& ReloadTableDef(uint32_t page);
  // The cached definition, for a writer that keeps it in step with the pages it changes.
  TableDef& MutableTableDef(uint32_t page);
  // Allocates and frees the file's pages (databases opened for writing).
  PageAllocator& allocator() { return allocator_; }
  // Reads the catalog again, after rows were added to or removed from MSysObjects.
  void ReloadCatalog();
  // Whether the text keys of each index are as we build them, found out once a session
  // before the writer first adds to the index.
  KeyVerdicts& key_verdicts() { return key_verdicts_; }

 private:
  explicit Database(std::unique_ptr<PageFile> file);
  void LoadCatalog();

  std::unique_ptr<PageFile> file_;
  PageAllocator allocator_{*file_};
  DatabaseHeader header_;
  std::vector<CatalogEntry> catalog_;
  std::vector<std::pair<uint32_t, std::unique_ptr<TableDef>>> defs_;
  KeyVerdicts key_verdicts_;
};

}  // namespace jet
