// Page allocation: new pages are appended at the end of the file and marked in use in the
// global usage map (page 1, row 0, where a set bit means "free"); freed pages get their bit set
// again so Access may hand them out. The global map grows with the file: its inline row is
// lengthened in place while page 1 has room, and promoted to a reference map (type-0x05 bitmap
// pages) when it has not.
//
// Format: docs/format.md, usage maps and page allocation.
#pragma once

#include <cstdint>

namespace jet {

class PageFile;

class PageAllocator {
 public:
  explicit PageAllocator(PageFile& file) : file_(file) {}
  PageAllocator(const PageAllocator&) = delete;
  PageAllocator& operator=(const PageAllocator&) = delete;

  PageFile& file() { return file_; }

  // Appends a zero-filled page at the end of the file and clears its bit in the global map
  // (the map extended or promoted as needed). Inside an operation.
  uint32_t Allocate();
  // Returns the page to the file's free pages: its header is zeroed and its global bit set.
  // Page contents beyond the header are left as they are (Access does the same). Inside an
  // operation.
  void Free(uint32_t page);
  // Sets the page's global bit only, for callers that leave freed pages in a form of their own
  // (emptied long-value pages keep their contents and become type 0x09, as Access leaves them).
  void MarkFree(uint32_t page);

 private:
  // Marks `page` used (false) or free (true) in the global map, growing the map so that it
  // covers the page.
  void SetGlobalBit(uint32_t page, bool free);
  void SetReferenceBit(uint32_t page, bool free);
  void PromoteGlobalMap();

  PageFile& file_;
};

}  // namespace jet
