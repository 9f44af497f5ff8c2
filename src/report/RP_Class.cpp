#include "report/RP_Class.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_PageSetup.h"
#include "report/RP_Prntr.h"
#include "report/RP_Template.h"
#include "report/RP_Utils.h"
#include "report/RP_Build.h"

using namespace rp_build;

namespace {

// The report's error message box: captioned "Ошибка", with the error icon.
void ShowReportError(const AnsiString& text) {
  if (const auto& box = rpFunctionServices().MessageBox) box(text, rpLocalString(55206), MB_OK | MB_ICONERROR);
}

}  // namespace

// ---------------------------------------------------------------------------------
// TrpReport

TrpPreparedPageEditor& rpPreparedPageEditor() {
  static TrpPreparedPageEditor editor;
  return editor;
}

TrpPreviewHelp& rpPreviewHelp() {
  static TrpPreviewHelp help;
  return help;
}

TrpReport::TrpReport() : script_(std::make_unique<TInterpretator>(lookup_)) {
  EMFPages.Parent = this;
  Pages.Parent = this;
  Pages.Dictionary.IsDataSetField = [this](const AnsiString& name) { return Dictionary.IsDataSetField(name); };
  Wire();
}

TrpReport::~TrpReport() {
  // The windows it opened go first: they show its pages.
  while (!windows_.empty()) {
    const std::function<void()> free = std::move(windows_.back().second);
    windows_.pop_back();
    if (free) free();
  }
  if (dataset_) dataset_->RemoveFreeNotification(this);
  if (preview_) preview_->RemoveFreeNotification(this);
  if (rpState().Hooks == this) rpSetHooks(nullptr);
  if (rpState().MasterReport == reinterpret_cast<TrpReport*>(this)) rpState().MasterReport = nullptr;
  if (rpState().CurrentReport == reinterpret_cast<TrpReport*>(this)) rpState().CurrentReport = nullptr;
}

void TrpReport::AddDataset(TrpDataset& dataSet) { datasets_.push_back(&dataSet); }

TrpDataset* TrpReport::FindDataset(std::string_view name) const {
  for (TrpDataset* d : datasets_)
    if (AnsiSameText(d->Name, name)) return d;
  return nullptr;
}

TStream& TrpReport::OutputStream() {
  TrpBuildState& st = rpState();
  auto* master = static_cast<TrpReport*>(st.MasterReport);
  TStream* s = master ? master->EMFPages.PageStream(st.PageNumber) : nullptr;
  if (!s) throw Exception(Ansi("Нет подготовленной страницы для вывода"));
  s->Seek(0, TSeekOrigin::soEnd);
  return *s;
}

TDataSet* rpGetDefaultDataSet() {
  TrpBuildState& st = rpState();
  TrpBand* band = st.CurrentBand;
  if (!band || !st.CurrentPage || st.CurrentPage->PageType != ptReport) return nullptr;
  const int type = band->BandType;
  // A record band reads its own record (a part of another's record, that one's); its
  // header and footer, and group bands, the record band they belong to; the other bands
  // of a level its first record band.
  TrpBand* data = !band->IsData() ? band->DataBand : band->RecordOwner ? band->RecordOwner : band;
  if (!data) {
    int dataType = -1;
    if ((type >= btReportTitle && type <= btMasterFooter) || type == btGroupHeader || type == btGroupFooter)
      dataType = btMasterData;
    else if (type == btDetailData || type == btDetailFooter) dataType = btDetailData;
    else if (type == btSubDetailData || type == btSubDetailFooter) dataType = btSubDetailData;
    else if (type == btCrossData || type == btCrossFooter) dataType = btCrossData;
    data = dataType >= 0 ? band->Form.First(dataType) : nullptr;
  }
  auto* db = data ? dynamic_cast<TrpDBDataSet*>(band->Form.RunningDataSet(*data)) : nullptr;
  if (!db) return nullptr;
  try {
    return &db->GetDataSet();
  } catch (const std::exception&) {
    return nullptr;  // linked to nothing: no fields to answer
  }
}

