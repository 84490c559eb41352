// The one error type of the engine: a Jet-compatible error number and a description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {

// Error numbers as Jet reports the same conditions, so that callers (and staff who
// look numbers up) see what they would see from Access.
enum ErrorCode : int {
  kErrNoCurrentRecord = 3021,
  kErrDuplicateKey = 3022,
  kErrFileNotFound = 3024,
  kErrNotValidPassword = 3031,
  kErrCannotOpenFile = 3051,  // exists but cannot be opened (directory, permissions)
  kErrTableNotFound = 3078,
  kErrFieldNotFound = 3265,
  kErrCorrupt = 3049,             // "the file may be corrupt"
  kErrUnrecognizedFormat = 3343,  // not a Jet database, or a version we do not read
  kErrUnsupported = 3251,         // operation not supported for this file
  kErrIo = 3043,                  // disk or network error
  kErrFileInUse = 3045,           // another program has the file open for writing
  kErrReadOnly = 3027,            // database or object is read-only
  kErrDatabaseFull = 3036,        // "Database has reached maximum size." (2 GB)
  kErrFieldTooSmall = 3163,       // text or binary longer than its field
  kErrRequired = 3314,            // Null in a required field
  kErrZeroLength = 3315,          // zero-length text where not allowed
  kErrConversion = 3421,          // value of the wrong type for the field
  kErrTypeMismatch = 3464,        // data type mismatch in criteria expression
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

// A structural fault in the file, always naming the page where it was found.
[[noreturn]] void ThrowCorrupt(uint32_t page, const std::string& what);

}  // namespace jet
