// A stack of untyped pointers (the path of an item while a walk descends).
#pragma once

#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/SysUtils.h"

TW_DECLARE_EXCEPTION(EMtStackError, Exception)

class TMtStack : public TObject {
 public:
  int Count() const { return count_; }
  int Capacity() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return count_ == 0; }

  // Grows by the list's growth rule when full.
  void Push(void* p);
  // EMtStackError "MtStack is empty." on an empty stack; halves the capacity when the
  // count falls below half of it.
  void* Pop();
  // The top entry without removing it; EMtStackError on an empty stack.
  void* Peek() const;
  // EMtStackError "Invalid MtStack capacity." below the count or above the maximum.
  void SetCapacity(int n);

 private:
  std::vector<void*> items_;  // size() is the capacity
  int count_ = 0;
};