void TrpReport::Wire() {
  lookup_.Dictionary = &Dictionary;
  Dictionary.DefaultDataSet = [] { return rpGetDefaultDataSet(); };
  lookup_.OnGetValue = [this](const AnsiString& name, Variant& value) {
    if (!OnGetValue) return false;
    Variant v;
    OnGetValue(name, v);
    if (v.IsEmpty()) return false;
    value = v;
    return true;
  };
  lookup_.BuildValue = [this](const AnsiString& name, Variant& value) {
    TrpBuildState& st = rpState();
    TrpPageForm* form = CurrentForm;
    // Line numbers: of the record printing now; a group's bands number the groups.
    TrpBand* counted = form ? form->CurrentData : nullptr;
    if (TrpBand* band = st.CurrentBand; band && band->BandType == btGroupHeader) counted = band;
    else if (band && band->BandType == btGroupFooter && band->GroupHeader) counted = band->GroupHeader;
    if (name == "PAGE#") value = Variant(st.PageNumber + 1);
    else if (name == "TOTALPAGES") value = Variant(st.TotalPages);
    else if (name == "DATE") value = Variant::FromDate(st.BuildDate);
    else if (name == "TIME") value = Variant::FromDate(st.BuildTime);
    else if (name == "LINE#") value = Variant(counted ? counted->LinePosition : 0);
    else if (name == "LINETHROUGH#") value = Variant(counted ? counted->LineThroughPosition : 0);
    else if (name == "COLUMN#") value = Variant(form ? (form->CrossColumn ? form->CrossColumn : form->Column) : 1);
    else if (name == "CURRENT#") value = Variant(form ? form->RecordCounter : 0);
    else if (name == "CALCWIDTH") {
      auto* memo = dynamic_cast<TrpMemoView*>(st.CurrentView);
      value = Variant(memo ? memo->CalcTextWidth() : st.CurrentView ? st.CurrentView->Width : 0);
    }
    else return false;
    return true;
  };
  lookup_.PageValue = [this](const AnsiString& name, Variant& value) {
    TrpPageForm* form = CurrentForm;
    if (form) {
      if (name == "CURY") value = Variant(form->CurY);
      else if (name == "FREESPACE") value = Variant(form->CurBottomY - form->CurY);
      else if (name == "PAGEHEIGHT") value = Variant(form->CurBottomY);
      else if (name == "PAGEWIDTH") value = Variant(form->Page.RightEdge());
      if (!value.IsEmpty()) return true;
    }
    if (name == "FINALPASS") {
      value = Variant(rpState().FinalPass);
      return true;
    }
    if (name.find('.') == AnsiString::npos) return false;
    TrpPropertyTarget t = FindObjectForProperty(name);
    if (!t.Object || !t.Object->FindProperty(t.PropName)) return false;
    value = t.Object->GetPropValue(t.PropName);
    return true;
  };
  lookup_.WriteBuildValue = [this](const AnsiString& name, const Variant& value) {
    if (SameText(name, "MODALRESULT")) {
      if (CurrentDialog) CurrentDialog->SetModalResult(static_cast<int>(value.AsInteger()));
      return true;
    }
    if (SameText(name, "CURY")) {
      TrpBand* band = rpState().CurrentBand;
      if (band && (band->NewPageRequests || band->NewColumnRequests)) band->KeepCurY = true;
      if (CurrentForm) CurrentForm->CurY = rpClampCoord(value.AsInteger());
      return true;
    }
    if (SameText(name, "PROGRESS")) {
      auto* master = static_cast<TrpReport*>(rpState().MasterReport);
      if (OnProgressText) OnProgressText(value.AsString());
      else if (master && master->progress_) master->progress_->SetLabel2(value.AsString());
      if (CancelRequested && CancelRequested()) rpState().Terminated = true;
      return true;
    }
    if (name.find('.') == AnsiString::npos) return false;
    TrpPropertyTarget t = FindObjectForProperty(name);
    if (!t.Object || !t.Object->FindProperty(t.PropName)) return false;
    t.Object->SetPropValue(t.PropName, value);
    return true;
  };
  lookup_.ObjectMethod = [this](const AnsiString& object, const AnsiString& method, const Variant& p1,
                                const Variant& p2, const Variant& p3, Variant& result) {
    TrpView* v = FindObject(object);
    if (!v) return false;
    result = v->DoMethod(AnsiUpperCase(method), p1, p2, p3);
    return true;
  };
  lookup_.BuildAction = [this](const AnsiString& name, const AnsiString& p1) {
    TrpPageForm* form = CurrentForm;
    if (name == "STOPREPORT") {
      Terminated = true;
    } else if (name == "NEWPAGE" || name == "NEWCOLUMN") {
      // Carried out when the band's script has run.
      if (TrpBand* band = rpState().CurrentBand) ++(name == "NEWPAGE" ? band->NewPageRequests : band->NewColumnRequests);
    } else if (form && name == "SHOWBAND") {
      form->ShowBandByName(Unquoted(p1));
    }
    return true;
  };
  lookup_.OnUserFunction = [this](const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                  Variant& value) {
    if (OnUserFunction) OnUserFunction(name, p1, p2, p3, value);
  };
}

