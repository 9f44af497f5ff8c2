#include "report/RP_Page.h"

#include <algorithm>
#include <cmath>

#include "platform/core/AnsiText.h"
#include "report/RP_Utils.h"

namespace {

AnsiString Upper(const AnsiString& s) { return AnsiUpperCase(s); }

}  // namespace

TrpPage::TrpPage(int paperSize, int width, int height, int bin, int orientation) {
  ChangePaper(paperSize, width, height, bin, orientation);
}

TrpPage::TrpPage(const TrpPageInfo& info, int paperSize, int width, int height, int bin, int orientation)
    : PaperSize(paperSize), PaperWidth(width), PaperHeight(height), Orientation(orientation), Bin(bin),
      PageInfo(info) {}

TrpPage::~TrpPage() {
  if (rpState().CurrentPage == this) rpState().CurrentPage = nullptr;
}

void TrpPage::ChangePaper(int paperSize, int width, int height, int bin, int orientation) {
  TrpPrinter& printer = rpPrinter();
  const int orient = orientation ? rpLandscape : rpPortrait;
  try {
    printer.SetPageSettings(paperSize, width, height, orient, bin, false);
  } catch (const Exception&) {
    printer.SetPageSettings(rpCustomPaper, width, height, orient, -1, false);
  }
  PageInfo = printer.FillPageInfo();
  PaperSize = printer.PaperSize;
  PaperWidth = printer.PaperWidth;
  PaperHeight = printer.PaperHeight;
  Orientation = printer.Orientation;
  Bin = rpIsDefaultBin(bin) ? 0xFFFF : printer.Bin;
}

int TrpPage::TopEdge() const {
  if (!UseMargins) return 0;
  return TopMargin ? TopMargin : PageInfo.OffsetY;
}

int TrpPage::LeftEdge() const {
  if (!UseMargins) return 0;
  return LeftMargin ? LeftMargin : PageInfo.OffsetX;
}

int TrpPage::RightEdge() const {
  if (!UseMargins) return PageInfo.PhysWidth;
  return RightMargin ? PageInfo.PhysWidth - RightMargin : PageInfo.OffsetX + PageInfo.PrintWidth;
}

int TrpPage::BottomEdge() const {
  int y;
  if (!UseMargins) y = PageInfo.PhysHeight;
  else y = BottomMargin ? PageInfo.PhysHeight - BottomMargin : PageInfo.OffsetY + PageInfo.PrintHeight;
  if (rpState().DocMode == rpOutputMode) y -= rpState().Hooks->PageFooterHeight(const_cast<TrpPage&>(*this));
  return y;
}

TrpView* TrpPage::FindObject(const AnsiString& name) const {
  const AnsiString u = Upper(name);
  for (const auto& v : Objects)
    if (Upper(v->Name) == u) return v.get();
  return nullptr;
}

void TrpPage::DeleteObject(int index) {
  if (index >= 0 && index < static_cast<int>(Objects.size())) Objects.erase(Objects.begin() + index);
}

TrpView* TrpPage::AddObject(std::unique_ptr<TrpView> view) {
  Objects.push_back(std::move(view));
  return Objects.back().get();
}

void TrpPage::RunScript(const TStringList& script) {
  if (script.Text().empty()) return;
  rpState().CurrentView = nullptr;
  rpState().Hooks->RunScript(nullptr, script);
}

namespace {
constexpr int kMaxPaper = 100000;  // 10 m in tenths of a millimetre
constexpr int kMaxColumns = 10000;
}  // namespace

