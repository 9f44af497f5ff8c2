// The pointer list and pointer stack that the tree and header controls keep their
// children, sections, styles and item paths in.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/core/Classes.h"

// Largest capacity of a list or stack.
inline constexpr int kMtMaxListSize = 0x7FFFFFF;

// How much a list or stack of the given capacity grows when it is full: 4 up to a
// capacity of 8, 16 up to 64, a quarter above that.
int MtGrowDelta(int capacity);

// Called for an entry that leaves a list through Delete or Clear.
using TMtListDeleteEvent = std::function<void(TObject* Sender, void* Item)>;

// A growable array of untyped pointers. Ownership of what the entries point to is the
// user's: either an OnDelete handler frees them, or AutoClearObjects makes Clear (and the
// destructor) free them as TObject. With both, OnDelete is taken as the owner and Clear
// frees nothing itself, so no entry is ever freed twice.
class TMtList : public TObject {
 public:
  TMtList() = default;
  ~TMtList() override;
  TMtList(const TMtList&) = delete;
  TMtList& operator=(const TMtList&) = delete;

  int Count() const { return count_; }
  int Capacity() const { return static_cast<int>(items_.size()); }

  int Add(void* p);
  void Insert(int index, void* p);
  // Notifies OnDelete, removes the entry, and halves the capacity when the count falls
  // below half of it.
  void Delete(int index);
  int Remove(void* p);
  int IndexOf(const void* p) const;
  void* Items(int index) const;
  void* operator[](int index) const { return Items(index); }
  // Replaces an entry; no notification.
  void SetItem(int index, void* p);
  // Repositions an entry. A move is not a removal: OnDelete is not called.
  void Move(int curIndex, int newIndex);
  void Exchange(int index1, int index2);
  void Clear();
  // Extends with nil entries, or removes (and notifies) the entries past n.
  void SetCount(int n);
  void SetCapacity(int n);

  bool AutoClearObjects = false;
  TMtListDeleteEvent OnDelete;

 protected:
  virtual void Grow();
  virtual void Notify(void* p);

 private:
  void CheckIndex(int index) const;

  std::vector<void*> items_;  // size() is the capacity
  int count_ = 0;
};
