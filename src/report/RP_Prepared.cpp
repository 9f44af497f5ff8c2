#include "report/RP_Prepared.h"

#include <algorithm>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_Class.h"
#include "report/RP_Memo.h"
#include "report/RP_Utils.h"

TrpCompressor& rpCompressor() {
  static TrpCompressor compressor;
  return compressor;
}

namespace {

// Reading prepared pages is no build: the error a missing class notes in the build
// state starts empty (it then lists only the classes of this page) and is taken back
// when the scope ends.
class KeepBuildError {
 public:
  KeepBuildError() : flag_(rpState().ErrorFlag), text_(rpState().ErrorText) {
    rpState().ErrorFlag = false;
    rpState().ErrorText.clear();
  }
  ~KeepBuildError() {
    rpState().ErrorFlag = flag_;
    rpState().ErrorText = text_;
  }
  KeepBuildError(const KeepBuildError&) = delete;
  KeepBuildError& operator=(const KeepBuildError&) = delete;

 private:
  bool flag_;
  AnsiString text_;
};

class DocModeScope {
 public:
  DocModeScope() : old_(rpState().DocMode) { rpState().DocMode = rpOutputMode; }
  ~DocModeScope() { rpState().DocMode = old_; }
  DocModeScope(const DocModeScope&) = delete;
  DocModeScope& operator=(const DocModeScope&) = delete;

 private:
  int old_;
};

// Reads the views of a page stream one by one; `each` gets every loaded view.
void ReadPageStream(TMemoryStream& stream, const std::function<void(std::unique_ptr<TrpView>)>& each) {
  stream.SetPosition(0);
  if (stream.Size() == 0) return;
  const int version = stream.ReadByte();
  if (version < 21 || version > 31) throw ErpRecordError(Ansi("Неверная версия страницы отчета"));
  TrpStreamVersionScope scope(std::min(version, 24));
  while (stream.Position() < stream.Size()) {
    const std::uint8_t type = stream.ReadByte();
    const AnsiString className = type == rpotAddIn ? rpStreamReadString(stream) : AnsiString();
    std::unique_ptr<TrpView> view = CreateReportObject(type, className);
    if (!view) throw ErpRecordError(Ansi("Неверный тип объекта на странице отчета: ") + IntToStr(type));
    view->InPreparedPage = true;
    view->LoadFromStream(stream);
    each(std::move(view));
  }
}

// The printer geometry of a paper (a paper the printer rejects: a custom one).
TrpPageInfo GeometryOf(TrpPreparedPage& rec) {
  TrpPrinter& printer = rpPrinter();
  try {
    printer.SetPageSettings(rec.PaperSize, rec.Width, rec.Height, rec.Orientation ? rpLandscape : rpPortrait,
                            rec.Bin, false);
  } catch (const Exception&) {
    printer.SetPageSettings(rpCustomPaper, rec.Width, rec.Height, rec.Orientation ? rpLandscape : rpPortrait, -1,
                            false);
  }
  return printer.FillPageInfo();
}

// The stream of a page being built: counts what it holds into the pages' total and
// refuses to grow past their limit.
class TrpBuiltPageStream : public TMemoryStream {
 public:
  TrpBuiltPageStream(std::shared_ptr<std::int64_t> total, std::int64_t limit) : total_(std::move(total)), limit_(limit) {}
  ~TrpBuiltPageStream() override { *total_ -= Size(); }
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    const std::int64_t before = Size();
    const std::int64_t growth = std::max<std::int64_t>(0, Position() + count - before);
    if (growth > 0 && *total_ + growth > limit_)
      throw ErpPreparedError(Ansi("Подготовленные страницы отчета занимают больше ") + IntToStr(limit_ >> 20) +
                             Ansi(" МБ: отчет остановлен"));
    const std::int64_t n = TMemoryStream::Write(buffer, count);
    *total_ += Size() - before;
    return n;
  }
  void SetSize(std::int64_t size) override {
    const std::int64_t before = Size();
    TMemoryStream::SetSize(size);
    *total_ += Size() - before;
  }

 private:
  std::shared_ptr<std::int64_t> total_;
  std::int64_t limit_;
};

}  // namespace

bool TrpEMFPages::Insert(int index, const TrpPage& page) {
  auto rec = std::make_unique<TrpPreparedPage>();
  rec->Stream = std::make_unique<TrpBuiltPageStream>(builtBytes_, MaxBuiltBytes);
  rec->Stream->WriteByte(rpPreparedVersion);
  rec->PaperSize = page.PaperSize;
  rec->Width = page.PaperWidth;
  rec->Height = page.PaperHeight;
  rec->Orientation = page.Orientation;
  rec->Bin = page.Bin;
  rec->UseMargins = page.UseMargins;
  rec->LeftMargin = page.LeftMargin;
  rec->TopMargin = page.TopMargin;
  rec->RightMargin = page.RightMargin;
  rec->BottomMargin = page.BottomMargin;
  rec->PageInfo = page.PageInfo;
  const bool use = rec->UseMargins;
  if (index < 0 || index >= GetCount()) Pages.push_back(std::move(rec));
  else Pages.insert(Pages.begin() + index, std::move(rec));
  return use;
}