void TrpReport::BuildError(const AnsiString& message) {
  if (!rpState().ErrorFlag) rpExpressionError(message);
}

AnsiString TrpReport::ExpressionText(TrpView* view, const AnsiString& expression) {
  const bool hideZeros = view && dynamic_cast<TrpMemoView*>(view) && (view->Flags & flHideZeros);
  return lookup_.GetValueText(expression, view ? view->Format : 0, view ? view->FormatStr : AnsiString(), hideZeros);
}

Variant TrpReport::EvaluateExpression(const AnsiString& expression) {
  return script_->Parser().Evaluate(expression);
}

void TrpReport::RunBandScript(const TStringList& script) {
  if (Trim(script.Text()).empty()) return;
  TStringList& compiled = compiled_[&script];
  TStringList errors;
  if (!script_->CompileScript(script, compiled, errors)) {
    compiled_.erase(&script);
    BuildError(errors.Count() ? errors[0] : AnsiString());
    return;
  }
  script_->StepLimit = ScriptStepLimit;
  script_->CancelRequested = [this] {
    if (CancelRequested && CancelRequested()) rpState().Terminated = true;
    return rpState().Terminated;
  };
  // The error names the object whose script this is, not the last one a band it
  // showed printed.
  TrpView* const owner = rpState().CurrentView;
  try {
    script_->RunScript(compiled);
  } catch (const std::exception& e) {
    rpState().CurrentView = owner;
    BuildError(e.what());
  }
}

std::int64_t TrpReport::ScriptHeldBytes() {
  std::int64_t n = rpGlobalVariables().HeldBytes();
  std::vector<TrpReport*> reports{this};
  if (auto* master = dynamic_cast<TrpReport*>(rpState().MasterReport); master && master != this)
    reports.push_back(master);
  if (auto* composite = dynamic_cast<TrpCompositeReport*>(rpState().MasterReport))
    for (TrpReport* r : composite->Reports)
      if (r && std::find(reports.begin(), reports.end(), r) == reports.end()) reports.push_back(r);
  for (TrpReport* r : reports) {
    n += r->Dictionary.Variables.HeldBytes();
    for (const auto& page : r->Pages.Pages) {
      n += rpStoredTextBytes(page->Name) + rpStoredTextBytes(page->Caption);
      for (const auto& v : page->Objects) {
        n += static_cast<std::int64_t>(v->Name.size() + v->Tag.size() + v->FormatStr.size());
        for (int i = 0; i < v->Memo.Count(); ++i) n += rpTextBytes(v->Memo[i]);
        if (auto* band = dynamic_cast<const TrpBandView*>(v.get()))
          n += rpStoredTextBytes(band->ChildBand) + rpStoredTextBytes(band->Master);
      }
    }
  }
  return n;
}

AnsiString TrpReport::ScriptPlace() {
  TrpBuildState& st = rpState();
  if (st.CurrentBand) return Ansi("в полосе \"") + st.CurrentBand->Name + "\"";
  if (st.CurrentPage) return Ansi("на странице \"") + st.CurrentPage->Name + "\"";
  return "";
}

void TrpReport::RunScript(TrpView* view, const TStringList& script) {
  if (view) rpState().CurrentView = view;
  RunBandScript(script);
}

bool TrpReport::BeforePrint(TStringList& printText, TrpView& view) {
  // A memo whose text names a memo field shows the field's text as it stands (the
  // table's code page translated): its brackets are not expanded.
  bool loaded = false;
  if (auto* memo = dynamic_cast<TrpMemoView*>(&view); memo && !(memo->Flags & flTextOnly))
    if (TField* field = ViewDataField(view, false); field && rpIsBlobField(*field)) {
      memo->GetBlob(field->IsNull() ? Variant::Null() : Variant(field->AsString()));
      if (&printText != &memo->PrintText) printText.Assign(memo->PrintText);
      loaded = true;
    }
  if (!OnBeforePrint) return loaded;
  OnBeforePrint(printText, view);
  return true;
}

TField* TrpReport::ViewDataField(const TrpView& view, bool bareName) {
  if (view.Memo.Count() == 0) return nullptr;
  AnsiString text = Trim(view.Memo.Text());
  AnsiString name;
  if (text.size() > 2 && text.front() == '[') {
    const std::size_t close = text.rfind(']');
    if (close == AnsiString::npos || close < 2) return nullptr;
    name = Trim(text.substr(1, close - 1));
  } else if (bareName) {
    name = Trim(view.Memo[0]);
  }
  if (name.empty() || name.find_first_of("[]") != AnsiString::npos) return nullptr;
  return Dictionary.Field(name);
}

