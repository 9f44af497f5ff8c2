// The ration window's panes. The kit's alignment lays the window out as the class
// library would: the section list on the left and the pages in the rest; on the page
// "Питание" the totals grid at the bottom under the tabs; on the menu tab the comment
// memo at the bottom under the ration tree. A pane splitter with MinSize 1 stands on each
// of the three borders; its button collapses the pane beside it and gives it back its
// size.
//
// Each pane also fits into its window: in a low (or narrow) window it gives way, down to
// a least size of its own, before the control in the rest goes below the size that
// control needs (the menu keeps four rows when the windows are tiled at a third of the
// screen); when the window grows again the pane gets back the size it was given. The
// sizes the user gave and the collapsed states go with the window's placement.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <charconv>

#include "controls/gui/MtTreeView.h"
#include "controls/gui/PaneSplitter.h"
#include "planner/gui/RaskladForm.h"
#include "platform/core/FlagScope.h"
#include "platform/core/Registry.h"

// A pane beside its bar, fitted into the bar's parent. Its wanted size is the size the
// pane was given: at the start, from the settings, or by the bar (a drag or the button;
// only the bar and the fitting change the pane's size across the bar, so a size other
// than the one last seen here is the bar's).
class TPaneFit : public QObject {
 public:
  TPaneFit(TPaneSplitter& bar, QWidget& pane, std::function<int()> paneLeast, std::function<int()> restLeast)
      : QObject(&bar), bar_(bar), pane_(pane), paneLeast_(std::move(paneLeast)), restLeast_(std::move(restLeast)) {
    wanted_ = seen_ = Size();
    bar.parentWidget()->installEventFilter(this);
    pane.installEventFilter(this);
  }

  TPaneSplitter& Bar() const { return bar_; }
  int Wanted() {
    Observe();
    return wanted_;
  }

  // The wanted size, or less when the rest would go below its least size (never below
  // the pane's own least size, unless it was given less).
  void Fit() {
    Observe();
    QWidget* parent = pane_.parentWidget();
    if (parent == nullptr || pane_.isHidden()) return;
    const TFlagScope fitting(fitting_);
    const QRect rest = AlignRemainder(parent, &pane_);
    const int room = (Vertical() ? rest.height() : rest.width()) - restLeast_();
    const int size = std::min(wanted_, std::max(room, paneLeast_()));
    if (size != Size()) {
      if (Vertical()) pane_.resize(pane_.width(), size);
      else pane_.resize(size, pane_.height());
      AlignControls(parent);
    }
    seen_ = Size();
  }

  void Save(TSettingsStore& store, const std::string& key) {
    store.WriteValue(key, "Size", std::to_string(Wanted()));
    store.WriteValue(key, "Maximized", bar_.Maximized() ? "1" : "0");
    // The restore size only while collapsed, as a form stores it.
    if (bar_.Model().StoresRestorePos()) store.WriteValue(key, "RestorePos", std::to_string(bar_.Model().RestorePos()));
    else store.DeleteValue(key, "RestorePos");
  }

  // Values that are missing or out of range leave the pane as it opens.
  void Restore(const TSettingsStore& store, const std::string& key) {
    const int least = bar_.MinSize, most = 10000;
    int size = 0, maximized = 0, restorePos = 0;
    Observe();
    if (Read(store, key, "Maximized", 0, 1, maximized) && maximized == 1) {
      // Collapsed: the next click gives back the restore size (the size the pane opens
      // with when none is stored).
      if (!Read(store, key, "RestorePos", least, most, restorePos)) restorePos = wanted_;
      bar_.Model().Loading = true;
      bar_.SetMaximized(true);
      bar_.Model().Loading = false;
      bar_.Model().SetRestorePos(restorePos);
      wanted_ = least;
    } else if (Read(store, key, "Size", least, most, size)) {
      wanted_ = size;
    }
    Fit();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if ((watched == bar_.parentWidget() && e->type() == QEvent::Resize) ||
        (watched == &pane_ && e->type() == QEvent::ShowToParent))
      Fit();
    // The bar gave the pane a size (its button gave back a collapsed pane, or a drag):
    // that size is wanted, but in a low window the pane fits in as it does on a resize.
    else if (watched == &pane_ && e->type() == QEvent::Resize && !fitting_ && Size() != seen_)
      Fit();
    return false;
  }