void TrpEMFPages::Add(const TrpPage& page) {
  Insert(GetCount(), page);
  // The report being built hears of the page, and the one receiving it when that is
  // another (a report listed in a composite one); outside a build, these pages' own.
  const TrpBuildState& st = rpState();
  std::vector<TrpEMFPages*> told;
  for (TrpReport* r : {st.CurrentReport, st.MasterReport})
    if (r && std::find(told.begin(), told.end(), &r->EMFPages) == told.end()) told.push_back(&r->EMFPages);
  if (told.empty()) told.push_back(this);
  for (TrpEMFPages* pages : told)
    if (pages->OnBeginPage) pages->OnBeginPage(st.PageNumber);
}

void TrpEMFPages::Delete(int index) {
  if (index >= 0 && index < GetCount()) Pages.erase(Pages.begin() + index);
}

namespace {

// The page of a prepared page with its views read from its stream; it becomes the
// current page. An object of an unregistered class ends the reading there: `missing`
// gets the missing-class error's text (the build state's error is left as it was).
std::unique_ptr<TrpPage> PageOf(const TrpPreparedPage& rec, AnsiString& missing) {
  auto page =
      std::make_unique<TrpPage>(rec.PageInfo, rec.PaperSize, rec.Width, rec.Height, rec.Bin, rec.Orientation);
  page->UseMargins = rec.UseMargins;
  page->LeftMargin = rec.LeftMargin;
  page->TopMargin = rec.TopMargin;
  page->RightMargin = rec.RightMargin;
  page->BottomMargin = rec.BottomMargin;
  rpState().CurrentPage = page.get();
  missing.clear();
  KeepBuildError keep;
  try {
    ReadPageStream(*rec.Stream, [&](std::unique_ptr<TrpView> view) {
      TrpView* v = page->AddObject(std::move(view));
      if (auto* memo = dynamic_cast<TrpMemoView*>(v); memo && (memo->Flags & flAutoWidth)) {
        DocModeScope mode;
        memo->Draw(rpMeasureCanvas());
      }
    });
  } catch (const EClassNotFound& e) {
    missing = e.Message();
  }
  return page;
}

// The rebuilt page of a prepared page, made when missing; it does not raise.
void Rebuild(TrpPreparedPage& rec) {
  if (!rec.Page) rec.Page = PageOf(rec, rec.MissingClasses);
}

// The missing-class error of a page, said so that a user can tell what it is.
AnsiString MissingClassesText(const TrpPreparedPage& rec) {
  AnsiString names = rec.MissingClasses;
  while (!names.empty() && names.back() == '\r') names.pop_back();
  for (std::size_t at = names.find('\r'); at != AnsiString::npos; at = names.find('\r', at))
    names.replace(at, 1, ", ");
  return Ansi("На странице есть объекты незарегистрированных классов: ") + names;
}

// What is wrong with a damaged report file: a read past the end of a stream is a file
// cut short.
AnsiString DamageOf(const Exception& e) {
  const bool cut = dynamic_cast<const EReadError*>(&e) && e.Message() == "Stream read error";
  return cut ? Ansi("он обрывается раньше конца") : e.Message();
}

}  // namespace

void TrpEMFPages::ObjectsToPage(int index) {
  TrpPreparedPage* rec = GetPages(index);
  if (!rec) return;
  rec->Page.reset();
  Rebuild(*rec);
  if (!rec->MissingClasses.empty()) throw EClassNotFound(MissingClassesText(*rec));
}

void TrpEMFPages::PageToObjects(int index) {
  TrpPreparedPage* rec = GetPages(index);
  if (!rec || !rec->Page) return;
  rec->Stream = std::make_unique<TMemoryStream>();
  rec->Stream->WriteByte(rpPreparedVersion);
  for (const auto& v : rec->Page->Objects) {
    v->PrintText.Assign(v->Memo);
    v->WritePreparedEntry(*rec->Stream);
  }
}

void TrpEMFPages::ExportData(int index) {
  TrpPreparedPage* rec = GetPages(index);
  if (!rec) return;
  DocModeScope mode;
  KeepBuildError keep;
  try {
    ReadPageStream(*rec->Stream, [](std::unique_ptr<TrpView> view) { view->ExportData(); });
  } catch (const EClassNotFound&) {
    rec->MissingClasses = rpState().ErrorText;
    throw EClassNotFound(MissingClassesText(*rec));
  }
}

