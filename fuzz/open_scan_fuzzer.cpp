// Fuzz target: the input is a database file. It is opened and read in full; a jet::Error is
// the expected answer to damage, anything else (another exception, a crash, a sanitizer
// report, a hang) is a finding.
//
// Besides libFuzzer's byte-level mutations, a custom mutator works on whole pages, the unit
// in which files are damaged in practice (a sector not written, a page of another file):
// it copies, swaps, zeroes or drops pages, keeping most of the file's structure intact.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "robustness/full_scan.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

using jet::kPageSize;

size_t MutatePages(uint8_t* data, size_t size, size_t max_size, std::minstd_rand& rng) {
  const size_t pages = size / kPageSize;
  if (pages < 4) return LLVMFuzzerMutate(data, size, max_size);
  // Page 0 is left alone: damage there only ever refuses the file at once.
  auto any_page = [&] { return 1 + rng() % (pages - 1); };
  uint8_t* const a = data + any_page() * kPageSize;
  uint8_t* const b = data + any_page() * kPageSize;
  switch (rng() % 6) {
    case 0:  // a page overwritten with another
      if (a != b) std::memcpy(a, b, kPageSize);
      return size;
    case 1:  // two pages swapped
      if (a != b) std::swap_ranges(a, a + kPageSize, b);
      return size;
    case 2:  // a page never written
      std::memset(a, 0, kPageSize);
      return size;
    case 3:  // cut at a page boundary
      return any_page() * kPageSize;
    case 4: {  // a few bytes of one page, mutated by libFuzzer (its structure is where it was)
      const size_t offset = rng() % kPageSize;
      const size_t length = std::min<size_t>(1 + rng() % 64, kPageSize - offset);
      LLVMFuzzerMutate(a + offset, length, length);
      return size;
    }
    default:  // anything, anywhere
      return LLVMFuzzerMutate(data, size, max_size);
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
  std::minstd_rand rng(seed);
  return MutatePages(data, size, max_size, rng);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto db = jet::Database::Open(
        std::make_unique<jet::PageFile>("fuzz.mdb", jet::Bytes(data, data + size)));
    robustness::ScanEverything(*db);
  } catch (const jet::Error&) {
    // The expected answer to a damaged file.
  }
  return 0;
}
