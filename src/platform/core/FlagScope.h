// TFlagScope: sets a flag for the lifetime of a scope and clears it when the scope ends,
// also by an exception (re-entry guards of event handlers).
#pragma once

class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};