void TrpEMFPages::Draw(int index, TCanvas& canvas, const TRect& target) {
  TrpPreparedPage* rec = GetPages(index);
  if (!rec) return;
  TrpBuildState& st = rpState();
  const bool printing = st.PrinterCanvas == &canvas;
  if (!rec->Visible) {
    rec->Page.reset();
    return;
  }
  DocModeScope mode;
  Rebuild(*rec);
  if (printing && !rec->MissingClasses.empty()) throw EClassNotFound(MissingClassesText(*rec));
  st.CurrentPage = rec->Page.get();
  const int pw = rec->PageInfo.PhysWidth > 0 ? rec->PageInfo.PhysWidth : 1;
  const int ph = rec->PageInfo.PhysHeight > 0 ? rec->PageInfo.PhysHeight : 1;
  const double sx = static_cast<double>(target.Width()) / pw, sy = static_cast<double>(target.Height()) / ph;
  for (const auto& v : rec->Page->Objects) {
    if (!printing) {
      const TRect r = Rect(rpClampScaled(v->Left * sx + target.Left), rpClampScaled(v->Top * sy + target.Top),
                           rpClampScaled((static_cast<double>(v->Left) + v->Width) * sx + target.Left),
                           rpClampScaled((static_cast<double>(v->Top) + v->Height) * sy + target.Top));
      if (!canvas.RectVisible(InflateRect(r, 10, 10))) continue;
    }
    v->ScaleX = sx;
    v->ScaleY = sy;
    v->OffsetX = target.Left;
    v->OffsetY = target.Top;
    v->Printing = printing;
    TCanvasState state(canvas);
    v->Draw(canvas);
  }
  if (!rec->MissingClasses.empty()) {
    TCanvasState state(canvas);
    canvas.Font = TFont{};
    canvas.Font.Name = "Arial";
    canvas.Font.Color = clRed;
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.TextOut(target.Left + 4, target.Top + 4, MissingClassesText(*rec));
  }
}

TrpView* TrpEMFPages::ViewAt(int index, TPoint point) {
  TrpPreparedPage* rec = GetPages(index);
  if (!rec) return nullptr;
  Rebuild(*rec);
  double sx = 1, sy = 1;
  int ox = 0, oy = 0;
  if (!rec->UseMargins) {
    const TrpPageInfo& g = rec->PageInfo;
    const int w = g.PrintWidth - rec->LeftMargin - rec->RightMargin;
    const int h = g.PrintHeight - rec->TopMargin - rec->BottomMargin;
    // A printable area used up by the margins leaves the page unscaled.
    sx = w > 0 ? static_cast<double>(g.PhysWidth) / w : 1;
    sy = h > 0 ? static_cast<double>(g.PhysHeight) / h : 1;
    ox = rec->LeftMargin + g.OffsetX;
    oy = rec->TopMargin + g.OffsetY;
  }
  const auto& objects = rec->Page->Objects;
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
    const TrpView& v = **it;
    const double l = v.Left * sx + ox, t = v.Top * sy + oy;
    const double r = (static_cast<double>(v.Left) + v.Width) * sx + ox;
    const double b = (static_cast<double>(v.Top) + v.Height) * sy + oy;
    if (point.X >= l && point.X <= r && point.Y >= t && point.Y <= b) return it->get();
  }
  return nullptr;
}

bool TrpEMFPages::HitTest(int index, TPoint point, int& cursor, bool click) {
  TrpView* v = ViewAt(index, point);
  if (!v) return false;
  if (click) {
    if (!OnObjectClick) return false;
    OnObjectClick(*v);
    return true;
  }
  if (!OnMouseOverObject) return false;
  OnMouseOverObject(*v, cursor);
  return true;
}

void TrpEMFPages::SaveToStream(TStream& stream) {
  stream.WriteByte(rpPreparedVersion);
  stream.WriteByte(rpCompressor().Enabled ? 1 : 0);
  rpStreamWriteString(stream, rpPrinter().PrinterName());
  stream.WriteInt32(GetCount());
  for (const auto& rec : Pages) {
    const std::int64_t placeholder = stream.Position();
    stream.WriteInt32(0);
    stream.WriteUInt16(static_cast<std::uint16_t>(rec->PaperSize));
    stream.WriteInt32(rec->Width);
    stream.WriteInt32(rec->Height);
    stream.WriteByte(static_cast<std::uint8_t>(rec->Orientation));
    stream.WriteInt32(rec->Bin);
    stream.WriteByte(rec->UseMargins ? 1 : 0);
    stream.WriteInt32(rec->LeftMargin);
    stream.WriteInt32(rec->TopMargin);
    stream.WriteInt32(rec->RightMargin);
    stream.WriteInt32(rec->BottomMargin);
    const std::string bytes = rec->Stream->Bytes();
    if (rpCompressor().Enabled) {
      TMemoryStream src, dst;
      src.WriteString(bytes);
      src.SetPosition(0);
      rpCompressor().Compress(src, dst);
      stream.WriteString(dst.Bytes());
    } else {
      stream.WriteString(bytes);
    }
    const std::int64_t end = stream.Position();
    stream.SetPosition(placeholder);
    stream.WriteInt32(static_cast<std::int32_t>(end));
    stream.Seek(0, TSeekOrigin::soEnd);
  }
}