TrpView* TrpReport::FindObject(const AnsiString& name) { return Pages.FindObject(name); }

TrpPage* TrpReport::PageAt(int index) { return Pages.GetPages(index); }

bool TrpReport::CurrentBandGeometry(int& top, int& calculatedHeight, int& width, int& bandType) {
  TrpBand* band = rpState().CurrentBand;
  if (!band) return false;
  top = band->Y;
  calculatedHeight = band->CalculatedHeight >= 0 ? band->CalculatedHeight : band->Height;
  width = band->Width;
  bandType = band->BandType;
  return true;
}

int TrpReport::PageFooterHeight(TrpPage& page) {
  TrpPageForm* form = CurrentForm;
  while (form && form->Parent) form = form->Parent;
  return form && &form->Page == &page ? form->PageFooterHeight() : 0;
}

TrpBand* TrpReport::RunningBand(const TrpBandView& view) const {
  for (TrpPageForm* form = CurrentForm; form; form = form->Parent)
    for (const auto& band : form->Bands)
      if (band->View == &view) return band.get();
  return nullptr;
}

bool TrpReport::SetBandProperty(TrpBandView& view, const AnsiString& name, const Variant& value) {
  TrpBand* band = RunningBand(view);
  if (!band) return false;
  const auto number = [&] { return rpClampCoord(value.AsInteger()); };
  if (name == "LEFT") band->X = number();
  else if (name == "TOP") band->Y = band->PlaceY = number();
  else if (name == "WIDTH") band->Width = number();
  else if (name == "HEIGHT") band->Height = number();
  else if (name == "VISIBLE") band->Visible = value.AsBoolean();
  else if (name == "DATASOURCE") band->SetDataSource(Trim(VarToStr(value)));
  else if (name == "CONDITION") band->GroupCondition = VarToStr(value);
  else if (name == "CHILDBAND") {
    band->Child = nullptr;
    for (const auto& b : band->Form.Bands)
      if (b.get() != band && AnsiSameText(b->Name, Trim(VarToStr(value)))) band->Child = b.get();
  } else return false;
  return true;
}

bool TrpReport::GetBandProperty(TrpBandView& view, const AnsiString& name, Variant& value) {
  TrpBand* band = RunningBand(view);
  if (!band) return false;
  if (name == "LEFT") value = Variant(band->X);
  else if (name == "TOP") value = Variant(band->Y);
  else if (name == "WIDTH") value = Variant(band->Width);
  else if (name == "HEIGHT") value = Variant(band->Height);
  else if (name == "VISIBLE") value = Variant(band->Visible);
  else if (name == "EOF" && band->DataSet) value = Variant(band->DataSet->Eof());
  else return false;
  return true;
}

bool TrpReport::BandMethod(TrpBandView& view, const AnsiString& name, Variant&) {
  TrpBand* band = RunningBand(view);
  if (!band || !band->DataSet) return false;
  if (name == "NEXT") band->DataSet->Next();
  else if (name == "PRIOR") band->DataSet->Prior();
  else if (name == "FIRST") band->DataSet->First();
  else return false;
  return true;
}

void TrpReport::RunDialogPage(TrpPage& page) {
  TrpBuildState& st = rpState();
  st.CurrentPage = &page;
  st.CurrentBand = nullptr;
  st.CurrentView = nullptr;
  TrpDialogForm form(page);
  for (const auto& v : page.Objects)
    if (auto* control = dynamic_cast<TrpControl*>(v.get()); control && !dynamic_cast<TrpNonVisualControl*>(control))
      form.Controls.push_back(control);
  TRestore<TrpDialogForm*> current(CurrentDialog);
  CurrentDialog = &form;
  const bool shown = !form.Controls.empty() && page.Visible;
  RunBandScript(page.Script);
  if (!shown || st.ErrorFlag || st.Terminated) return;
  // The progress window steps aside while the dialog shows.
  auto* master = static_cast<TrpReport*>(st.MasterReport);
  TrpProgress* progress = master ? master->Progress() : nullptr;
  struct Aside {
    TrpProgress* p;
    ~Aside() {
      if (p) p->SetHidden(false);
    }
  } aside{progress};
  if (progress) progress->SetHidden(true);
  // The script may have decided already; otherwise the dialog is shown. Without a
  // display nothing can be asked, and the dialog goes on as with OK.
  if (form.ModalResult() == mrNone) {
    const TrpDialogRunner& runner = rpDialogRunner();
    const TModalResult result = runner ? runner(form) : mrOk;
    if (form.ModalResult() == mrNone) form.SetModalResult(result);
  }
  if (form.ModalResult() == mrCancel) st.DialogCancelled = true;
}

