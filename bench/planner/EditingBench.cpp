// Editing the 14-day, 6-person example as a user does, each step with the totals grid
// recomputed: adding a product to a meal, deleting a day, changing a weight; and the
// model's part of opening the file (read, sums, totals). The example is built from its
// source over the shipped reference sources.
#include <benchmark/benchmark.h>

#include "examples/ExampleBuild.h"
#include "planner/ration/RationEdit.h"
#include "planner/ration/RationFile.h"
#include "refdata/RefSource.h"

namespace {

class TOnePick : public IRefPicker, public IDishComposition, public IUserPrompt {
 public:
  TOnePick() {
    rec_.Code = 999001;
    rec_.Cal = 399;
    rec_.Veight = 40;
    rec_.Carb = 99.8;
  }
  TModalResult Execute(int, const AnsiString&) override { return mrOk; }
  int PickCount() const override { return 1; }
  AnsiString GetItemText(int) const override { return "sugar"; }
  AnsiString GetItemPath(int, const AnsiString&) const override { return "sugar"; }
  const TFoodRec* GetItemData(int) override { return &rec_; }
  std::vector<TDishComponent> Components(std::int32_t) override { return {}; }
  bool FindProduct(std::int32_t, AnsiString&, TFoodRec&) override { return false; }
  TModalResult MessageDlg(const AnsiString&, TMsgDlgType, TMsgDlgButtons) override { return mrYes; }

 private:
  TFoodRec rec_{};
};

struct TExample {
  TRationDocument doc;
  TRationViews views{doc};
  TOnePick services;
  TRationEditor editor{doc, views, services, services, services};
  TExample() {
    const AnsiString dir = TARNWICK_DATA_DIR;
    examples::BuildExample(doc, refdata::ReadWholeFile(dir + "/examples/mountain-14.txt"), "mountain-14.txt", dir);
    editor.UpdateTotals();
  }
  TMtTreeItem* Day(int i) const { return doc.Items()->Root()->GetChildren(i); }
};

void BM_AddProductWithTotals(benchmark::State& state) {
  TExample e;
  TMtTreeItem* meal = e.Day(7)->GetChildren(2);
  for (auto _ : state) {
    e.doc.Tree().SetItemFocused(meal);
    e.editor.ItemAddProd();
    state.PauseTiming();
    e.doc.Items()->DeleteItem(meal->GetLastChild());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddProductWithTotals)->Unit(benchmark::kMicrosecond);

void BM_DeleteDayWithTotals(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto e = std::make_unique<TExample>();
    e->doc.Tree().SetItemFocused(e->Day(5));
    state.ResumeTiming();
    e->editor.ItemDel();
    state.PauseTiming();
    e.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteDayWithTotals)->Unit(benchmark::kMicrosecond);

void BM_ChangeWeightWithTotals(benchmark::State& state) {
  TExample e;
  TMtTreeItem* product = e.Day(3)->GetChildren(0)->GetLastChild();
  int v = 10;
  for (auto _ : state) {
    AnsiString text = Format("%d", {10 + (v++ % 50)});
    e.editor.ValidateVeight(product, text);
  }
}
BENCHMARK(BM_ChangeWeightWithTotals)->Unit(benchmark::kMicrosecond);

void BM_OpenExampleModel(benchmark::State& state) {
  TExample e;
  TMemoryStream file;
  WriteRation(e.doc, file);
  for (auto _ : state) {
    TRationDocument doc;
    TRationViews views(doc);
    file.SetPosition(0);
    ReadRation(doc, file, e.doc.Header.Limits);
    views.UpdateTotals();
    benchmark::DoNotOptimize(views.Totals.Cells[0][0]);
  }
}
BENCHMARK(BM_OpenExampleModel)->Unit(benchmark::kMicrosecond);

}  // namespace
