// Replays inputs of the template and prepared-report fuzzers (fuzz/report) under the
// sanitizers of the test build: the cases they found (tests/data/fuzz/report_template),
// and hostile shapes made from a good file.
#include <gtest/gtest.h>

#include "../../fuzz/report/ReportFilesHarness.h"
#include "SamplePage.h"
#include "test_support/FuzzCases.h"

namespace {

std::string I32(std::int32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

// Every 4-byte window of `good` set to each of a few hostile values, one at a time.
std::vector<std::string> Mutations(const std::string& good, std::size_t step) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at + 4 <= good.size(); at += step)
    for (std::int32_t v : {-1, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000), 0x40000000, 65535}) {
      std::string b = good;
      b.replace(at, 4, I32(v));
      out.push_back(std::move(b));
    }
  for (std::size_t n = 0; n < good.size(); n += good.size() / 16 + 1) out.push_back(good.substr(0, n));
  return out;
}

}  // namespace

TEST(RpFilesFuzzReplay, TemplateCasesRunCleanly) {
  const auto cases = FuzzCases("report_template");
  ASSERT_FALSE(cases.empty());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    const int pages = report_fuzz::RunTemplate(bytes);
    // Templates that once started pages without end (90 records) build a few pages.
    if (name.rfind("recursion-", 0) == 0) {
      EXPECT_GT(pages, 0);
      EXPECT_LT(pages, 10);
    }
  }
  TrpPages pages;
  BuildSampleTemplate(pages);
  TMemoryStream m;
  rpSaveTemplate(pages, m);
  for (const std::string& b : Mutations(m.Bytes(), 7)) report_fuzz::RunTemplate(b, false);
}

TEST(RpFilesFuzzReplay, PreparedReportsRunCleanly) {
  rpResetState();
  TrpEMFPages pages;
  AddSamplePage(pages);
  // Without the picture's bytes the file stays small enough to mutate everywhere.
  TMemoryStream m;
  pages.SaveToStream(m);
  std::string good = m.Bytes();
  report_fuzz::RunPrepared(good);
  for (const std::string& b : Mutations(good.substr(0, 1200), 5)) report_fuzz::RunPrepared(b);
}

TEST(RpFilesFuzzReplay, AbsurdGeometryIsRefusedOrDrawnWithoutOverflow) {
  rpResetState();
  // A record whose position lies beyond any page is damaged.
  TrpMemoView far;
  far.SetBounds(200000, 0, 10, 10);
  TMemoryStream rec;
  far.SaveToStream(rec);
  rec.SetPosition(0);
  TrpMemoView back;
  EXPECT_THROW(back.LoadFromStream(rec), ErpRecordError);
  // The largest allowed one drawn at a huge scale stays within the canvas' numbers.
  TrpMemoView big;
  big.SetBounds(rpMaxCoord, rpMaxCoord, rpMaxCoord, rpMaxCoord);
  big.Memo.Add("x y z");
  big.Flags |= flUnderlines;
  big.Alignment = rpalJustify;
  big.FrameTyp = rpftAll;
  big.FrameStyle = rpfsDash;
  big.FrameWidth = 1000;
  big.LineSpacing = 10000;
  big.CharSpacing = 10000;
  big.ScaleX = big.ScaleY = 1e6;
  rpState().DocMode = rpOutputMode;
  TRecordingCanvas canvas;
  big.Draw(canvas);
  for (const auto& op : canvas.Ops()) {
    EXPECT_LE(op.R.Right, 1 << 30);
    EXPECT_GE(op.R.Left, -(1 << 30));
  }
  rpResetState();
}