void TrpReport::SetPreview(TFreeNotifier* preview) {
  if (preview_ == preview) return;
  if (preview_) preview_->RemoveFreeNotification(this);
  preview_ = preview;
  if (preview_) preview_->FreeNotification(this, [this, preview] { Notification(preview); });
}

void TrpReport::Notification(const void* removed) {
  if (!removed) return;
  if (removed == dataset_) {
    dataset_->RemoveFreeNotification(this);
    dataset_ = nullptr;
  }
  if (removed == preview_) {
    preview_->RemoveFreeNotification(this);
    preview_ = nullptr;
  }
}

void TrpReport::SetDataset(TrpDataset* dataSet) {
  if (dataset_ == dataSet) return;
  if (dataset_) dataset_->RemoveFreeNotification(this);
  dataset_ = dataSet;
  // The dataset is half gone when it tells: only the reference is dropped.
  if (dataset_) dataset_->FreeNotification(this, [this] { dataset_ = nullptr; });
}

void TrpReport::OwnWindow(const void* window, std::function<void()> free) {
  DisownWindow(window);
  windows_.emplace_back(window, std::move(free));
}

void TrpReport::DisownWindow(const void* window) {
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.first == window; }),
                 windows_.end());
}

// ---------------------------------------------------------------------------------
// Progress, printing, printers and the preview

namespace {
TrpProgressRunner& ProgressRunner() {
  static TrpProgressRunner runner;
  return runner;
}
TrpPagePrinter& PagePrinter() {
  static TrpPagePrinter printer;
  return printer;
}
TrpPreviewShower& PreviewShower() {
  static TrpPreviewShower shower;
  return shower;
}
}  // namespace

void rpSetProgressRunner(TrpProgressRunner runner) { ProgressRunner() = std::move(runner); }
const TrpProgressRunner& rpProgressRunner() { return ProgressRunner(); }
void rpSetPagePrinter(TrpPagePrinter printer) { PagePrinter() = std::move(printer); }
const TrpPagePrinter& rpPagePrinter() { return PagePrinter(); }
void rpSetPreviewShower(TrpPreviewShower shower) { PreviewShower() = std::move(shower); }
const TrpPreviewShower& rpPreviewShower() { return PreviewShower(); }

bool TrpReport::RunWithProgress(const AnsiString& prefix, const std::function<void()>& work) {
  cancelled_ = false;
  progressPrefix_ = prefix;
  if (OnProgress || !ShowProgress || !rpProgressRunner() || progress_) {
    work();
    return !cancelled_;
  }
  const bool ok = rpProgressRunner()(ProgressCaption(), prefix + "  1", [&](TrpProgress& progress) {
    TRestore<TrpProgress*> current(progress_);
    progress_ = &progress;
    work();
  });
  return ok && !cancelled_;
}

AnsiString TrpReport::ProgressCaption() const {
  return (Title.empty() ? AnsiString() : Title + " - ") + rpLocalString(55203);
}

void TrpReport::UpdateProgress(int n) {
  if (OnProgress) {
    OnProgress(n);
    return;
  }
  if (!ShowProgress || !progress_) return;
  TrpBuildState& st = rpState();
  AnsiString label = progressPrefix_ + "  " + IntToStr(n);
  if ((st.SecondPass && st.FinalPass) || exporting_)
    label += " " + rpLocalString(55199) + " " + IntToStr(st.TotalPages);
  progress_->SetLabel(label);
  if (!progress_->ProcessMessages()) {
    // Cancel: the build or print stops at its next check.
    cancelled_ = true;
    Terminated = true;
    st.Terminated = true;
  }
}

void TrpReport::SetPrinterByName(const AnsiString& name) { Pages.SetPrinterByName(name); }

bool TrpReport::ChangePrinter(int oldIndex, int newIndex) {
  TrpPrinter& printer = rpPrinter();
  const auto select = [&](int index) {
    printer.SetPrinterIndex(index);
    printer.PaperSize = -1;  // no paper chosen: every page applies its own
    for (TrpPage* page : rpPageSetupTargets(*this))
      page->ChangePaper(page->PaperSize, page->PaperWidth, page->PaperHeight, page->Bin, page->Orientation);
  };
  try {
    select(newIndex);
    // The template keeps the printer chosen, so that a build afterwards stays on it.
    Pages.PrinterName = printer.PrinterName();
    return true;
  } catch (const std::exception&) {
    ShowReportError(rpLocalString(55210));
    try {
      select(oldIndex);
    } catch (const std::exception&) {
      // the old printer is as good as it gets
    }
    return false;
  }
}

