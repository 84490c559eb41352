// Recordsets and their fields, with the DAO rules the task code is written against:
//
//  - A recordset opens on its first row, or with BOF and EOF both true when it has none.
//  - MoveFirst and MoveLast on an empty set, MoveNext at EOF, and reading or editing where
//    there is no current row fail with 3021. MoveLast counts the whole set, after which
//    PercentPosition is exact; before, it is relative to the rows visited so far.
//  - Field values are set only between AddNew or Edit and Update (3020 otherwise). Update
//    writes the row at once; a refused Update (3022, 3163, 3314, ...) leaves the buffer and the
//    edit as they were, for the caller to correct, retry or CancelUpdate. After AddNew and
//    Update the current row is the one current before AddNew; the new row joins the end of
//    the set. Moving or searching drops an unfinished AddNew or Edit.
//  - Delete removes the current row; there is then no current row (3167) until a move, and
//    MoveNext goes to the row after the deleted one.
//  - FindFirst stands on the first row meeting the criteria or, when none does, at EOF with
//    NoMatch true.
//  - Rows are read when visited: a change made through another recordset shows; a row deleted
//    through another recordset reads as deleted (3167).
//
// Recordset, Field and Fields are handles that share one object, as object variables do:
// copies see the same position, and a Field stays usable while its recordset is open.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "jet/table.h"
#include "jet/value.h"

namespace db {

class OpenFile;
class RecordsetImpl;
class Database;
class DatabaseImpl;

// Identifies a row of a recordset; setting a recordset's Bookmark to it makes the row current.
struct RowBookmark {
  jet::RowLocator row;
  friend bool operator==(const RowBookmark&, const RowBookmark&) = default;
};

class Field {
 public:
  const std::string& Name() const;
  // The current row's value, or the edit buffer's during AddNew or Edit.
  jet::Value Value() const;
  // Sets the edit buffer's value (3020 outside AddNew or Edit).
  void SetValue(jet::Value value) const;

 private:
  friend class Fields;
  Field(std::shared_ptr<RecordsetImpl> rs, size_t index) : rs_(std::move(rs)), index_(index) {}
  std::shared_ptr<RecordsetImpl> rs_;
  size_t index_;
};

// The recordset's fields in the order of its columns (the table's, for SELECT *).
class Fields {
 public:
  size_t Count() const;
  Field Item(size_t index) const;           // 3265 past the end
  Field Item(std::string_view name) const;  // names compared as Jet compares them; 3265 if absent
  Field operator[](size_t index) const { return Item(index); }
  Field operator[](std::string_view name) const { return Item(name); }

 private:
  friend class Recordset;
  explicit Fields(std::shared_ptr<RecordsetImpl> rs) : rs_(std::move(rs)) {}
  std::shared_ptr<RecordsetImpl> rs_;
};

class Recordset {
 public:
  Recordset() = default;  // no recordset: every operation fails with 3420

  // EOF and BOF, spelled so because EOF is a macro of the C library.
  bool Eof() const;
  bool Bof() const;
  bool NoMatch() const;
  void MoveFirst();
  void MoveNext();
  void MoveLast();
  float PercentPosition() const;
  // Rows known so far: visited, or all after MoveLast.
  size_t RecordCount() const;

  void AddNew();
  void Edit();
  void Update();
  void CancelUpdate();
  void Delete();
  void FindFirst(std::string_view criteria);

  db::Fields Fields() const;
  Field Fields(size_t index) const;
  Field Fields(std::string_view name) const;
  // Between AddNew or Edit and Update: for each field of `source` in its order, sets the field
  // of the same name to its value, as Fields(name).SetValue(source's field.Value()) would, and
  // fails as that would at the first field that fails (the fields before it stay set). A row
  // copied between tables of one design costs no name search once its mapping is known.
  void SetFieldsFrom(const Recordset& source);

  RowBookmark Bookmark() const;
  void SetBookmark(const RowBookmark& bookmark);

  // The table the rows come from.
  const std::string& TableName() const;

  void Close();
  bool IsOpen() const;

 private:
  friend class Database;
  friend class DatabaseImpl;
  explicit Recordset(std::shared_ptr<RecordsetImpl> impl) : impl_(std::move(impl)) {}
  // `source` is a table name or a SELECT text.
  static Recordset Open(std::shared_ptr<OpenFile> file, std::string_view source);
  RecordsetImpl& impl() const;

  std::shared_ptr<RecordsetImpl> impl_;
};

}  // namespace db
