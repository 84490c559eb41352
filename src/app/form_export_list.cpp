#include "app/form_export_list.h"

#include "db/data_control.h"
#include "db/schema.h"
#include "tasks/failure_rule.h"

namespace app {

DBList::DBList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void DBList::ReFill(db::DataControl& data) {
  clear();
  bookmarks_.clear();
  tasks::FailureRule(tasks::OnFailure::kSkip).Run([&] {
    db::Recordset& rows = data.Recordset();
    if (rows.Eof() && rows.Bof()) return;
    rows.MoveFirst();
    while (!rows.Eof()) {
      const jet::Value name = rows.Fields(db::schema::kCustName).Value();
      bookmarks_.push_back(rows.Bookmark());
      // A Null name is a line of its own, shown empty.
      addItem(name.Is<std::string>() ? QString::fromStdString(name.As<std::string>()) : QString());
      rows.MoveNext();
    }
    rows.MoveFirst();
  });
  // After a failure the list keeps what it could read; bookmarks and lines stay paired.
  while (count() > static_cast<int>(bookmarks_.size())) delete takeItem(count() - 1);
  bookmarks_.resize(static_cast<size_t>(count()));
}

std::optional<db::RowBookmark> DBList::SelectedBookmark() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const int line = row(selected.front());
  if (line < 0 || static_cast<size_t>(line) >= bookmarks_.size()) return std::nullopt;
  return bookmarks_[static_cast<size_t>(line)];
}

}  // namespace app
