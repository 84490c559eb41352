// Error numbers and texts of the data-access objects, as Jet and DAO report the same faults,
// so that the task code's failure rules and the staff see the numbers they know.
#pragma once

#include <string>

namespace db {

constexpr int kErrInvalidUseOfNull = 94;
constexpr int kErrUpdateWithoutEdit = 3020;
constexpr int kErrNoCurrentRecord = 3021;
constexpr int kErrReadOnlyObject = 3027;
constexpr int kErrNotValidBookmark = 3159;
constexpr int kErrRecordDeleted = 3167;
constexpr int kErrItemNotFound = 3265;
constexpr int kErrObjectClosed = 3420;

// Throws jet::Error with the number and the text Jet gives it.
[[noreturn]] void ThrowDao(int number);

}  // namespace db
