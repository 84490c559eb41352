#include "jet/error.h"

namespace jet {

const char* StandardText(int number) {
  switch (number) {
    case kVbTypeMismatch:
      return "Type mismatch";
    case kVbInvalidUseOfNull:
      return "Invalid use of Null";
    case kErrUpdateWithoutEdit:
      return "Update or CancelUpdate without AddNew or Edit.";
    case kErrNoCurrentRecord:
      return "No current record.";
    case kErrReadOnly:
      return "Cannot update. Database or object is read-only.";
    case kErrNotValidBookmark:
      return "Not a valid bookmark.";
    case kErrRecordDeleted:
      return "Record is deleted.";
    case kErrItemNotFound:
      return "Item not found in this collection.";
    case kErrObjectClosed:
      return "Object invalid or no longer set.";
    case kErrTypeMismatch:
      return "Data type mismatch in criteria expression.";
  }
  return "Unexpected error.";
}

void ThrowStandard(int number) { throw Error(number, StandardText(number)); }

void ThrowCorrupt(uint32_t page, const std::string& what) {
  throw Error(kErrCorrupt,
              "The database is corrupt: " + what + " (page " + std::to_string(page) + ").");
}

}  // namespace jet
