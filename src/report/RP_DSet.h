// Report datasets: the small protocol through which a data band walks its records
// (activate, first, end test, next, deactivate), with a record counter and a range rule.
// TrpUserDataset is driven purely by its events; the ration planner feeds its report rows
// through such datasets.
#pragma once

#include <functional>

#include "platform/core/Classes.h"

enum class TRangeBegin { rbFirst, rbCurrent };
enum class TRangeEnd { reLast, reCurrent, reCount };

// Receives the end-of-data answer the dataset has so far and may change it.
using TCheckEOFEvent = std::function<void(TObject* Sender, bool& Eof)>;

// A report that repeats over a dataset is told when the dataset goes (TFreeNotifier).
class TrpDataset : public TObject, public TFreeNotifier {
 public:
  TrpDataset() = default;
  TrpDataset(const TrpDataset&) = delete;
  TrpDataset& operator=(const TrpDataset&) = delete;

  AnsiString Name;
  TRangeBegin RangeBegin = TRangeBegin::rbFirst;
  TRangeEnd RangeEnd = TRangeEnd::reLast;
  int RangeEndCount = 0;  // records in the range when RangeEnd is reCount

  TNotifyEvent OnFirst;
  TNotifyEvent OnNext;
  TNotifyEvent OnPrior;
  TCheckEOFEvent OnCheckEOF;

  // 0 at the first record of the range.
  int RecNo() const { return recNo_; }

  virtual void Activate() {}
  virtual void Deactivate() {}
  virtual void First();
  // Counts on; OnNext fires unless the counted range is used up.
  virtual void Next();
  virtual void Prior();
  // The end of data: a used-up counted range, unless OnCheckEOF answers otherwise (it
  // receives that answer and may change it either way).
  virtual bool Eof();

 protected:
  bool CountReached() const { return RangeEnd == TRangeEnd::reCount && recNo_ >= RangeEndCount; }

 private:
  int recNo_ = 0;
};

// A dataset whose rows come from its events alone (OnFirst, OnNext, OnCheckEOF).
class TrpUserDataset : public TrpDataset {};
