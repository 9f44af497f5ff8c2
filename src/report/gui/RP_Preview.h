// The preview window: prepared pages drawn at a zoom on a grey field, scrolled by bars,
// keys, dragging and the wheel; find in the page texts, save and load of prepared
// reports, export through the registered filters, print. The window keeps a reference
// to the pages it shows (they stay the report's). Its zoom is remembered for the next
// preview; its position is kept in the settings store.
#pragma once

#include <QAbstractScrollArea>

#include "platform/gui/Forms.h"
#include "report/RP_PreviewLayout.h"

class QLabel;
class QMenu;
class QToolButton;
class QHBoxLayout;
class TrpReport;
class TrpPreviewForm;

// The page field.
class TrpPBox : public QAbstractScrollArea {
 public:
  explicit TrpPBox(TrpPreviewForm& form);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  TrpPreviewForm& form_;
  QPoint dragFrom_;
  bool dragging_ = false;
};

// The report showing its pages here is told when the window is freed.
class TrpPreviewForm : public TForm, public TFreeNotifier {
 public:
  explicit TrpPreviewForm(QWidget* parent = nullptr);

  // Shows the pages of the report (modal when `modal`).
  void ShowReport(TrpReport& report, bool modal = true);
  // The pages shown (not owned); the view goes to page 1 with the remembered zoom.
  void SetPages(TrpEMFPages* pages);
  TrpEMFPages* Pages() const { return pages_; }
  TrpReport* Report() const { return report_; }

  int PageNo() const { return page_ + 1; }
  int PageCount() const;
  void GoToPage(int pageNo);  // 1-based; the page's top 10 pixels below the window top
  // The zoom menu's tags: 1 page width, 2 whole page, 3 two pages, other: percent.
  void SetZoom(int tag);
  int ZoomMode() const { return mode_; }
  double ZoomFactor() const { return layout_.Factor; }
  const TrpPreviewLayout& Layout() const { return layout_; }
  void Relayout();

  // Find: a new search (from the beginning, or from the current page), then next.
  bool Find(const AnsiString& text, bool caseSensitive, bool fromBeginning);
  bool FindNext();
  const TrpPreviewSearch& Search() const { return search_; }
  // The find dialog, then the search.
  void FindDialog();

  // Save: filter index 1 writes a prepared report (".rpp" forced); index n > 1 exports
  // through the (n - 1)-th registered filter, with its extension. False when nothing was
  // written; errors are shown to the user.
  bool SaveAs(const AnsiString& fileName, int filterIndex);
  bool LoadFrom(const AnsiString& fileName);
  void SaveDialog();
  void LoadDialog();
  // Print: the print dialog, then the pages to the printer (the virtual one writes PDF).
  void PrintDialog();
  void PageSetupDialog();
  // The key table of the window (true when the key was taken).
  bool HandleKey(std::uint16_t key, TShiftState shift);

  // The remembered zoom of every preview.
  static int LastMode;
  static double LastFactor;
  // The status text: "Стр. n/m".
  AnsiString StatusText() const;

  TrpPBox* PBox;
  QToolButton *ZoomBtn, *LoadBtn, *SaveBtn, *PrintBtn, *FindBtn, *HelpBtn, *ExitBtn, *PageSetupBtn;
  QMenu* ZoomMenu;
  QLabel* StatusLabel;

 private:
  friend class TrpPBox;
  void UpdateStatus();
  void PageFromScroll();
  void Error(const AnsiString& text);

  TrpReport* report_ = nullptr;
  TrpEMFPages* pages_ = nullptr;
  TrpEMFPages ownPages_;  // pages loaded while no report is shown
  int page_ = 0;
  int mode_ = rpzmWholePage;
  TrpPreviewLayout layout_;
  TrpPreviewSearch search_;
};
