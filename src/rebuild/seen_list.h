// The rebuild's certificate list: the certificate numbers already copied for the instrument
// being rebuilt, so that a certificate number repeated within one instrument is copied once.
//
// Entries occupy positions 1 to SeenCount(); position 0 is never used. The list starts with
// room for positions 0 to 10 and doubles its last position whenever an entry needs more room
// (10, 20, 40, ...); emptying it keeps the room it has grown to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rebuild {

class SeenList {
 public:
  static constexpr size_t kInitialLastPosition = 10;

  SeenList() : entries_(kInitialLastPosition + 1) {}

  // Sets every position from 1 to the last to the empty text and the count to 0.
  void ClearSeenList();
  // True when `text` equals an entry at positions 1 to SeenCount() (exact, case-sensitive);
  // the list is then unchanged. Otherwise stores it at the next position, growing the list
  // when it has no room there, and returns false.
  bool AddIfAbsent(std::string_view text);

  size_t SeenCount() const { return count_; }
  size_t LastPosition() const { return entries_.size() - 1; }
  const std::string& Entry(size_t position) const { return entries_.at(position); }

 private:
  std::vector<std::string> entries_;
  size_t count_ = 0;
};

}  // namespace rebuild
