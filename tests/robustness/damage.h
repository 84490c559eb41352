// Ways to damage a database image in memory, each driven by a seeded generator so that every
// case can be made again from its seed.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "jet/bytes.h"

namespace robustness {

enum class Damage {
  kBitFlips,         // a few bits anywhere
  kGarbageRun,       // a run of random bytes
  kTruncation,       // cut at a random length
  kZeroedPages,      // whole pages of zeros
  kPageCopy,         // one page overwritten with another
  kTdefChainLoop,    // a table definition's next-page pointer back to itself or its first page
  kLongValueLoop,    // a long-value chain row pointing to itself or another long-value row
  kRowOffsetOut,     // a row offset beyond its page, or a row count past the offset table
  kUsageMapPointer,  // a table's usage map pointers replaced with garbage
};

const char* DamageName(Damage damage);

// Where the structures that targeted damage aims at lie in an intact image.
struct ImageLayout {
  std::vector<uint32_t> tdef_first_pages;  // from the catalog
  std::vector<uint32_t> tdef_pages;        // every table definition page
  std::vector<uint32_t> data_pages;        // data pages that are not long-value pages
  std::vector<jet::RowPointer> long_value_rows;
};

// Surveys an intact image (the catalog is read to find the tables).
ImageLayout Survey(const jet::Bytes& image);

// Applies one damage of the given kind to `image`.
void Apply(Damage damage, const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image);

}  // namespace robustness
