#include <gtest/gtest.h>

#include <vector>

#include "report/RP_Prntr.h"

namespace {

struct OrderCase {
  const char* numbers;
  int copies;
  bool collate;
  int oddEven;
  std::vector<int> order;  // 0-based page indexes of a 6-page report
};

}  // namespace

TEST(PrintOrder, PageListCopiesCollationAndOddEven) {
  const OrderCase cases[] = {
      {"", 1, false, 0, {0, 1, 2, 3, 4, 5}},
      {" 1, 3 ,5-6 ", 1, false, 0, {0, 2, 4, 5}},
      {"4-", 1, false, 0, {3, 4, 5}},              // runs to the last page
      {"5-2", 1, false, 0, {}},                    // a range ending below its start
      {"2,2,9,0-1", 1, false, 0, {0, 1}},          // duplicates, past the end, page 0
      {"a,3,-,x-2", 1, false, 0, {2}},             // what is not a number selects nothing
      {"", 1, false, 1, {0, 2, 4}},                // odd page numbers
      {"2-5", 1, false, 2, {1, 3}},                // even ones of the range
      {"2-3", 2, true, 0, {1, 2, 1, 2}},           // collated copies
      {"2-3", 2, false, 0, {1, 1, 2, 2}},          // each page in turn
      {"3", 0, false, 0, {2}},                     // copies below 1 count as 1
      {"99999999999999999999", 1, false, 0, {}},   // no overflow on huge numbers
  };
  for (const OrderCase& c : cases)
    EXPECT_EQ(rpPrintOrder(6, c.numbers, c.copies, c.collate, c.oddEven), c.order)
        << '"' << c.numbers << "\" copies " << c.copies << " collate " << c.collate << " odd/even " << c.oddEven;
  EXPECT_TRUE(rpPrintOrder(0, "", 3, true, 0).empty());
}
