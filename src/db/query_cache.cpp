#include "db/query_cache.h"

#include "jet/collation.h"

namespace db {
namespace {

std::string Canonical(double d) {
  if (d == 0) d = 0;  // -0 and 0 are one value
  return jet::ShortestDecimal(d);
}

}  // namespace

std::string QueryCache::HashKey(const jet::Value& v) {
  if (v.Is<std::string>()) {
    const jet::Bytes key = jet::GeneralSortKey(v.As<std::string>());
    return std::string(key.begin(), key.end());
  }
  if (v.Is<uint8_t>()) return std::to_string(v.As<uint8_t>());
  if (v.Is<int16_t>()) return std::to_string(v.As<int16_t>());
  if (v.Is<int32_t>()) return std::to_string(v.As<int32_t>());
  if (v.Is<jet::Currency>()) return std::to_string(v.As<jet::Currency>().scaled);
  if (v.Is<float>()) return Canonical(v.As<float>());
  if (v.Is<double>()) return Canonical(v.As<double>());
  if (v.Is<jet::DateTime>()) return Canonical(v.As<jet::DateTime>().days);
  return jet::DebugString(v);
}

const std::vector<jet::RowLocator>& QueryCache::HashLookup(const jet::Table& table, size_t position,
                                                           const jet::Value& key) {
  const auto id = std::make_pair(table.def().page, position);
  auto it = hashes_.find(id);
  if (it == hashes_.end()) {
    HashIndex index;
    for (auto cursor = table.Scan(); cursor.Next();) {
      const jet::Value& v = cursor.values().at(position);
      if (!v.IsNull()) index[HashKey(v)].push_back(cursor.locator());
    }
    it = hashes_.emplace(id, std::move(index)).first;
    ++hash_builds_;
  }
  static const std::vector<jet::RowLocator> kNone;
  const auto found = it->second.find(HashKey(key));
  return found == it->second.end() ? kNone : found->second;
}

jet::IndexReader& QueryCache::Index(jet::PageFile& file, const jet::Table& table,
                                    uint32_t root_page) {
  auto it = readers_.find(root_page);
  if (it == readers_.end()) {
    it = readers_
             .emplace(root_page,
                      Reader{table.def().page, std::make_unique<jet::IndexReader>(file, root_page)})
             .first;
  }
  return *it->second.reader;
}

void QueryCache::Invalidate(uint32_t tdef_page) {
  std::erase_if(hashes_, [&](const auto& entry) { return entry.first.first == tdef_page; });
}

void QueryCache::Clear() {
  hashes_.clear();
  readers_.clear();
}

}  // namespace db
