// The one error type of the engine and the one catalogue of its numbers: a Jet-compatible error
// number and a description. The data-access layer above raises the same type with the numbers
// below; the tasks add a few runtime numbers of their own (tasks/runtime_errors.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {

// Error numbers as Jet reports the same conditions, so that callers (and staff who
// look numbers up) see what they would see from Access.
enum ErrorCode : int {
  // The two runtime errors of Basic that the data-access layer raises as DAO's callers meet
  // them: a value that is no number where one is needed, and Null joined to text.
  kVbTypeMismatch = 13,      // "Type mismatch"
  kVbInvalidUseOfNull = 94,  // "Invalid use of Null"

  kErrTableExists = 3010,  // "Table 'x' already exists."
  kErrUpdateWithoutEdit = 3020,
  kErrNoCurrentRecord = 3021,
  kErrDuplicateKey = 3022,
  kErrFileNotFound = 3024,
  kErrReadOnly = 3027,  // database or object is read-only
  kErrNotValidPassword = 3031,
  kErrDatabaseFull = 3036,      // "Database has reached maximum size." (2 GB)
  kErrIo = 3043,                // disk or network error
  kErrFileInUse = 3045,         // another program has the file open for writing
  kErrRecordTooLarge = 3047,    // "Record is too large."
  kErrCorrupt = 3049,           // "the file may be corrupt"
  kErrCannotOpenFile = 3051,    // exists but cannot be opened (directory, permissions)
  kErrNullInIndex = 3058,       // "Index or primary key cannot contain a Null value."
  kErrTooFewParameters = 3061,  // an unknown name in SQL is taken for a parameter
  kErrSyntaxInExpression = 3075,
  kErrTableNotFound = 3078,
  kErrInvalidName = 3125,  // "'x' is not a valid name."
  kErrInvalidBracketing = 3126,
  kErrInvalidStatement = 3129,  // not an SQL statement we know
  kErrSyntaxInFrom = 3131,
  kErrSelectMisspelled = 3141,
  kErrCharactersAfterEnd = 3142,
  kErrNotValidBookmark = 3159,
  kErrFieldTooSmall = 3163,      // text or binary longer than its field
  kErrFieldNotUpdatable = 3164,  // "Field can't be updated." (an autonumber changed)
  kErrRecordDeleted = 3167,
  kErrFieldDefinedTwice = 3191,       // "Cannot define field more than once."
  kErrDatabaseExists = 3204,          // "Database already exists."
  kErrUnsupported = 3251,             // operation not supported for this file
  kErrInvalidFieldType = 3259,        // "Invalid field data type."
  kErrTableLocked = 3261,             // a table another user holds exclusively
  kErrItemNotFound = 3265,            // no field (or other member) of that name
  kErrPrimaryKeyExists = 3283,        // "Primary key already exists."
  kErrIndexExists = 3284,             // "Index already exists."
  kErrInvalidFieldDefinition = 3286,  // a size, precision or option the type does not allow
  kErrRequired = 3314,                // Null in a required field
  kErrZeroLength = 3315,              // zero-length text where not allowed
  kErrUnrecognizedFormat = 3343,      // not a Jet database, or a version we do not read
  kErrObjectClosed = 3420,            // "Object invalid or no longer set."
  kErrConversion = 3421,              // value of the wrong type for the field
  kErrTypeMismatch = 3464,            // data type mismatch in criteria expression
};

class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// Jet's text for the errors whose text never varies ("No current record.", "Type mismatch");
// "Unexpected error." for the others, which are raised with a text of their own.
const char* StandardText(int number);
// Throws `number` with its standard text.
[[noreturn]] void ThrowStandard(int number);

// A structural fault in the file, always naming the page where it was found.
[[noreturn]] void ThrowCorrupt(uint32_t page, const std::string& what);

}  // namespace jet
