#include "tasks/runtime_errors.h"

#include "jet/error.h"

namespace tasks {

const char* RuntimeErrorText(RuntimeError number) {
  switch (number) {
    case kVbOverflow:
      return "Overflow";
    case kVbFileNotFound:
      return "File not found";
    case kVbPathFileAccess:
      return "Path/File access error";
  }
  return "Application-defined or object-defined error";
}

void ThrowRuntimeError(RuntimeError number, const std::string& description) {
  throw jet::Error(number, description.empty() ? RuntimeErrorText(number) : description);
}

}  // namespace tasks