void TrpPage::SetPropValue(const AnsiString& rawName, const Variant& value) {
  const AnsiString name = Upper(rawName);
  const bool dialog = PageType == ptDialog;
  // Kept within what a template may hold: papers up to 10 m, margins, gaps and places
  // within the largest page, a column count the readers take.
  if (name == "LEFT") FormLeft = rpClampCoord(value.AsInteger());
  else if (name == "TOP") FormTop = rpClampCoord(value.AsInteger());
  else if (name == "WIDTH") {
    if (dialog) FormWidth = rpClampCoord(value.AsInteger());
    else PaperWidth = std::clamp(rpRound(value.AsDouble() * 10 * 5 / 18), 0, kMaxPaper);
  } else if (name == "HEIGHT") {
    if (dialog) FormHeight = rpClampCoord(value.AsInteger());
    else PaperHeight = std::clamp(rpRound(value.AsDouble() * 10 * 5 / 18), 0, kMaxPaper);
  } else if (name == "TYPE") PageType = static_cast<std::uint8_t>(value.AsInteger());
  else if (name == "BORDERSTYLE") BorderStyle = static_cast<std::uint8_t>(value.AsInteger());
  else if (name == "CAPTION" || name == "NAME") {
    // A text a script stores counts against what its values may hold.
    rpChargeScriptBytes(rpStoredTextBytes(VarToStr(value)));
    (name == "CAPTION" ? Caption : Name) = VarToStr(value);
  }
  else if (name == "COLOR") Color = static_cast<TColor>(value.AsInteger());
  else if (name == "POSITION") Position = static_cast<std::uint8_t>(value.AsInteger());
  else if (name == "SIZE") PaperSize = value.AsInteger();
  else if (name == "LEFTMARGIN") LeftMargin = rpClampCoord(value.AsInteger());
  else if (name == "TOPMARGIN") TopMargin = rpClampCoord(value.AsInteger());
  else if (name == "RIGHTMARGIN") RightMargin = rpClampCoord(value.AsInteger());
  else if (name == "BOTTOMMARGIN") BottomMargin = rpClampCoord(value.AsInteger());
  else if (name == "ORIENTATION") Orientation = value.AsInteger();
  else if (name == "PRINTTOPREVPAGE") PrintToPrevPage = value.AsBoolean();
  else if (name == "STRETCHTOPRINTABLE") UseMargins = !value.AsBoolean();
  else if (name == "COLUMNS") Columns = std::clamp(value.AsInteger(), -kMaxColumns, kMaxColumns);
  else if (name == "COLUMNGAP") ColumnGap = rpClampCoord(value.AsInteger());
  else if (name == "VISIBLE") Visible = value.AsBoolean();
}

Variant TrpPage::GetPropValue(const AnsiString& rawName) {
  const AnsiString name = Upper(rawName);
  const bool dialog = PageType == ptDialog;
  const bool building = rpState().DocMode == rpOutputMode;
  if (name == "LEFT") return FormLeft;
  if (name == "TOP") return FormTop;
  if (name == "WIDTH") return dialog ? FormWidth : rpRound(PaperWidth / 10.0 * 18 / 5);
  if (name == "HEIGHT") return dialog ? FormHeight : rpRound(PaperHeight / 10.0 * 18 / 5);
  if (name == "TYPE") return static_cast<std::int32_t>(PageType);
  if (name == "BORDERSTYLE") return static_cast<std::int32_t>(BorderStyle);
  if (name == "CAPTION") return Caption;
  if (name == "NAME") return Name;
  if (name == "COLOR") return static_cast<std::int32_t>(Color);
  if (name == "POSITION") return static_cast<std::int32_t>(Position);
  if (name == "SIZE") return PaperSize;
  if (name == "LEFTMARGIN") return building ? LeftEdge() : LeftMargin;
  if (name == "TOPMARGIN") return building ? TopEdge() : TopMargin;
  if (name == "RIGHTMARGIN") return building ? RightEdge() : RightMargin;
  if (name == "BOTTOMMARGIN") return building ? BottomEdge() : BottomMargin;
  if (name == "ORIENTATION") return Orientation;
  if (name == "PRINTTOPREVPAGE") return PrintToPrevPage;
  if (name == "STRETCHTOPRINTABLE") return !UseMargins;
  if (name == "COLUMNS") return Columns;
  if (name == "COLUMNGAP") return ColumnGap;
  if (name == "VISIBLE") return Visible;
  return Variant::Null();
}

void TrpPage::DefineProperties() {
  PropList.clear();
  AddEnumProperty("Type", "ptReport;ptDialog", {0, 1});
  AddProperty("Visible", rpkBoolean);
  if (PageType == ptDialog) {
    AddEnumProperty("BorderStyle", "bsDialog;bsSizeable", {3, 2});
    AddProperty("Caption", rpkText);
    AddProperty("Color", rpkColor);
    for (const char* n : {"Left", "Top", "Width", "Height"}) AddProperty(n, rpkPixels);
    AddEnumProperty("Position", "poDesigned;poScreenCenter", {0, 4});
    AddProperty("OnActivate", rpkEditor);
  } else {
    AnsiString names;
    std::vector<Variant> ids;
    for (const TrpPaper& p : rpPrinter().Papers) {
      names += p.Name + ";";
      ids.emplace_back(p.Id);
    }
    AddEnumProperty("Size", names, ids);
    for (const char* n : {"Width", "Height", "LeftMargin", "TopMargin", "RightMargin", "BottomMargin"})
      AddProperty(n, rpkPixels);
    AddEnumProperty("Orientation", "poPortrait;poLandscape", {0, 1});
    AddProperty("PrintToPrevPage", rpkBoolean);
    AddProperty("StretchToPrintable", rpkBoolean);
    AddProperty("Columns", rpkInteger);
    AddProperty("ColumnGap", rpkPixels);
    AddProperty("OnBeforePrint", rpkEditor);
  }
}

