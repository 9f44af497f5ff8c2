// The ration properties dialog's model: the rows it shows, OK with a changed type, and
// Cancel (no Apply) leaving the document alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planner/ration/FrmRaskladPropModel.h"
#include "platform/core/AnsiText.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }


TEST(RaskladProp, RowsShowTheDocumentsReferenceValues) {
  TRationDocument doc;
  doc.SetRationType(rtDayMenu);
  doc.Header.RefCal = 3100;
  doc.Header.RefAlb = 150;
  doc.Header.RefFat = 180;
  doc.Header.RefCarb = 690;
  TRaskladPropModel m;
  m.Load(doc);
  EXPECT_EQ(m.RationTypeIndex(), 0);
  std::vector<std::string> rows;
  for (const TRaskladPropRow& r : m.Rows()) rows.push_back(Utf8(r.Caption) + "=" + Utf8(r.Value));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Энергозатраты, ККал=3100", "Потребность в белках, г=150.00", "Потребность в жирах, г=180.00",
                      "Потребность в углеводах, г=690.00", "Макс. суточный энергодефицит =0.30",
                      "Макс. суммарный энергодефицит, ККал=70000", "Мин. доля животных белков =0.50",
                      "Мин. доля животных жиров =0.75", "Макс. доля животных жиров =0.80"}));
  EXPECT_EQ(Utf8(TRaskladPropModel::RationTypeItems()[1]), " Среднесуточный рацион");
}

TEST(RaskladProp, OkAppliesAChangedTypeAndMarksTheDocumentCancelDoesNothing) {
  TRationDocument doc;
  doc.SetRationType(rtDayMenu);
  int changes = 0;
  doc.OnRationTypeChange = [&](TObject*) { ++changes; };

  // Cancel: the radio choice changed, nothing applied.
  TRaskladPropModel cancelled;
  cancelled.Load(doc);
  cancelled.SetRationTypeIndex(1);
  EXPECT_EQ(doc.RationType(), rtDayMenu);
  EXPECT_EQ(doc.Modified, 0);

  // OK with the same type: nothing changes.
  TRaskladPropModel same;
  same.Load(doc);
  EXPECT_FALSE(same.Apply(doc));
  EXPECT_EQ(doc.Modified, 0);
  EXPECT_EQ(changes, 0);

  // OK with the other type: the document takes it (pages and colour follow) and is
  // modified, so that closing asks to save it.
  TRaskladPropModel ok;
  ok.Load(doc);
  ok.SetRationTypeIndex(1);
  EXPECT_TRUE(ok.Apply(doc));
  EXPECT_EQ(doc.RationType(), rtAverage);
  EXPECT_FALSE(doc.DayListPageVisible());
  EXPECT_EQ(doc.Color, kAverageRationColor);
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(doc.RecalcMenu, 1);
  EXPECT_EQ(changes, 1);
  TRaskladPropModel back;
  back.Load(doc);
  EXPECT_EQ(back.RationTypeIndex(), 1);
}

}  // namespace
