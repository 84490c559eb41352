// The runtime errors the tasks raise themselves, numbered as the laboratory's Basic programs
// report them, so that a failure rule and the staff see one number for one fault. They travel
// as the engine's error type, so that the failure rule that handles engine errors handles them
// too. Jet's numbers, and the two runtime numbers the data-access layer raises (13 Type
// mismatch, 94 Invalid use of Null), are in jet/error.h; the names here start with kVb so
// that no number has two names.
#pragma once

#include <string>

namespace tasks {

enum RuntimeError : int {
  kVbOverflow = 6,         // a counter past its largest value
  kVbFileNotFound = 53,    // a file, or a program to start, that is not there
  kVbPathFileAccess = 75,  // a file that cannot be written, copied or deleted
};

// The text Basic gives `number`: "Overflow", "File not found", "Path/File access error".
const char* RuntimeErrorText(RuntimeError number);

// Throws jet::Error with `number` and its text, or with `description` when one is given (the
// system's own account of a file failure).
[[noreturn]] void ThrowRuntimeError(RuntimeError number, const std::string& description = "");

}  // namespace tasks
