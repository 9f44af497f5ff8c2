// The tree control with n items all expanded (days of 10 products, 8 column texts each,
// under a header of nine sections): painting one screen at the top and at the end,
// expanding and collapsing everything, scrolling to the end with the End key, and
// selecting everything. A screen's paint must not grow with n; the rest linearly. And the
// last page of a chain of 10,000 levels.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <memory>

#include "QtBenchMain.h"
#include "controls/gui/MtTreeView.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

std::unique_ptr<TMtTree> MakeTree(int items) {
  auto tree = std::make_unique<TMtTree>();
  tree->resize(900, 600);
  for (int i = 0; i < 9; ++i) {
    TMtHeaderSection* s = tree->Header().Sections().AddSection();
    s->SetText("Column");
    s->SetWidth(i == 0 ? 250 : 70);
  }
  tree->SetShowColumns(true);
  tree->SetShowCheckboxes(true);
  TMtUpdateBracket bracket(tree.get());
  TMtTreeItem* day = nullptr;
  for (int i = 0; i < items; ++i) {
    TMtTreeItem* item;
    if (i % 11 == 0) {
      day = item = tree->Items()->AddChild(nullptr, "Day");
      item->SetParentStyle(false);
      item->SetState(isBold, true);
    } else {
      item = tree->Items()->AddChild(day, "Product with a fairly long name");
      item->ShowCheckBox = true;
    }
    for (int c = 0; c < 8; ++c) item->ColumnText().Add("123.45");
  }
  tree->ExpandAll();
  return tree;
}

QImage& Screen() {
  static QImage image(900, 600, QImage::Format_ARGB32);
  return image;
}

void PaintScreen(TMtTree& tree) {
  QPainter painter(&Screen());
  TQtCanvas canvas(painter, Rect(0, 0, 900, 600));
  canvas.Font = tree.Font();
  tree.Paint(canvas);
}

void BM_PaintScreenTop(benchmark::State& state) {
  auto tree = MakeTree(static_cast<int>(state.range(0)));
  for (auto _ : state) PaintScreen(*tree);
}
BENCHMARK(BM_PaintScreenTop)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

void BM_PaintScreenEnd(benchmark::State& state) {
  auto tree = MakeTree(static_cast<int>(state.range(0)));
  tree->SetTopIndex(tree->RowCount());
  for (auto _ : state) PaintScreen(*tree);
}
BENCHMARK(BM_PaintScreenEnd)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

// A chain of `depth` levels, all expanded, scrolled to the last page: a row must paint in
// time independent of its depth (only the lines on screen are looked at). Once at the
// left edge (the ancestors' columns) and once scrolled to the deepest rows.
void BM_PaintDeepRows(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  TMtTree tree;
  tree.resize(900, 600);
  {
    TMtUpdateBracket bracket(&tree);
    TMtTreeItem* item = nullptr;
    for (int i = 0; i < depth; ++i) item = tree.Items()->AddChild(item, "Level");
    tree.ExpandAll();
  }
  tree.SetTopIndex(tree.RowCount());
  if (state.range(1) != 0) tree.SetLeftPosition(tree.ColumnsWidth());
  for (auto _ : state) PaintScreen(tree);
}
BENCHMARK(BM_PaintDeepRows)
    ->ArgsProduct({{2500, 5000, 10000}, {0, 1}})
    ->ArgNames({"depth", "scrolled"})
    ->Unit(benchmark::kMillisecond);

void BM_CollapseExpandAll(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto tree = MakeTree(n);
  for (auto _ : state) {
    tree->CollapseAll();
    tree->ExpandAll();
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_CollapseExpandAll)->Arg(5000)->Arg(20000)->Arg(80000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_ScrollToEnd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto tree = MakeTree(n);
  for (auto _ : state) {
    std::uint16_t home = VK_HOME, end = VK_END;
    tree->KeyDown(home, 0);
    tree->KeyDown(end, 0);
    PaintScreen(*tree);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ScrollToEnd)->Arg(5000)->Arg(20000)->Arg(80000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_SelectAll(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto tree = MakeTree(n);
  for (auto _ : state) {
    tree->SelectAll();
    tree->DeselectAll();
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_SelectAll)->Arg(5000)->Arg(20000)->Arg(80000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

TARNWICK_QT_BENCHMARK_MAIN()