bool TrpReport::PrintPreparedReport(const AnsiString& pageNumbers, int copies, bool collate, int oddEven,
                                    const AnsiString& fileName) {
  PrintPageNumbers = pageNumbers;
  PrintCopies = copies;
  PrintCollate = collate;
  PrintOddEven = oddEven;
  PrintFileName = fileName;
  Terminated = false;
  rpState().Terminated = false;
  const std::vector<int> order = rpPrintOrder(EMFPages.GetCount(), pageNumbers, copies, collate, oddEven);
  if (order.empty() || !rpPagePrinter()) return false;
  bool printed = false;
  if (OnProgress || !ShowProgress || !rpProgressRunner()) {
    // No progress window: nothing to hover over meanwhile.
    TRestore<TrpMouseOverObjectEvent> hover(EMFPages.OnMouseOverObject);
    EMFPages.OnMouseOverObject = nullptr;
    return PrintPages(order);
  }
  const bool ok = RunWithProgress(rpLocalString(55208), [&] { printed = PrintPages(order); });
  return ok && printed;
}

bool TrpReport::PrintPages(const std::vector<int>& order) {
  const AnsiString title = Title.empty() ? rpLocalString(55209) : Title;
  if (OnPrintReport) OnPrintReport();
  return rpPagePrinter()(EMFPages, order, title, PrintFileName, [this, &order](int printed) {
    // The progress shows the number of the page just printed.
    const bool known = printed >= 1 && printed <= static_cast<int>(order.size());
    UpdateProgress(known ? order[static_cast<std::size_t>(printed - 1)] + 1 : printed);
    return !Terminated && !rpState().Terminated;
  });
}

bool TrpReport::LoadFromFile(const AnsiString& fileName, TrpTemplateLoad* result) {
  if (!FileExists(fileName)) return false;
  TMemoryStream m;
  try {
    m.LoadFromFile(fileName);
  } catch (const std::exception& e) {
    // There but not readable (no access, a folder): said, and nothing loaded.
    ShowReportError(e.what());
    if (result) *result = TrpTemplateLoad{2, e.what()};
    return false;
  }
  m.SetPosition(0);
  const TrpTemplateLoad load = LoadFromStream(m);
  if (result) *result = load;
  FileName = fileName;
  return true;
}

TrpTemplateLoad TrpReport::LoadFromStream(TStream& stream) {
  TRestore<TrpReport*> current(rpState().CurrentReport);
  rpState().CurrentReport = this;
  const TrpTemplateLoad load = rpLoadTemplate(Pages, stream);
  if (!load.Ok()) ShowReportError(load.Message);
  return load;
}

void TrpReport::SaveToStream(TStream& stream) {
  rpState().CurrentReport = this;
  rpSaveTemplate(Pages, stream);
}

void TrpReport::Clear() {
  Pages.Clear();
  Dictionary.Clear();
}

void TrpReport::ShowReport() {
  if (PrepareReport()) {
    ShowPreparedReport();
    return;
  }
  // The build failed: the user is told why (a cancelled build has nothing to say).
  if (!ErrorText.empty()) ShowReportError(ErrorText);
}

void TrpReport::ShowPreparedReport() {
  if (!EMFPages.GetCount() || !rpPreviewShower()) return;
  rpPreviewShower()(*this, (Title.empty() ? AnsiString() : Title + " - ") + rpLocalString(55207));
}

