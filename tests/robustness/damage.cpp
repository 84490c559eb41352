#include "robustness/damage.h"

#include <algorithm>
#include <memory>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace robustness {
namespace {

using jet::kPageSize;

// Portable across standard libraries, unlike the distributions: the same seed gives the same
// damage everywhere.
uint64_t Below(std::mt19937_64& rng, uint64_t n) { return n == 0 ? 0 : rng() % n; }

template <typename T>
const T& Pick(std::mt19937_64& rng, const std::vector<T>& from) {
  return from[Below(rng, from.size())];
}

uint32_t PageCount(const jet::Bytes& image) {
  return static_cast<uint32_t>(image.size() / kPageSize);
}

uint8_t* PageAt(jet::Bytes& image, uint32_t page) {
  return image.data() + static_cast<size_t>(page) * kPageSize;
}

void FlipBits(std::mt19937_64& rng, jet::Bytes& image) {
  const uint64_t flips = 1 + Below(rng, 8);
  for (uint64_t i = 0; i < flips; ++i) {
    image[Below(rng, image.size())] ^= static_cast<uint8_t>(1u << Below(rng, 8));
  }
}

void WriteGarbage(std::mt19937_64& rng, jet::Bytes& image) {
  // Mostly short runs; now and then most of a page.
  const size_t length = 1 + Below(rng, Below(rng, 4) == 0 ? kPageSize : 64);
  const size_t start = Below(rng, image.size());
  for (size_t i = start; i < std::min(image.size(), start + length); ++i) {
    image[i] = static_cast<uint8_t>(rng());
  }
}

void Truncate(std::mt19937_64& rng, jet::Bytes& image) {
  // Half the cuts fall on a page boundary, as a copy that stopped between writes would.
  size_t length = Below(rng, image.size());
  if (Below(rng, 2) == 0) length -= length % kPageSize;
  image.resize(length);
}

void ZeroPages(std::mt19937_64& rng, jet::Bytes& image) {
  const uint64_t pages = 1 + Below(rng, 3);
  for (uint64_t i = 0; i < pages; ++i) {
    const uint32_t page = 1 + static_cast<uint32_t>(Below(rng, PageCount(image) - 1));
    std::fill_n(PageAt(image, page), kPageSize, 0);
  }
}

void CopyPage(std::mt19937_64& rng, jet::Bytes& image) {
  const uint32_t to = 1 + static_cast<uint32_t>(Below(rng, PageCount(image) - 1));
  const uint32_t from = static_cast<uint32_t>(Below(rng, PageCount(image)));
  std::copy_n(PageAt(image, from), kPageSize, PageAt(image, to));
}

void LoopTdefChain(const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image) {
  if (layout.tdef_pages.empty()) return;
  const uint32_t page = Pick(rng, layout.tdef_pages);
  const uint32_t target = layout.tdef_first_pages.empty() || Below(rng, 2) == 0
                              ? page
                              : Pick(rng, layout.tdef_first_pages);
  jet::PutU32(PageAt(image, page) + 4, target);
}

void LoopLongValue(const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image) {
  if (layout.long_value_rows.empty()) return;
  const jet::RowPointer row = Pick(rng, layout.long_value_rows);
  const jet::RowPointer target = Below(rng, 2) == 0 ? row : Pick(rng, layout.long_value_rows);
  uint8_t* page = PageAt(image, row.page);
  const uint16_t offset = jet::U16(page + jet::kDataOffRowTable + 2 * row.row) & 0x1FFF;
  jet::PutU32(page + offset, target.ToU32());
}

void BreakRowOffset(const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image) {
  std::vector<uint32_t> pages = layout.data_pages;
  for (const auto& lv : layout.long_value_rows) pages.push_back(lv.page);
  if (pages.empty()) return;
  uint8_t* page = PageAt(image, Pick(rng, pages));
  const uint16_t count = jet::RowCount(page);
  if (count == 0 || Below(rng, 4) == 0) {
    // A row count whose offset table would run off the page.
    jet::PutU16(page + jet::kDataOffRowCount, static_cast<uint16_t>(2100 + Below(rng, 63000)));
    return;
  }
  uint8_t* entry = page + jet::kDataOffRowTable + 2 * Below(rng, count);
  const uint16_t flags = jet::U16(entry) & 0xE000;
  // Beyond the page, or inside the header and offset table.
  const uint16_t offset = static_cast<uint16_t>(
      Below(rng, 2) == 0 ? kPageSize + Below(rng, 0x2000 - kPageSize) : Below(rng, 14 + 2 * count));
  jet::PutU16(entry, static_cast<uint16_t>(flags | offset));
}

void GarbleUsageMapPointer(const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image) {
  if (layout.tdef_first_pages.empty()) return;
  uint8_t* page = PageAt(image, Pick(rng, layout.tdef_first_pages));
  // The owned-pages or free-space map pointer of the table definition's fixed header.
  const size_t field = Below(rng, 2) == 0 ? 55 : 59;
  uint32_t garbage = static_cast<uint32_t>(rng());
  switch (Below(rng, 3)) {
    case 0:  // a page inside the file, any row
      garbage = (static_cast<uint32_t>(Below(rng, PageCount(image))) << 8) | (garbage & 0xFF);
      break;
    case 1:  // the right page, a row that is not there
      garbage = (jet::U32(page + field) & 0xFFFFFF00) | (garbage & 0xFF);
      break;
    default:  // anything at all
      break;
  }
  jet::PutU32(page + field, garbage);
}

}  // namespace

