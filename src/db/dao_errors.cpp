#include "db/dao_errors.h"

#include "jet/error.h"

namespace db {
namespace {

const char* Text(int number) {
  switch (number) {
    case kErrInvalidUseOfNull:
      return "Invalid use of Null";
    case kErrUpdateWithoutEdit:
      return "Update or CancelUpdate without AddNew or Edit.";
    case kErrNoCurrentRecord:
      return "No current record.";
    case kErrReadOnlyObject:
      return "Cannot update. Database or object is read-only.";
    case kErrNotValidBookmark:
      return "Not a valid bookmark.";
    case kErrRecordDeleted:
      return "Record is deleted.";
    case kErrItemNotFound:
      return "Item not found in this collection.";
    case kErrObjectClosed:
      return "Object invalid or no longer set.";
  }
  return "Unexpected error.";
}

}  // namespace

void ThrowDao(int number) { throw jet::Error(number, Text(number)); }

}  // namespace db
