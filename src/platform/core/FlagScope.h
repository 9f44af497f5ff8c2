// Scope guards that put a value back when the scope ends, also by an exception.
// TFlagScope: sets a flag for the lifetime of a scope and clears it (re-entry guards of
// event handlers). TRestore: keeps a value and puts it back, optionally setting a new one
// meanwhile.
#pragma once

#include <utility>

class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};

template <class T>
class TRestore {
 public:
  explicit TRestore(T& slot) : slot_(slot), saved_(slot) {}
  TRestore(T& slot, T value) : slot_(slot), saved_(slot) { slot_ = std::move(value); }
  ~TRestore() { slot_ = saved_; }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

 private:
  T& slot_;
  T saved_;
};
