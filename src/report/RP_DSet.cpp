#include "report/RP_DSet.h"

#include <limits>

void TrpDataset::First() {
  recNo_ = 0;
  if (OnFirst) OnFirst(this);
}

void TrpDataset::Next() {
  if (recNo_ < std::numeric_limits<int>::max()) ++recNo_;
  if (OnNext && !CountReached()) OnNext(this);
}

void TrpDataset::Prior() {
  if (recNo_ > std::numeric_limits<int>::min()) --recNo_;
  if (OnPrior) OnPrior(this);
}

bool TrpDataset::Eof() {
  const bool countReached = CountReached();
  bool eof = countReached;
  if (OnCheckEOF) OnCheckEOF(this, eof);
  return eof;
}