void TrpEMFPages::LoadFromStream(TStream& stream) {
  std::vector<std::unique_ptr<TrpPreparedPage>> pages;
  try {
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Size();
    int version = stream.ReadByte();
    if (version < 24 || version > 31) {
      version = 0;
      stream.SetPosition(start);
    }
    const int compressed = stream.ReadByte();
    if (compressed != 0 && compressed != 1 && compressed != 255)
      throw ErpPreparedError(Ansi("Файл отчета старого формата (страницы-метафайлы Windows) не может быть прочитан"));
    const AnsiString printer = rpStreamReadString(stream);
    const std::int32_t count = stream.ReadInt32();
    const int fixed = version ? 36 : 16;
    if (count < 0 || count > stream.BytesLeft() / fixed) throw ErpPreparedError(Ansi("Неверное число страниц"));
    if (Parent) Parent->SetPrinterByName(printer);
    else if (const int i = rpPrinter().IndexOfName(printer); i >= 0) rpPrinter().SetPrinterIndex(i);
    for (std::int32_t n = 0; n < count; ++n) {
      auto rec = std::make_unique<TrpPreparedPage>();
      const std::int64_t end = stream.ReadInt32();
      rec->PaperSize = stream.ReadUInt16();
      rec->Width = stream.ReadInt32();
      rec->Height = stream.ReadInt32();
      rec->Orientation = stream.ReadByte() ? 1 : 0;
      rec->Bin = version ? stream.ReadInt32() : -1;
      rec->UseMargins = stream.ReadByte() != 0;
      if (version) {
        rec->LeftMargin = stream.ReadInt32();
        rec->TopMargin = stream.ReadInt32();
        rec->RightMargin = stream.ReadInt32();
        rec->BottomMargin = stream.ReadInt32();
      }
      const std::int64_t here = stream.Position();
      if (end < here || end > size) throw ErpPreparedError(Ansi("Неверное смещение страницы"));
      rec->Stream = std::make_unique<TMemoryStream>();
      if (compressed == 1) {
        // Through the compressor, which here does nothing: such pages come out empty.
        TMemoryStream packed;
        packed.WriteString(stream.ReadString(end - here));
        packed.SetPosition(0);
        rpCompressor().DeCompress(packed, *rec->Stream);
      } else {
        rec->Stream->WriteString(stream.ReadString(end - here));
      }
      if (rec->Width < 0 || rec->Width > 100000 || rec->Height < 0 || rec->Height > 100000)
        throw ErpPreparedError(Ansi("Неверный размер бумаги"));
      for (int m : {rec->LeftMargin, rec->TopMargin, rec->RightMargin, rec->BottomMargin})
        if (m < -rpMaxCoord || m > rpMaxCoord) throw ErpPreparedError(Ansi("Неверные поля страницы"));
      rec->PageInfo = GeometryOf(*rec);
      stream.SetPosition(end);
      pages.push_back(std::move(rec));
    }
  } catch (const ErpPreparedError&) {
    throw;
  } catch (const Exception& e) {
    throw ErpPreparedError(Ansi("Файл отчета поврежден: ") + DamageOf(e));
  }
  // The views of every page are read once now, so that a damaged page refuses the file
  // here and is never met while the page is drawn, searched or exported (an object of an
  // unregistered class ends its page's views: see Draw).
  TrpPage* const current = rpState().CurrentPage;
  for (std::size_t n = 0; n < pages.size(); ++n) {
    try {
      (void)PageOf(*pages[n], pages[n]->MissingClasses);
    } catch (const Exception& e) {
      rpState().CurrentPage = current;
      throw ErpPreparedError(Ansi("Файл отчета поврежден: страница ") + IntToStr(static_cast<std::int64_t>(n) + 1) +
                             ": " + DamageOf(e));
    }
  }
  rpState().CurrentPage = current;
  Pages = std::move(pages);
}

void TrpEMFPages::SaveToFile(const AnsiString& fileName) {
  TMemoryStream m;
  SaveToStream(m);
  const std::string bytes = m.Bytes();
  SaveFileAtomically(fileName, [&](TStream& s) { s.WriteString(bytes); });
}

void TrpEMFPages::LoadFromFile(const AnsiString& fileName) {
  TMemoryStream m;
  m.LoadFromFile(fileName);
  m.SetPosition(0);
  LoadFromStream(m);
}
