// The bound customer list of the export and rebuild windows: one line per row of its data
// control's recordset, showing the row's Cust_Name, and the row's bookmark behind each line so
// that a chosen line can be made the recordset's current row again.
#pragma once

#include <QListWidget>
#include <optional>
#include <vector>

#include "db/dao_recordset.h"

namespace db {
class DataControl;
}

namespace app {

class DBList : public QListWidget {
 public:
  explicit DBList(QWidget* parent = nullptr);

  // Empties the list and shows the rows of the control's recordset, leaving the recordset on
  // its first row. A recordset that fails part-way leaves the rows read so far; one that is
  // missing (the last refresh failed) leaves the list empty.
  void ReFill(db::DataControl& data);

  // The bookmark of the selected line, or nothing when no line is selected.
  std::optional<db::RowBookmark> SelectedBookmark() const;

 private:
  std::vector<db::RowBookmark> bookmarks_;
};

}  // namespace app
