// Compiled into every test program: each commit checks that writers changed no byte of a page
// outside the parts they declared for changing (a change there would never reach the file).
#include "jet/page_file.h"

namespace {

[[maybe_unused]] const bool kCheckingDeclaredParts = [] {
  jet::PageFile::CheckDeclaredPartsForTesting(true);
  return true;
}();

}  // namespace
