// Index pages (docs/format.md, index pages: layout, entry mask, prefix compression,
// tree shape).
#include "jet/index_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {
namespace {

using namespace index_page;  // NOLINT: the layout constants read best unqualified here

std::string Hex(uint8_t b) {
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[b >> 4] + digits[b & 15];
}

}  // namespace

IndexPage DecodeIndexPage(uint32_t number, const uint8_t* page, uint32_t page_count) {
  IndexPage out;
  out.number = number;
  const uint8_t type = page[kOffType];
  if (type != kIndexLeafPage && type != kIndexNodePage) {
    ThrowCorrupt(number, "index page expected, found page type " + Hex(type));
  }
  out.leaf = type == kIndexLeafPage;
  out.tdef_page = U32(page + kOffTdefPage);
  out.prev = U32(page + kOffPrev);
  out.next = U32(page + kOffNext);
  out.tail = out.leaf ? 0 : U32(page + kOffTail);
  if (out.tail >= page_count) {
    ThrowCorrupt(
        number, "index tail page " + std::to_string(out.tail) + " lies beyond the end of the file");
  }
  out.prefix_size = U16(page + kOffPrefix);
  if (out.prefix_size > kEntryArea) {
    ThrowCorrupt(number,
                 "index prefix length " + std::to_string(out.prefix_size) + " exceeds the page");
  }
  const size_t suffix_size = out.leaf ? kRowPointerSize : kRowPointerSize + kChildSize;
  const uint8_t* data = page + kOffEntries;
  out.keys.reserve(kEntryArea);
  Bytes assembled;
  assembled.reserve(2 * kEntryArea);
  size_t start = 0;
  for (size_t byte = 0; byte < kMaskSize; ++byte) {
    const uint8_t mask = page[kOffMask + byte];
    if (mask == 0) continue;
    for (size_t bit = 0; bit < 8; ++bit) {
      if ((mask & (1u << bit)) == 0) continue;
      const size_t end = byte * 8 + bit;
      if (end > kEntryArea) {
        ThrowCorrupt(number, "index entry mask marks an entry ending at byte " +
                                 std::to_string(end) + ", past the end of the page");
      }
      if (end <= start) {
        ThrowCorrupt(number,
                     "index entry mask marks an empty entry at byte " + std::to_string(end));
      }
      // Entries after the first are stored without the prefix they share with it, which is
      // the first entry's first prefix_size bytes.
      const size_t stored = end - start;
      const bool first = out.entries.empty();
      ByteSpan full(data + start, stored);
      if (!first && out.prefix_size > 0) {
        assembled.assign(data, data + out.prefix_size);
        assembled.insert(assembled.end(), data + start, data + end);
        full = assembled;
      }
      if (first && stored < out.prefix_size) {
        ThrowCorrupt(number, "first index entry (" + std::to_string(stored) +
                                 " bytes) is shorter than the page's shared prefix (" +
                                 std::to_string(out.prefix_size) + " bytes)");
      }
      if (full.size() < suffix_size) {
        ThrowCorrupt(number, "index entry of " + std::to_string(full.size()) +
                                 " bytes is too short to hold its row pointer");
      }
      IndexPage::Entry e;
      e.key_offset = static_cast<uint32_t>(out.keys.size());
      e.key_size = static_cast<uint32_t>(full.size() - suffix_size);
      const uint8_t* row = full.data() + e.key_size;
      e.row.page = U24BE(row);
      e.row.row = row[3];
      if (!out.leaf) {
        e.child = U32BE(row + kRowPointerSize);
        if (e.child == 0 || e.child >= page_count) {
          ThrowCorrupt(number, "index entry points to child page " + std::to_string(e.child) +
                                   ", outside the file");
        }
      }
      out.keys.insert(out.keys.end(), full.begin(), full.begin() + e.key_size);
      out.entries.push_back(e);
      const size_t n = out.entries.size();
      if (n > 1 && CompareKeys(out.Key(n - 1), out.Key(n - 2)) < 0) {
        ThrowCorrupt(number, "index entries out of key order at entry " + std::to_string(n - 1));
      }
      start = end;
    }
  }
  return out;
}

IndexReader::IndexReader(PageFile& file, uint32_t root_page) : file_(&file), root_(root_page) {}

const IndexPage& IndexReader::Page(uint32_t number) {
  const uint32_t version = file_->PageVersion(number);
  auto it = pages_.find(number);
  if (it != pages_.end() && it->second.version == version) return *it->second.page;
  IndexPage decoded = DecodeIndexPage(number, file_->Page(number), file_->page_count());
  if (it != pages_.end()) {
    // Decoded again in place, so that pointers to the page stay valid.
    *it->second.page = std::move(decoded);
    it->second.version = version;
    return *it->second.page;
  }
  auto page = std::make_unique<IndexPage>(std::move(decoded));
  return *pages_.emplace(number, CachedPage{version, std::move(page)}).first->second.page;
}

ByteSpan IndexReader::Cursor::key() const {
  const Frame& f = path_.back();
  return f.page->Key(f.pos);
}

RowLocator IndexReader::Cursor::locator() const {
  const Frame& f = path_.back();
  return f.page->entries[f.pos].row;
}

void IndexReader::Cursor::Enter(uint32_t page) {
  for (const Frame& f : path_) {
    if (f.page->number == page) {
      ThrowCorrupt(page, "index page is its own ancestor (a loop in the index tree)");
    }
  }
  // A walk enters each page of a sound tree once at most.
  if (++pages_entered_ > reader_->file_->page_count()) {
    ThrowCorrupt(page, "index walk entered more pages than the file holds");
  }
  path_.push_back({&reader_->Page(page), 0});
}