void TrpPage::LoadFromStream(TStream& stream) {
  const int v = rpState().StreamVersion;
  const std::int32_t marker = stream.ReadInt32();
  const int size = marker == -1 ? stream.ReadInt32() : marker;
  const int width = stream.ReadInt32();
  const int height = stream.ReadInt32();
  LeftMargin = stream.ReadInt32();
  TopMargin = stream.ReadInt32();
  RightMargin = stream.ReadInt32();
  BottomMargin = stream.ReadInt32();
  const int orientation = stream.ReadByte();
  if (v < 23) stream.ReadString(6);
  const int bin = v > 23 ? stream.ReadInt32() : -1;
  PrintToPrevPage = stream.ReadInt16() != 0;
  UseMargins = stream.ReadInt16() != 0;
  Columns = stream.ReadInt32();
  ColumnGap = stream.ReadInt32();
  // Papers up to 10 m, margins and gaps within the largest page.
  rpCheckRange(width, kMaxPaper, "ширина бумаги");
  rpCheckRange(height, kMaxPaper, "высота бумаги");
  for (int m : {LeftMargin, TopMargin, RightMargin, BottomMargin, ColumnGap}) rpCheckRange(m, rpMaxCoord, "поля");
  rpCheckRange(Columns, kMaxColumns, "колонки");
  if (width < 0 || height < 0) throw ErpRecordError(Ansi("Неверный размер бумаги"));
  if (v > 23) {
    PageType = stream.ReadByte();
    Name = ReadReportString(stream);
    const std::uint8_t border = stream.ReadByte();
    BorderStyle = border == 0 ? std::uint8_t{bsDialog} : border == 1 ? std::uint8_t{bsSizeable} : border;
    Caption = ReadReportString(stream);
    Color = stream.ReadUInt32();
    FormLeft = stream.ReadInt32();
    FormTop = stream.ReadInt32();
    FormWidth = stream.ReadInt32();
    FormHeight = stream.ReadInt32();
    Position = stream.ReadByte() ? poScreenCenter : poDesigned;
    if (marker == -1) ReadReportLines(stream, Script);
  }
  ChangePaper(size, width, height, bin, orientation);
}

void TrpPage::SaveToStream(TStream& stream) {
  stream.WriteInt32(-1);
  stream.WriteInt32(PaperSize);
  stream.WriteInt32(PaperWidth);
  stream.WriteInt32(PaperHeight);
  stream.WriteInt32(LeftMargin);
  stream.WriteInt32(TopMargin);
  stream.WriteInt32(RightMargin);
  stream.WriteInt32(BottomMargin);
  stream.WriteByte(static_cast<std::uint8_t>(Orientation));
  stream.WriteInt32(Bin);
  stream.WriteInt16(PrintToPrevPage ? 1 : 0);
  stream.WriteInt16(UseMargins ? 1 : 0);
  stream.WriteInt32(Columns);
  stream.WriteInt32(ColumnGap);
  stream.WriteByte(PageType);
  rpStreamWriteString(stream, Name);
  stream.WriteByte(BorderStyle);
  rpStreamWriteString(stream, Caption);
  stream.WriteUInt32(Color);
  stream.WriteInt32(FormLeft);
  stream.WriteInt32(FormTop);
  stream.WriteInt32(FormWidth);
  stream.WriteInt32(FormHeight);
  stream.WriteByte(Position);
  rpStreamWriteLines(stream, Script);
}

// ---------------------------------------------------------------------------------
// Dictionary record

void TrpDictionaryRecord::Clear() {
  Variables.Clear();
  Aliases.Clear();
  BandSources.Clear();
}