void TrpReport::BuildReport() {
  TrpBuildState& st = rpState();
  TRestore<TrpReport*> current(st.CurrentReport);
  TrpEngineHooks* hooks = st.Hooks;
  st.CurrentReport = this;
  rpSetHooks(this);
  Terminated = false;
  Dictionary.ClearCache();  // fields are looked up again in the datasets of this build
  TrpFunctionServices& services = rpFunctionServices();
  const TrpFunctionServices savedServices = services;
  services.Aggregate = [this](int code, const AnsiString& expression, const AnsiString& band, const AnsiString& flag,
                              Variant& value) { AggregateCall(code, expression, band, flag, value); };
  // Fields are found again in every build: the datasets may be others now.
  Dictionary.ClearCache();
  try {
    std::vector<int> subPages;
    notified_.clear();
    for (const auto& p : Pages.Pages)
      for (const auto& v : p->Objects) {
        if (auto* s = dynamic_cast<TrpSubReportView*>(v.get())) subPages.push_back(s->SubPage);
        if (p->PageType == ptReport && (v->Flags & flNotifyPrint)) notified_.push_back(v.get());
      }
    // Multiple mode: the pages are built once per record of the dataset (once also
    // when it has none); it is closed again whatever happens.
    TrpDataset* multiple = ReportType == rtMultiple ? dataset_ : nullptr;
    struct Close {
      TrpDataset* ds;
      ~Close() {
        if (!ds) return;
        try {
          ds->Deactivate();
        } catch (...) {
          // a dataset that cannot close is left as it is
        }
      }
    } close{multiple};
    if (multiple) {
      multiple->Activate();
      multiple->First();
    }
    // Dialog pages run before the report pages, once per build (not again in the
    // second of two passes); the first one cancelled ends the build.
    if (!st.SecondPass) {
      for (int i = 0; i < Pages.GetCount() && !st.DialogCancelled && !st.ErrorFlag; ++i)
        if (Pages.GetPages(i)->PageType == ptDialog) RunDialogPage(*Pages.GetPages(i));
    }
    const auto stopped = [&] { return st.Terminated || Terminated || st.DialogCancelled || st.ErrorFlag; };
    for (bool firstRecord = true; !stopped(); firstRecord = false) {
      // Each record's report starts on a page of its own.
      if (!firstRecord) st.AppendPage = false;
      auto* master = static_cast<TrpReport*>(st.MasterReport);
      (master ? master : this)->UpdateProgress(st.PageNumber + 1);
      for (int i = 0; i < Pages.GetCount() && !stopped(); ++i) {
        TrpPage& page = *Pages.GetPages(i);
        if (page.PageType != ptReport) continue;
        if (std::find(subPages.begin(), subPages.end(), i) != subPages.end()) continue;
        if (!page.Visible) {
          // A hidden page only runs its script.
          st.CurrentPage = &page;
          RunBandScript(page.Script);
          continue;
        }
        TrpPageForm form(*this, page);
        try {
          form.Form();
        } catch (const std::exception& e) {
          BuildError(e.what());
        }
        CurrentForm = nullptr;
      }
      if (!multiple) break;
      multiple->Next();
      if (multiple->Eof()) break;
    }
  } catch (...) {
    services = savedServices;
    rpSetHooks(hooks);
    notified_.clear();
    throw;
  }
  services = savedServices;
  rpSetHooks(hooks);
  notified_.clear();
}

void TrpReport::ViewPrinted(TrpView& view) {
  if (!dynamic_cast<TrpMemoView*>(&view)) return;
  for (TrpView* v : notified_) v->PrintNotify(view);
}

