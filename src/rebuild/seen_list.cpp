#include "rebuild/seen_list.h"

namespace rebuild {

void SeenList::ClearSeenList() {
  for (size_t i = 1; i < entries_.size(); ++i) entries_[i].clear();
  count_ = 0;
}

bool SeenList::AddIfAbsent(std::string_view text) {
  for (size_t i = 1; i <= count_; ++i) {
    if (entries_[i] == text) return true;
  }
  ++count_;
  if (count_ > LastPosition()) entries_.resize(2 * LastPosition() + 1);
  entries_[count_] = std::string(text);
  return false;
}

}  // namespace rebuild