namespace {

void ReadTable(TStream& s, TrpVariables& t) {
  const std::int32_t count = s.ReadInt32();
  // Every pair takes at least six bytes.
  if (count < 0 || count > s.BytesLeft() / 6) throw EReadError(Ansi("Неверное число записей словаря"));
  for (std::int32_t i = 0; i < count; ++i) {
    const AnsiString name = rpStreamReadString(s);
    t.SetValueByName(name, rpStreamReadString(s));
  }
}

void WriteTable(TStream& s, const TrpVariables& t) {
  s.WriteInt32(t.Count());
  for (int i = 0; i < t.Count(); ++i) {
    rpStreamWriteString(s, t.GetNameAt(i));
    rpStreamWriteString(s, VarToStr(t.GetValueAt(i)));
  }
}

AnsiString ReadShortString(TStream& s) { return s.ReadString(s.ReadByte()); }

}  // namespace

void TrpDictionaryRecord::LoadFromStream(TStream& stream) {
  Clear();
  const std::int16_t marker = stream.ReadInt16();
  if (marker == -2 || marker == -1) {
    ReadTable(stream, Variables);
    ReadTable(stream, Aliases);
    ReadTable(stream, BandSources);
  } else {
    // The oldest layout: entries that give values to aliases, then the names.
    stream.Seek(-2, TSeekOrigin::soCurrent);
    const std::int32_t count = stream.ReadInt32();
    if (count < 0 || count > stream.BytesLeft() / 8) throw EReadError(Ansi("Неверное число записей словаря"));
    static const char* special[] = {"PAGE#", "", "DATE", "TIME", "LINE#", "LINETHROUGH#", "COLUMN#", "CURRENT#",
                                    "TOTALPAGES"};
    for (std::int32_t i = 0; i < count; ++i) {
      const int kind = stream.ReadByte();
      const std::int32_t n = stream.ReadInt32();
      const AnsiString a = ReadShortString(stream), b = ReadShortString(stream), c = ReadShortString(stream);
      AnsiString value;
      if (kind == 2) value = n == 1 ? b : (n >= 0 && n < 9 ? AnsiString(special[n]) : AnsiString());
      else if (kind == 1) value = a + ".\"" + b + "\"";
      Aliases.SetValueByName(" " + c, value);
    }
    TStringList names;
    rpStreamReadLines(stream, names);
    for (int i = 0; i < names.Count(); ++i) {
      const AnsiString& nm = names[i];
      if (!nm.empty() && nm[0] != ' ') Variables.SetValueByName(nm, "");
      else Variables.SetValueByName(nm, Aliases.GetValueByName(nm).IsNull() ? Variant("") : Aliases.GetValueByName(nm));
    }
    Aliases.Clear();
  }
  if (marker == -2) return;
  const AnsiString first = Variables.Count() ? Variables.GetNameAt(0) : AnsiString();
  if (!first.empty() && first[0] != ' ')
    for (int i = 0; i < Variables.Count(); ++i) {
      const AnsiString name = Variables.GetNameAt(i);
      Variables.SetNameAt(i, !name.empty() && name[0] == ' ' ? name.substr(1) : " " + name);
    }
  if (marker != -1) return;
  auto empty = [](const TrpVariables& t, int i) { return VarToStr(t.GetValueAt(i)).empty(); };
  for (int i = Aliases.Count() - 1; i >= 0; --i)
    if (empty(Aliases, i) && !(IsDataSetField && IsDataSetField(Aliases.GetNameAt(i)))) Aliases.DeleteAt(i);
  for (int i = BandSources.Count() - 1; i >= 0; --i)
    if (empty(BandSources, i)) BandSources.DeleteAt(i);
}

void TrpDictionaryRecord::SaveToStream(TStream& stream) const {
  stream.WriteInt16(-2);
  WriteTable(stream, Variables);
  WriteTable(stream, Aliases);
  WriteTable(stream, BandSources);
}

// ---------------------------------------------------------------------------------
// TrpPages

TrpPage* TrpPages::Add() {
  Pages.push_back(std::make_unique<TrpPage>(rpPrinter().InitialPaperSize, 0, 0, -1, rpPortrait));
  return Pages.back().get();
}

int TrpPages::IndexOf(const TrpPage* page) const {
  for (int i = 0; i < GetCount(); ++i)
    if (Pages[static_cast<std::size_t>(i)].get() == page) return i;
  return -1;
}

TrpView* TrpPages::FindObject(const AnsiString& name) const {
  for (const auto& p : Pages)
    if (TrpView* v = p->FindObject(name)) return v;
  return nullptr;
}