const char* DamageName(Damage damage) {
  switch (damage) {
    case Damage::kBitFlips:
      return "bit flips";
    case Damage::kGarbageRun:
      return "garbage run";
    case Damage::kTruncation:
      return "truncation";
    case Damage::kZeroedPages:
      return "zeroed pages";
    case Damage::kPageCopy:
      return "page copied over another";
    case Damage::kTdefChainLoop:
      return "table definition chain loop";
    case Damage::kLongValueLoop:
      return "long-value chain loop";
    case Damage::kRowOffsetOut:
      return "row offset outside its page";
    case Damage::kUsageMapPointer:
      return "usage map pointer garbage";
  }
  return "?";
}

ImageLayout Survey(const jet::Bytes& image) {
  ImageLayout layout;
  auto db = jet::Database::Open(std::make_unique<jet::PageFile>("intact", image));
  for (const auto& entry : db->catalog()) {
    if (entry.type == jet::kObjectTypeTable) layout.tdef_first_pages.push_back(entry.tdef_page());
  }
  std::sort(layout.tdef_first_pages.begin(), layout.tdef_first_pages.end());
  layout.tdef_first_pages.erase(
      std::unique(layout.tdef_first_pages.begin(), layout.tdef_first_pages.end()),
      layout.tdef_first_pages.end());
  for (uint32_t p = 1; p < PageCount(image); ++p) {
    const uint8_t* page = image.data() + static_cast<size_t>(p) * kPageSize;
    if (page[0] == jet::kPageTableDef) layout.tdef_pages.push_back(p);
    if (page[0] != jet::kPageData) continue;
    if (jet::U32(page + jet::kDataOffOwner) != jet::kLongValuePageTag) {
      layout.data_pages.push_back(p);
      continue;
    }
    for (unsigned row = 0; row < jet::RowCount(page); ++row) {
      try {
        const jet::RowSlot slot = jet::ReadSlot(page, p, row);
        if (!slot.deleted() && slot.bytes.size() >= 4) {
          layout.long_value_rows.push_back({p, static_cast<uint8_t>(row)});
        }
      } catch (const jet::Error&) {
        // Not a row to aim at.
      }
    }
  }
  // Aim at chains: rows whose first bytes point to another long-value row. Single-page long
  // values start with data instead; they are the targets only when a file has no chains.
  std::vector<jet::RowPointer> chained;
  for (const auto& row : layout.long_value_rows) {
    const uint8_t* page = image.data() + static_cast<size_t>(row.page) * kPageSize;
    const uint16_t offset = jet::U16(page + jet::kDataOffRowTable + 2 * row.row) & 0x1FFF;
    const jet::RowPointer next = jet::RowPointer::FromU32(jet::U32(page + offset));
    if (std::find(layout.long_value_rows.begin(), layout.long_value_rows.end(), next) !=
        layout.long_value_rows.end()) {
      chained.push_back(row);
    }
  }
  if (!chained.empty()) layout.long_value_rows = std::move(chained);
  return layout;
}

void Apply(Damage damage, const ImageLayout& layout, std::mt19937_64& rng, jet::Bytes& image) {
  switch (damage) {
    case Damage::kBitFlips:
      return FlipBits(rng, image);
    case Damage::kGarbageRun:
      return WriteGarbage(rng, image);
    case Damage::kTruncation:
      return Truncate(rng, image);
    case Damage::kZeroedPages:
      return ZeroPages(rng, image);
    case Damage::kPageCopy:
      return CopyPage(rng, image);
    case Damage::kTdefChainLoop:
      return LoopTdefChain(layout, rng, image);
    case Damage::kLongValueLoop:
      return LoopLongValue(layout, rng, image);
    case Damage::kRowOffsetOut:
      return BreakRowOffset(layout, rng, image);
    case Damage::kUsageMapPointer:
      return GarbleUsageMapPointer(layout, rng, image);
  }
}

}  // namespace robustness
