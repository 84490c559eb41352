#include "db/dao_database.h"

#include "db/dao_database_impl.h"
#include "db/dao_errors.h"
#include "db/dao_file.h"

namespace db {

OpenFile& DatabaseImpl::file() {
  if (!file_) ThrowDao(kErrObjectClosed);
  return *file_;
}

const std::shared_ptr<OpenFile>& DatabaseImpl::shared_file() {
  file();
  return file_;
}

void DatabaseImpl::Opened(const Recordset& rs) {
  std::erase_if(recordsets_, [](const auto& r) { return r.expired(); });
  recordsets_.push_back(rs.impl_);
}

void DatabaseImpl::Close() {
  for (const auto& r : recordsets_) {
    if (auto impl = r.lock()) Recordset(std::move(impl)).Close();
  }
  recordsets_.clear();
  file_.reset();
}

DatabaseImpl& Database::impl() const {
  if (!impl_ || !impl_->open()) ThrowDao(kErrObjectClosed);
  return *impl_;
}

Recordset Database::OpenRecordset(std::string_view source) {
  DatabaseImpl& d = impl();
  Recordset rs = Recordset::Open(d.shared_file(), source);
  d.Opened(rs);
  return rs;
}

TableDef Database::TableDefs(std::string_view name) {
  DatabaseImpl& d = impl();
  jet::Database& database = d.file().database();
  const jet::CatalogEntry* entry = database.FindTable(name);
  if (entry == nullptr) ThrowDao(kErrItemNotFound);
  return TableDef(d.shared_file(), entry->name, database.TableDefAt(entry->tdef_page()));
}

const std::string& Database::Name() const { return impl().name(); }

void Database::Close() {
  if (impl_) impl_->Close();
}

bool Database::IsOpen() const { return impl_ && impl_->open(); }

}  // namespace db