bool TrpReport::DoPrepare(const std::function<void()>& buildAll) {
  SetPrinterByName(Pages.PrinterName);
  rpResetState();
  TrpBuildState& st = rpState();
  st.MasterReport = this;
  st.ScriptMemoryLimit = ScriptMemoryLimit;
  st.DocMode = rpOutputMode;
  const TDateTime now = Now();
  st.BuildDate = std::floor(now);
  st.BuildTime = now - std::floor(now);
  ErrorText.clear();
  CanRebuild = true;  // the pages come from the template: it can build them again
  // Scripts may change the template (texts, visibility, positions): every built
  // template is kept as it was and put back afterwards.
  std::vector<TrpReport*> built{this};
  if (auto* composite = dynamic_cast<TrpCompositeReport*>(this))
    for (TrpReport* r : composite->Reports)
      if (r && r != this) built.push_back(r);
  // The report's own start of the document: once, whatever the passes.
  try {
    if (OnBeginDoc) OnBeginDoc(this);
  } catch (const std::exception& e) {
    BuildError(e.what());
  }
  // (A template that cannot be written is not built, and not put back either.)
  std::vector<std::unique_ptr<TMemoryStream>> saved;
  for (TrpReport* r : built) {
    auto copy = std::make_unique<TMemoryStream>();
    try {
      rpSaveTemplate(r->Pages, *copy);
    } catch (const std::exception& e) {
      BuildError(e.what());
      copy.reset();
    }
    saved.push_back(std::move(copy));
  }
  // Views aligned to the page take their place and size once before the build (drawn on
  // a work canvas with their page current), so that scripts read them there.
  for (TrpReport* r : built)
    for (int i = 0; i < r->Pages.GetCount(); ++i) {
      TrpPage& page = *r->Pages.GetPages(i);
      if (page.PageType != ptReport) continue;
      st.CurrentPage = &page;
      for (const auto& v : page.Objects) {
        if (v->BandAlign == baNone || dynamic_cast<TrpBandView*>(v.get())) continue;
        TRecordingCanvas work;
        try {
          v->Draw(work);
        } catch (const std::exception&) {
          // a view that cannot draw keeps its place
        }
      }
    }
  st.CurrentPage = nullptr;
  st.CurrentView = nullptr;
  bool twoPass = Pages.DoublePass;
  if (auto* composite = dynamic_cast<TrpCompositeReport*>(this))
    for (TrpReport* r : composite->Reports) twoPass = twoPass || (r && r->Pages.DoublePass);
  auto pass = [&](bool first) {
    st.SecondPass = st.FirstPass && !first;
    st.FirstPass = first;
    st.FinalPass = !first;
    st.PageNumber = 0;
    st.AppendPage = false;
    footerDonePage = -1;
    EMFPages.Clear();
    if (!first) {
      progressPrefix_ = rpLocalString(55205);
      if (progress_) progress_->SetLabel(progressPrefix_ + "  1");
    }
    buildAll();
  };
  const bool ranToEnd = RunWithProgress(rpLocalString(twoPass ? 55204 : 55205), [&] {
    try {
      if (st.ErrorFlag) return;
      if (twoPass) {
        pass(true);
        st.TotalPages = EMFPages.GetCount();
        st.Terminated = false;
        // Cancel in the first pass: no second one, and none of its pages.
        if (cancelled_) EMFPages.Clear();
      }
      if (!st.ErrorFlag && !st.DialogCancelled && !cancelled_) pass(false);
    } catch (const std::exception& e) {
      BuildError(e.what());
    }
  });
  st.FinalPass = false;
  bool failed = st.ErrorFlag;
  // A dialog closed with Cancel: no pages, and no error to show.
  const bool cancelled = st.DialogCancelled;
  AnsiString errorText = st.ErrorText;
  for (std::size_t i = 0; i < built.size(); ++i) {
    if (!saved[i]) continue;
    saved[i]->SetPosition(0);
    const int version = st.StreamVersion;
    const int mode = st.DocMode;
    st.DocMode = rpDesignMode;
    try {
      if (!rpLoadTemplate(built[i]->Pages, *saved[i]).Ok()) throw Exception(Ansi("Шаблон не восстановлен"));
    } catch (const std::exception& e) {
      if (!failed) errorText = e.what();
      failed = true;
    }
    st.DocMode = mode;
    st.StreamVersion = version;
  }
  // The end of the document comes with the template back as it was, whatever the
  // outcome of the build.
  try {
    if (OnEndDoc) OnEndDoc(this);
  } catch (const std::exception& e) {
    if (!failed) errorText = e.what();
    failed = true;
  }
  if (failed) ErrorText = errorText;
  if (failed || cancelled) EMFPages.Clear();
  st.DocMode = rpDesignMode;
  st.FirstPass = false;
  st.CurrentPage = nullptr;
  st.CurrentBand = nullptr;
  st.CurrentView = nullptr;
  rpSetHooks(nullptr);
  return !failed && !cancelled && ranToEnd;
}

bool TrpReport::PrepareReport() { return DoPrepare([this] { BuildReport(); }); }

bool TrpCompositeReport::PrepareReport() {
  return DoPrepare([this] {
    // Each listed report starts its document in every pass and ends it in the pass
    // whose pages are kept.
    for (TrpReport* r : Reports) {
      TrpBuildState& st = rpState();
      if (!r || st.Terminated || st.DialogCancelled || st.ErrorFlag) continue;
      if (r->OnBeginDoc) r->OnBeginDoc(r);
      r->BuildReport();
      if (st.FinalPass && r->OnEndDoc) r->OnEndDoc(r);
    }
  });
}

std::string rpPreparedText(TrpEMFPages& pages) {
  std::string out;
  for (int i = 0; i < pages.GetCount(); ++i) {
    out += "page " + std::to_string(i + 1) + "\n";
    pages.ObjectsToPage(i);
    for (const auto& v : pages.GetPages(i)->Page->Objects) {
      std::string text;
      for (int k = 0; k < v->Memo.Count(); ++k) {
        if (k) text += "|";
        for (char c : cp::Ansi1251ToUtf8(v->Memo[k]))
          if (c != rpLineEndMarker) text += c;
      }
      out += "  " + cp::Ansi1251ToUtf8(v->Name) + " @" + std::to_string(v->Left) + "," + std::to_string(v->Top) + " " +
             std::to_string(v->Width) + "x" + std::to_string(v->Height) + " " + text + "\n";
    }
    pages.GetPages(i)->Page.reset();
  }
  return out;
}
