// The preview window: prepared pages drawn at a zoom on a grey field, scrolled by bars,
// keys, dragging and the wheel; find in the page texts, save and load of prepared
// reports, export through the registered filters, print. The window keeps a reference
// to the pages it shows (they stay the report's). Its zoom is remembered for the next
// preview; its position is kept in the settings store.
//
// TrpPreview is the same preview inside another form: a panel that makes a hidden
// preview window and takes its toolbar and page area over, so both run one code.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gui/Containers.h"
#include "platform/gui/Forms.h"
#include "report/RP_PreviewLayout.h"
#include "report/gui/RP_Toolbar.h"

class QAction;
class QLabel;
class QMenu;
class QHBoxLayout;
class TrpReport;
class TrpPreviewForm;
class TrpPreview;

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
  // The page under a point of the window and the point in its report pixels.
  bool PageAt(QPoint pos, int& index, TPoint& point) const;
  TrpPreviewForm& form_;
  QPoint dragFrom_;
  bool dragging_ = false;
  long long wheelTurn_ = 0;  // the wheel's turn not yet scrolled, in 1/120 pixels
};

// The report showing its pages here is told when the window is freed.
class TrpPreviewForm : public TForm, public TFreeNotifier {
 public:
  // An MDI child (fsMDIChild) takes its frame as `parent`.
  explicit TrpPreviewForm(QWidget* parent = nullptr, TFormStyle formStyle = TFormStyle::fsNormal);

  // Shows the pages of the report with its options (modal when `modal`, by default
  // when the report's ModalPreview says so).
  void ShowReport(TrpReport& report);
  void ShowReport(TrpReport& report, bool modal);
  // The report's buttons, first zoom and grey buttons; help and exit only in the
  // window of its own.
  void ApplyReportOptions();
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
  // The help button: the program's help page of the preview (rpPreviewHelp), or, when
  // the program installs none, the pointer asks for a control's short explanation.
  void HelpClick();
  // The exit button and Esc: a modal window closes with OK, another one closes.
  void Exit();

  // Save: filter index 1 writes a prepared report (".rpp" forced); index n > 1 exports
  // through the (n - 1)-th registered filter, with its extension. False when nothing was
  // written; errors are shown to the user.
  bool SaveAs(const AnsiString& fileName, int filterIndex);
  bool LoadFrom(const AnsiString& fileName);
  // The document the pages come from: the save dialog opens in its folder and proposes
  // its name; without one it opens in the user's documents folder.
  AnsiString SourceDocument;
  // The folder and name the save dialog starts with.
  AnsiString SaveDialogDir() const;
  void SaveDialog();
  void LoadDialog();
  // Print: the print dialog (with the report's copies and collation), then the pages
  // to the printer (the virtual one writes PDF). A printer changed in the dialog builds
  // the report's pages again for it first (when they come from its template).
  void PrintDialog();
  void PageSetupDialog();
  // The key table of the window (true when the key was taken).
  bool HandleKey(std::uint16_t key, TShiftState shift);

  // Page editing, offered (in the zoom menu, by Ctrl+E and a double click) only when a
  // page editor is installed and the report allows its pages to be modified. Edit hands
  // the current page to the editor; add puts an empty page of the current page's paper
  // after it; delete removes the current page. False when nothing was done.
  bool PageEditing() const;
  bool EditPage();
  bool AddPage();
  bool DeletePage();
  QAction *EditPageItem, *AddPageItem, *DeletePageItem;

  // Inactive buttons show their grey glyph until the pointer enters them (disabled
  // buttons always show it).
  bool GrayedButtons() const { return grayedButtons_; }
  void SetGrayedButtons(bool grayed);
  // The scroll steps of one wheel notch: 1 in the window of its own, 3 in a panel.
  int WheelFactor = 1;
  // Fired with the page number whenever the current page changes.
  std::function<void(int pageNo)> OnPageChanged;
  // The panel that holds the toolbar and the pages (nil in the window of its own).
  TrpPreview* Host() const { return host_; }

  // The remembered zoom of every preview.
  static int LastMode;
  static double LastFactor;
  // The status text: "Стр. n/m".
  AnsiString StatusText() const;

  // The toolbar and the page area (pages, bars, status); a panel takes both over.
  TPanel* ToolBar;
  QWidget* PagePanel;
  TrpPBox* PBox;
  TrpTBButton *ZoomBtn, *LoadBtn, *SaveBtn, *PrintBtn, *FindBtn, *HelpBtn, *ExitBtn, *PageSetupBtn;
  QMenu* ZoomMenu;
  QLabel* StatusLabel;

 private:
  friend class TrpPBox;
  friend class TrpPreview;
  void UpdateStatus();
  // The bars shown (a bar with nothing to scroll is disabled) and the status beside the
  // horizontal one.
  void ShowBars(bool vertical, bool horizontal);
  // Save, print and find want pages; page setup a report to build again.
  void UpdateButtons();
  void CreateToolBar();
  // Lays the shown toolbar items out in their order.
  void ArrangeToolBar();
  // The right-button menu: the host panel's when it has one, else the zoom menu.
  QMenu* ContextMenu() const;
  void PageFromScroll();
  void Error(const AnsiString& text);

  TrpReport* report_ = nullptr;
  TrpEMFPages* pages_ = nullptr;
  TrpEMFPages ownPages_;  // pages loaded while no report is shown
  int page_ = 0;
  int reportedPage_ = 0;  // the page OnPageChanged last told of
  TrpPreview* host_ = nullptr;
  QWidget *zoomSeparator_ = nullptr, *exitSeparator_ = nullptr;
  QAction* pageEditSeparator_ = nullptr;
  bool grayedButtons_ = false;
  std::vector<QWidget*> toolOrder_;  // the toolbar's items in their order
  int mode_ = rpzmWholePage;
  TrpPreviewLayout layout_;
  TrpPreviewSearch search_;
};

enum class TrpScrollBars { ssNone, ssHorizontal, ssVertical, ssBoth };

class TrpPreview : public TPanel {
 public:
  explicit TrpPreview(QWidget* parent = nullptr);
  ~TrpPreview() override;

  // Shows the report's prepared pages (they stay the report's) at the remembered zoom,
  // from page 1.
  void ConnectReport(TrpReport& report);
  // Shows pages without a report (a loaded prepared report, for instance).
  void ConnectPages(TrpEMFPages& pages);
  int GetPageNo() const;
  TrpPreviewForm& Form() { return *form_; }

  bool ShowToolbar() const { return showToolbar_; }
  void SetShowToolbar(bool show);
  TrpScrollBars ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TrpScrollBars bars);
  std::function<void(int pageNo)> OnPageChanged;

  void KeyDown(std::uint16_t& Key, TShiftState Shift) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Attach();
  std::unique_ptr<TrpPreviewForm> form_;
  bool showToolbar_ = true;
  TrpScrollBars scrollBars_ = TrpScrollBars::ssBoth;
  QPointer<QWidget> wheelSource_;
};
