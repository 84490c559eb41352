#include "tasks/rule_steps.h"

#include <optional>

namespace tasks {

bool AtEnd(FailureRule& rule, db::Recordset& rs) {
  bool at_end = true;
  rule.Run([&] { at_end = rs.Eof(); });
  return at_end;
}

bool MoveNext(FailureRule& rule, db::Recordset& rs) {
  return rule.Run([&] { rs.MoveNext(); });
}

void Open(FailureRule& rule, db::Database& database, std::string_view source, db::Recordset& rs) {
  rs = db::Recordset();
  rule.Run([&] { rs = database.OpenRecordset(source); });
}

void OpenCounted(FailureRule& rule, db::Database& database, std::string_view source,
                 db::Recordset& rs) {
  Open(rule, database, source, rs);
  rule.Run([&] { rs.MoveLast(); });
  rule.Run([&] { rs.MoveFirst(); });
}

void Close(FailureRule& rule, db::Recordset& rs) {
  rule.Run([&] { rs.Close(); });
}

void Close(FailureRule& rule, db::Database& database) {
  rule.Run([&] { database.Close(); });
}

void CopyRow(FailureRule& rule, const db::Recordset& source, db::Recordset& target) {
  if (!rule.active()) {
    db::CopyFieldsByName(source, target);
    return;
  }
  rule.Run([&] { target.AddNew(); });
  // Every field in one step; only where one fails, field by field under the rule, which then
  // skips just the failing ones (setting those already set again changes nothing).
  bool all_set = false;
  try {
    target.SetFieldsFrom(source);
    all_set = true;
  } catch (const jet::Error&) {
  }
  if (all_set) {
    rule.Run([&] { target.Update(); });
    return;
  }
  std::optional<db::Fields> from;
  std::optional<db::Fields> to;
  size_t count = 0;
  rule.Run([&] {
    from.emplace(source.Fields());
    to.emplace(target.Fields());
    count = from->Count();
  });
  if (!to) count = 0;
  for (size_t i = 0; i < count; ++i) {
    rule.Run([&] {
      const db::Field field = from->Item(i);
      to->Item(field.Name()).SetValue(field.Value());
    });
  }
  rule.Run([&] { target.Update(); });
}

std::string FieldText(const db::Recordset& rs, std::string_view field) {
  return db::ConcatText(rs.Fields(field).Value());
}

bool HasText(const db::Recordset& rs, std::string_view field) {
  const jet::Value value = rs.Fields(field).Value();
  if (value.IsNull()) return false;
  return !(value.Is<std::string>() && value.As<std::string>().empty());
}

}  // namespace tasks