 private:
  // A size set by the bar becomes the wanted size.
  void Observe() {
    if (Size() != seen_) wanted_ = seen_ = Size();
  }
  bool Vertical() const { return bar_.Align() == TAlign::alTop || bar_.Align() == TAlign::alBottom; }
  int Size() const { return Vertical() ? pane_.height() : pane_.width(); }
  static bool Read(const TSettingsStore& store, const std::string& key, const char* name, int least, int most,
                   int& out) {
    AnsiString v;
    if (!store.ReadValue(key, name, v)) return false;
    int x = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (ec != std::errc() || end != v.data() + v.size() || x < least || x > most) return false;
    out = x;
    return true;
  }

  TPaneSplitter& bar_;
  QWidget& pane_;
  std::function<int()> paneLeast_, restLeast_;
  int wanted_ = 0, seen_ = 0;
  bool fitting_ = false;
};

namespace {

// A bar with MinSize 1 on the side of the pane that faces the rest of the parent.
TPaneSplitter* AddPaneSplitter(QWidget& pane, TAlign align, const char* name) {
  QWidget* parent = pane.parentWidget();
  SetAlign(&pane, align);
  auto* bar = new TPaneSplitter(parent, align);
  bar->setObjectName(name);
  bar->MinSize = 1;
  if (align == TAlign::alLeft) bar->move(pane.x() + pane.width(), pane.y());
  else bar->move(pane.x(), pane.y() - bar->height());
  AlignControls(parent);
  return bar;
}

}  // namespace

void TRaskladForm::LayOutPanes() {
  const int scrollBar = tvEatTotals->horizontalScrollBar()->sizeHint().height();
  // The menu keeps four rows; the totals grid opens with its five rows and keeps two;
  // the comment memo opens 80 pixels high and keeps one line.
  auto menuLeast = [this, scrollBar] { return tvEatMenu->HeaderHeight() + 4 * tvEatMenu->LineHeight() + 6 + scrollBar; };
  auto totalsRows = [this, scrollBar](int rows) {
    return tvEatTotals->HeaderHeight() + rows * tvEatTotals->LineHeight() + 6 + scrollBar;
  };
  auto memoLeast = [this] { return memCmt->fontMetrics().lineSpacing() + 2 * memCmt->frameWidth() + 8; };
  auto one = [] { return 1; };

  memCmt->resize(memCmt->width(), 80);
  PaneSplitter3 = AddPaneSplitter(*memCmt, TAlign::alBottom, "PaneSplitter3");
  SetAlign(tvEatMenu, TAlign::alClient);
  paneFits_[2] = new TPaneFit(*PaneSplitter3, *memCmt, memoLeast, menuLeast);

  tvEatTotals->resize(tvEatTotals->width(), totalsRows(5));
  PaneSplitter2 = AddPaneSplitter(*tvEatTotals, TAlign::alBottom, "PaneSplitter2");
  SetAlign(pcEat, TAlign::alClient);
  // Above the grid: the tabs with the menu tab's least height.
  auto tabsLeast = [this, menuLeast, memoLeast] {
    const int chrome =
        pcEat->tabBar()->sizeHint().height() + 2 * pcEat->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return chrome + menuLeast() + (memCmt->isHidden() ? 0 : memoLeast() + PaneSplitter3->height());
  };
  paneFits_[1] = new TPaneFit(*PaneSplitter2, *tvEatTotals, [totalsRows] { return totalsRows(2); }, tabsLeast);

  ListView1->resize(130, ListView1->height());
  PaneSplitter1 = AddPaneSplitter(*ListView1, TAlign::alLeft, "PaneSplitter1");
  SetAlign(Notebook1, TAlign::alClient);
  paneFits_[0] = new TPaneFit(*PaneSplitter1, *ListView1, one, one);
}

QSize TRaskladForm::sizeHint() const { return {760, 540}; }
QSize TRaskladForm::minimumSizeHint() const { return {360, 300}; }

void TRaskladForm::FitPanes() {
  for (TPaneFit* fit : paneFits_) fit->Fit();
}

void TRaskladForm::SavePanes(TSettingsStore& store, const std::string& key) const {
  for (TPaneFit* fit : paneFits_) fit->Save(store, key + "\\" + fit->Bar().objectName().toStdString());
}

void TRaskladForm::RestorePanes(const TSettingsStore& store, const std::string& key) {
  for (TPaneFit* fit : paneFits_) fit->Restore(store, key + "\\" + fit->Bar().objectName().toStdString());
}
