// An owning list that is cheap at both ends: the children of a tree item. Appending,
// prepending and removing the first or last entry cost O(1) amortized, so that filling a
// list and clearing it from the front (as deletion does) stay linear; an empty list
// allocates nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

template <class T>
class TMtOwnedList {
 public:
  using Slot = std::unique_ptr<T>;

  std::size_t size() const { return slots_.size() - head_; }
  bool empty() const { return size() == 0; }
  Slot& operator[](std::size_t i) { return slots_[head_ + i]; }
  const Slot& operator[](std::size_t i) const { return slots_[head_ + i]; }
  const Slot& front() const { return slots_[head_]; }
  const Slot* begin() const { return slots_.data() + head_; }
  const Slot* end() const { return slots_.data() + slots_.size(); }

  void insert(std::size_t i, Slot p) {
    if (i == size()) {
      slots_.push_back(std::move(p));
    } else if (i == 0) {
      if (head_ == 0) Reopen();
      slots_[--head_] = std::move(p);
    } else {
      slots_.insert(slots_.begin() + static_cast<std::ptrdiff_t>(head_ + i), std::move(p));
    }
  }

  // Removes an entry and hands it over.
  Slot take(std::size_t i) {
    Slot p = std::move(slots_[head_ + i]);
    if (i == 0) {
      ++head_;
      if (head_ == slots_.size()) {
        slots_.clear();
        head_ = 0;
      } else if (head_ >= 16 && head_ > slots_.size() / 2) {
        slots_.erase(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
      }
    } else {
      slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(head_ + i));
    }
    return p;
  }

 private:
  // Makes room in front of the entries: as many free slots as there are entries.
  void Reopen() {
    std::size_t gap = slots_.size() < 4 ? 4 : slots_.size();
    std::vector<Slot> grown;
    grown.reserve(gap + slots_.size());
    grown.resize(gap);
    for (Slot& s : slots_) grown.push_back(std::move(s));
    slots_ = std::move(grown);
    head_ = gap;
  }

  std::vector<Slot> slots_;  // the entries are slots_[head_ ..]; those before are empty
  std::size_t head_ = 0;
};
