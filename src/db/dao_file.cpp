#include "db/dao_file.h"

namespace db {

OpenFile::OpenFile(const std::string& path, jet::OpenMode mode)
    : path_(path), database_(jet::Database::Open(path, mode)) {}

jet::TableWriter& OpenFile::Writer(const jet::Table& table) {
  auto& writer = writers_[table.def().page];
  if (!writer) writer = std::make_unique<jet::TableWriter>(*database_, table.name());
  return *writer;
}

void OpenFile::Written(uint32_t tdef_page) {
  cache_.Invalidate(tdef_page);
  ++generation_;
}

}  // namespace db
