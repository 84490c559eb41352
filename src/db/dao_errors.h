// The errors of the data-access objects: Jet's numbers and texts (jet/error.h, the one
// catalogue), raised as Jet and DAO raise them for the same faults, so that the task code's
// failure rules and the staff see the numbers they know.
#pragma once

#include "jet/error.h"

namespace db {

using jet::kErrItemNotFound;
using jet::kErrNoCurrentRecord;
using jet::kErrNotValidBookmark;
using jet::kErrObjectClosed;
using jet::kErrReadOnly;
using jet::kErrRecordDeleted;
using jet::kErrUpdateWithoutEdit;
using jet::kVbInvalidUseOfNull;

// Throws jet::Error with the number and the text Jet gives it.
[[noreturn]] inline void ThrowDao(int number) { jet::ThrowStandard(number); }

}  // namespace db