// Moves down and forward until the cursor rests on a leaf entry, or off the end.
void IndexReader::Cursor::Settle() {
  while (!path_.empty()) {
    Frame& f = path_.back();
    const IndexPage& p = *f.page;
    if (p.leaf) {
      if (f.pos < p.entries.size()) return;
    } else if (f.pos < p.entries.size()) {
      Enter(p.entries[f.pos].child);
      continue;
    } else if (f.pos == p.entries.size() && p.tail != 0) {
      Enter(p.tail);
      continue;
    }
    path_.pop_back();
    if (!path_.empty()) ++path_.back().pos;
  }
}

bool IndexReader::Cursor::Next() {
  if (path_.empty()) return false;
  ++path_.back().pos;
  Settle();
  return !path_.empty();
}

IndexReader::Cursor IndexReader::Begin() {
  Cursor c(*this);
  c.Enter(root_);
  c.Settle();
  return c;
}

size_t FirstEntryNotBelow(const IndexPage& p, ByteSpan key) {
  size_t lo = 0, hi = p.entries.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareKeys(p.Key(mid), key) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

IndexReader::Cursor IndexReader::FindFirst(ByteSpan key) {
  Cursor c(*this);
  c.Enter(root_);
  for (;;) {
    Cursor::Frame& f = c.path_.back();
    const IndexPage& p = *f.page;
    // Node entries hold the last key of their subtree, so the first entry not below `key`
    // leads to the subtree holding the first key not below `key`.
    const size_t lo = FirstEntryNotBelow(p, key);
    f.pos = lo;
    if (p.leaf) break;
    if (lo < p.entries.size()) {
      c.Enter(p.entries[lo].child);
    } else if (p.tail != 0) {
      c.Enter(p.tail);
    } else {
      break;
    }
  }
  c.Settle();
  return c;
}

bool IndexReader::FindOnOneLeaf(ByteSpan key, bool whole_key, std::vector<RowLocator>& out) {
  // Deeper than any tree a file has room for: a loop, which the walk reports.
  constexpr size_t kMaxDepth = 32;
  uint32_t number = root_;
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    const uint8_t* raw = file_->Page(number);
    if (raw[kOffType] == kIndexLeafPage) {
      const uint32_t version = file_->PageVersion(number);
      auto [it, added] = leaves_.try_emplace(number);
      CachedLayout& leaf = it->second;
      if (added || leaf.version != version) {
        leaf.usable = ReadLeafLayoutForSearch(raw, leaf.layout);
        leaf.version = version;
      }
      if (!leaf.usable) return false;
      const LeafLayout& layout = leaf.layout;
      for (size_t i = LeafLowerBoundKey(raw, layout, key); i < layout.size(); ++i) {
        const bool match = whole_key ? LeafCompareKey(raw, layout, i, key) == 0
                                     : LeafKeyStartsWith(raw, layout, i, key);
        if (!match) return true;
        out.push_back(LeafRow(raw, layout, i));
      }
      return false;  // the entries may go on past this leaf
    }
    // As FindFirst: the first entry not below `key` leads to the subtree holding it.
    const IndexPage& p = Page(number);
    if (p.leaf) return false;
    const size_t lo = FirstEntryNotBelow(p, key);
    if (lo < p.entries.size()) {
      number = p.entries[lo].child;
    } else if (p.tail != 0) {
      number = p.tail;
    } else {
      return false;
    }
  }
  return false;
}

std::vector<RowLocator> IndexReader::FindEqual(ByteSpan key) {
  TrimCache();
  std::vector<RowLocator> out;
  if (FindOnOneLeaf(key, true, out)) return out;
  out.clear();
  for (Cursor c = FindFirst(key); !c.AtEnd() && CompareKeys(c.key(), key) == 0; c.Next()) {
    out.push_back(c.locator());
  }
  return out;
}

std::vector<RowLocator> IndexReader::FindPrefix(ByteSpan prefix) {
  TrimCache();
  std::vector<RowLocator> out;
  if (FindOnOneLeaf(prefix, false, out)) return out;
  out.clear();
  for (Cursor c = FindFirst(prefix); !c.AtEnd() && StartsWith(c.key(), prefix); c.Next()) {
    out.push_back(c.locator());
  }
  return out;
}

std::vector<IndexEntry> IndexReader::Range(ByteSpan from, ByteSpan to) {
  TrimCache();
  std::vector<IndexEntry> out;
  for (Cursor c = FindFirst(from); !c.AtEnd(); c.Next()) {
    if (!to.empty() && CompareKeys(c.key(), to) >= 0) break;
    out.push_back({Bytes(c.key().begin(), c.key().end()), c.locator()});
  }
  return out;
}

std::vector<uint32_t> IndexReader::LeafChain() {
  TrimCache();
  // The first leaf: follow first children (or the tail of an entry-less node) down.
  Cursor c(*this);
  c.Enter(root_);
  for (;;) {
    const IndexPage& p = *c.path_.back().page;
    if (p.leaf) break;
    if (!p.entries.empty()) {
      c.Enter(p.entries.front().child);
    } else if (p.tail != 0) {
      c.Enter(p.tail);
    } else {
      return {};
    }
  }
  std::vector<uint32_t> chain;
  const uint32_t page_count = file_->page_count();
  for (uint32_t n = c.path_.back().page->number; n != 0; n = Page(n).next) {
    if (chain.size() >= page_count) {
      ThrowCorrupt(n, "index leaf pages link in a loop");
    }
    if (!Page(n).leaf) {
      ThrowCorrupt(n, "index node page found in the chain of leaf pages");
    }
    chain.push_back(n);
  }
  return chain;
}

std::vector<IndexEntry> IndexReader::All() { return Range({}, {}); }

}  // namespace jet
