#include "controls/tree/MtList.h"

#include <algorithm>

#include "controls/tree/MtStack.h"

namespace {

constexpr const char* kListIndexError = "List index out of bounds.";

// The next capacity of a full list or stack; the error of the caller beyond the maximum.
template <class Error>
int GrownCapacity(int capacity, const char* message) {
  std::int64_t next = static_cast<std::int64_t>(capacity) + MtGrowDelta(capacity);
  if (next > kMtMaxListSize) {
    if (capacity >= kMtMaxListSize) throw Error(message);
    next = kMtMaxListSize;
  }
  return static_cast<int>(next);
}

// Halves the capacity when the count has fallen below half of it.
void ShrinkIfSparse(std::vector<void*>& items, int count) {
  int capacity = static_cast<int>(items.size());
  if (count < capacity / 2) {
    items.resize(static_cast<std::size_t>(capacity / 2));
    items.shrink_to_fit();
  }
}

}  // namespace

int MtGrowDelta(int capacity) {
  if (capacity > 64) return capacity / 4;
  if (capacity > 8) return 16;
  return 4;
}

// ---------------------------------------------------------------------------------
// TMtList

TMtList::~TMtList() {
  try {
    Clear();
  } catch (...) {
    // A handler that raises while the list goes away must not take the program with it.
  }
}

void TMtList::CheckIndex(int index) const {
  if (index < 0 || index >= count_) throw EListError(kListIndexError);
}

void TMtList::Grow() { items_.resize(static_cast<std::size_t>(GrownCapacity<EListError>(Capacity(), kListIndexError))); }

void TMtList::Notify(void* p) {
  if (OnDelete) OnDelete(this, p);
}

int TMtList::Add(void* p) {
  if (count_ == Capacity()) Grow();
  items_[static_cast<std::size_t>(count_)] = p;
  return count_++;
}

void TMtList::Insert(int index, void* p) {
  if (index < 0 || index > count_) throw EListError(kListIndexError);
  if (count_ == Capacity()) Grow();
  auto first = items_.begin() + index;
  std::move_backward(first, items_.begin() + count_, items_.begin() + count_ + 1);
  *first = p;
  ++count_;
}

void TMtList::Delete(int index) {
  CheckIndex(index);
  Notify(items_[static_cast<std::size_t>(index)]);
  // The handler may have changed the list: check again before removing.
  CheckIndex(index);
  std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
  --count_;
  items_[static_cast<std::size_t>(count_)] = nullptr;
  ShrinkIfSparse(items_, count_);
}

int TMtList::Remove(void* p) {
  int index = IndexOf(p);
  if (index >= 0) Delete(index);
  return index;
}

int TMtList::IndexOf(const void* p) const {
  for (int i = 0; i < count_; ++i)
    if (items_[static_cast<std::size_t>(i)] == p) return i;
  return -1;
}

void* TMtList::Items(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)];
}

void TMtList::SetItem(int index, void* p) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)] = p;
}

void TMtList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  auto cur = items_.begin() + curIndex;
  auto dst = items_.begin() + newIndex;
  if (curIndex < newIndex)
    std::rotate(cur, cur + 1, dst + 1);
  else
    std::rotate(dst, cur, cur + 1);
}

void TMtList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
}

void TMtList::Clear() {
  // Take the entries first, so that a handler that touches the list sees it empty.
  std::vector<void*> entries(items_.begin(), items_.begin() + count_);
  items_.clear();
  items_.shrink_to_fit();
  count_ = 0;
  bool notify = static_cast<bool>(OnDelete);
  for (void* p : entries) {
    if (notify) {
      Notify(p);
    } else if (AutoClearObjects && p != nullptr) {
      try {
        delete static_cast<TObject*>(p);
      } catch (...) {
        // Destructors of the entries are not allowed to stop the clearing.
      }
    }
  }
}

void TMtList::SetCount(int n) {
  if (n < 0 || n > kMtMaxListSize) throw EListError(kListIndexError);
  if (n > Capacity()) SetCapacity(n);
  if (n > count_) {
    std::fill(items_.begin() + count_, items_.begin() + n, nullptr);
    count_ = n;
  } else {
    while (count_ > n) Delete(count_ - 1);
  }
}

void TMtList::SetCapacity(int n) {
  if (n < count_ || n > kMtMaxListSize) throw EListError(kListIndexError);
  items_.resize(static_cast<std::size_t>(n));
  items_.shrink_to_fit();
}

// ---------------------------------------------------------------------------------
// TMtStack

namespace {
constexpr const char* kStackCapacityError = "Invalid MtStack capacity.";
constexpr const char* kStackEmptyError = "MtStack is empty.";
}  // namespace

void TMtStack::Push(void* p) {
  if (count_ == Capacity())
    items_.resize(static_cast<std::size_t>(GrownCapacity<EMtStackError>(Capacity(), kStackCapacityError)));
  items_[static_cast<std::size_t>(count_++)] = p;
}

void* TMtStack::Pop() {
  if (count_ == 0) throw EMtStackError(kStackEmptyError);
  void* p = items_[static_cast<std::size_t>(--count_)];
  ShrinkIfSparse(items_, count_);
  return p;
}

void* TMtStack::Peek() const {
  if (count_ == 0) throw EMtStackError(kStackEmptyError);
  return items_[static_cast<std::size_t>(count_ - 1)];
}

void TMtStack::SetCapacity(int n) {
  if (n < count_ || n > kMtMaxListSize) throw EMtStackError(kStackCapacityError);
  items_.resize(static_cast<std::size_t>(n));
  items_.shrink_to_fit();
}
