#include "report/RP_Views.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "platform/core/AnsiText.h"
#include "report/RP_BandView.h"
#include "report/RP_Memo.h"
#include "report/RP_Page.h"
#include "report/RP_Pars.h"
#include "report/RP_Utils.h"

std::int32_t rpRound(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

std::int32_t rpClampScaled(double v) { return std::clamp(rpRound(v), -rpMaxScaled, rpMaxScaled); }

std::int32_t rpClampCoord(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -rpMaxCoord, rpMaxCoord));
}

void rpCheckRange(std::int64_t v, std::int64_t limit, const char* what) {
  if (v < -limit || v > limit) throw ErpRecordError(Ansi("Недопустимое значение в записи объекта: ") + Ansi(what));
}

namespace {

bool IsWhole(double v) { return std::nearbyint(v) == v; }

AnsiString Upper(const AnsiString& s) { return AnsiUpperCase(s); }

}  // namespace

std::int32_t rpEncodeFrameWidth(float width) {
  const double w = width;
  if (!IsWhole(w) || w > 10) return rpRound(w * 1000);
  return rpRound(w);
}

float rpDecodeFrameWidth(std::int32_t stored) {
  double v = stored;
  if (stored <= 10) v *= 1000;
  return static_cast<float>(v / 1000);
}

// ---------------------------------------------------------------------------------
// TrpObject

void TrpObject::SetPropValue(const AnsiString&, const Variant&) {}
Variant TrpObject::GetPropValue(const AnsiString&) { return Variant::Null(); }
Variant TrpObject::DoMethod(const AnsiString&, const Variant&, const Variant&, const Variant&) {
  return Variant::Null();
}
void TrpObject::DefineProperties() { PropList.clear(); }

TrpPropDesc& TrpObject::AddProperty(const AnsiString& name, std::uint16_t kind) {
  auto d = std::make_unique<TrpPropDesc>();
  d->Name = name.substr(0, 32);
  d->Kind = kind;
  PropList.push_back(std::move(d));
  return *PropList.back();
}

TrpPropDesc& TrpObject::AddEnumProperty(const AnsiString& name, const AnsiString& names, std::vector<Variant> values) {
  TrpPropDesc& d = AddProperty(name, rpkEnum);
  rpSplitSemicolonList(names, d.EnumNames);
  if (!values.empty() && !values.front().IsNull()) d.EnumValues = std::move(values);
  return d;
}

const TrpPropDesc* TrpObject::FindProperty(const AnsiString& name) {
  if (PropList.empty()) DefineProperties();
  const AnsiString u = Upper(name);
  for (const auto& d : PropList)
    if (Upper(d->Name) == u) return d.get();
  return nullptr;
}

// ---------------------------------------------------------------------------------
// TrpView

TrpView::TrpView() {
  ObjectType = rpotAddIn;
  Format = 2 * 256 + '.';
}

TrpView::~TrpView() {
  if (rpState().CurrentView == this) rpState().CurrentView = nullptr;
}

void TrpView::SetBounds(int left, int top, int width, int height) {
  Left = left;
  Top = top;
  Width = width;
  Height = height;
}

std::int64_t rpStoredTextBytes(std::string_view text) {
  // Each line kept on its own: a text of line breaks only holds far more than its bytes.
  const auto breaks = std::count(text.begin(), text.end(), '\n') + std::count(text.begin(), text.end(), '\r');
  return rpTextBytes(text) + rpTextBytes("") * static_cast<std::int64_t>(breaks);
}

void TrpView::SetPropValue(const AnsiString& rawName, const Variant& value) {
  const AnsiString name = Upper(rawName);
  // A text a script stores counts against what its values may hold.
  if (name == "NAME" || name == "MEMO" || name == "DATAFIELD" || name == "TAG")
    rpChargeScriptBytes(rpStoredTextBytes(VarToStr(value)));
  if (name == "NAME") Name = VarToStr(value);
  else if (name == "LEFT") Left = rpClampCoord(value.AsInteger());
  else if (name == "TOP") Top = rpClampCoord(value.AsInteger());
  else if (name == "WIDTH") Width = rpClampCoord(value.AsInteger());
  else if (name == "HEIGHT") Height = rpClampCoord(value.AsInteger());
  else if (name == "FLAGS") Flags = static_cast<std::uint16_t>(value.AsInteger());
  else if (name == "FRAMETYP") FrameTyp = static_cast<std::uint16_t>(value.AsInteger());
  else if (name == "FRAMECOLOR") FrameColor = static_cast<TColor>(value.AsInteger());
  else if (name == "FRAMESTYLE") FrameStyle = static_cast<std::uint16_t>(value.AsInteger());
  else if (name == "FILLCOLOR") FillColor = static_cast<TColor>(value.AsInteger());
  else if (name == "FRAMEWIDTH") FrameWidth = static_cast<float>(value.AsDouble());
  else if (name == "VISIBLE") Visible = value.AsBoolean();
  else if (name == "MEMO" || name == "DATAFIELD") Memo.SetText(VarToStr(value));
  else if (name == "GAPX") GapX = rpClampCoord(value.AsInteger());
  else if (name == "GAPY") GapY = rpClampCoord(value.AsInteger());
  else if (name == "STRETCHED") Flags = value.AsBoolean() ? (Flags | flStretched) : (Flags & ~flStretched);
  else if (name == "BANDALIGN") BandAlign = static_cast<std::uint8_t>(value.AsInteger());
  else if (name == "TAG") Tag = VarToStr(value);
}

Variant TrpView::GetPropValue(const AnsiString& rawName) {
  const AnsiString name = Upper(rawName);
  if (name == "NAME") return Name;
  if (name == "LEFT") return Left;
  if (name == "TOP") return Top;
  if (name == "WIDTH") return Width;
  if (name == "HEIGHT") return Height;
  if (name == "FLAGS") return static_cast<std::int32_t>(Flags);
  if (name == "FRAMETYP") return static_cast<std::int32_t>(FrameTyp);
  if (name == "FRAMECOLOR") return static_cast<std::int32_t>(FrameColor);
  if (name == "FRAMESTYLE") return static_cast<std::int32_t>(FrameStyle);
  if (name == "FILLCOLOR") return static_cast<std::int32_t>(FillColor);
  if (name == "FRAMEWIDTH") return static_cast<double>(FrameWidth);
  if (name == "VISIBLE") return Visible;
  if (name == "MEMO") {
    AnsiString s;
    for (int i = 0; i < Memo.Count(); ++i) s += (i ? "\r\n" : "") + Memo[i];
    return s;
  }
  if (name == "MEMO.COUNT") return Memo.Count();
  if (name == "GAPX") return GapX;
  if (name == "GAPY") return GapY;
  if (name == "STRETCHED") return (Flags & flStretched) != 0;
  if (name == "DATAFIELD") return Memo.Count() ? Memo[0] : AnsiString();
  if (name == "BANDALIGN") return static_cast<std::int32_t>(BandAlign);
  if (name == "TAG") return Tag;
  return Variant::Null();
}

bool TrpView::DoListMethod(TStringList& list, const AnsiString& listName, const AnsiString& method,
                           const Variant& p1, const Variant& p2, const Variant& p3, Variant& result) {
  auto index = [&](const Variant& v) {
    const int i = v.AsInteger();
    if (i < 0 || i >= list.Count())
      throw ErpViewError(Ansi("Индекс строки вне диапазона: ") + IntToStr(i) + " (" + Name + "." + listName + ")");
    return i;
  };
  TrpParser parser;
  auto eval = [&](const Variant& e) { return rpState().Hooks->EvaluateExpression(VarToStr(e)); };
  if (method == "SETINDEXPROPERTY") {
    if (Upper(VarToStr(p1)) != listName) return false;
    const int at = index(p2);
    rpChargeScriptBytes(rpValueBytes(p3));
    list.SetString(at, VarToStr(p3));
    return true;
  }
  if (method == "GETINDEXPROPERTY") {
    if (Upper(VarToStr(p1)) != listName) return false;
    result = list[index(p2)];
    return true;
  }
  if (method == listName + ".ADD") {
    const Variant line = eval(p1);
    rpChargeScriptBytes(rpValueBytes(line));
    list.Add(VarToStr(line));
    return true;
  }
  if (method == listName + ".CLEAR") {
    list.Clear();
    return true;
  }
  if (method == listName + ".DELETE") {
    list.Delete(index(eval(p1)));
    return true;
  }
  if (method == listName + ".INDEXOF") {
    const AnsiString s = VarToStr(eval(p1));
    int found = -1;
    for (int i = 0; i < list.Count(); ++i)
      if (list[i] == s) {
        found = i;
        break;
      }
    result = found;
    return true;
  }
  return false;
}

Variant TrpView::DoMethod(const AnsiString& method, const Variant& p1, const Variant& p2, const Variant& p3) {
  if (method == "HIDE") {
    Visible = false;
    return Variant::Null();
  }
  if (method == "SHOW") {
    Visible = true;
    return Variant::Null();
  }
  Variant result = Variant::Null();
  DoListMethod(Memo, "MEMO", method, p1, p2, p3, result);
  return result;
}

void TrpView::DefineProperties() {
  PropList.clear();
  AddProperty("Name", rpkNamed | rpkText);
  AddProperty("Left", rpkPixels);
  AddProperty("Top", rpkPixels);
  AddProperty("Width", rpkPixels);
  AddProperty("Height", rpkPixels);
  AddProperty("Flags", 0);
  if (ObjectType != rpotBand && ObjectType != rpotSubReport) {
    AddProperty("FrameTyp", rpkInteger);
    AddProperty("FrameWidth", rpkPixels | rpkReal);
    AddProperty("FrameColor", rpkColor);
    AddEnumProperty("FrameStyle", "psSolid;psDash;psDot;psDashDot;psDashDotDot;psDouble", {0, 1, 2, 3, 4, 5});
    AddProperty("FillColor", rpkColor);
    AddProperty("Tag", rpkNamed | rpkEditor);
    AddEnumProperty("BandAlign", "baNone;baLeft;baRight;baCenter;baWidth;baBottom;baTop", {0, 1, 2, 3, 4, 5, 6});
  }
  AddProperty("Visible", rpkBoolean);
  AddProperty("Memo", rpkNamed | rpkEditor);
  AddProperty("Memo.Count", 0);
  AddProperty("Restrictions", rpkEditor);
}

void TrpView::GetBlob(const Variant&) {}

// ---------------------------------------------------------------------------------
// Drawing

void TrpView::ScaleCoords() {
  TrpBuildState& st = rpState();
  saved_ = {Left, Top, Width, Height, GapX, GapY, FrameWidth};
  if (st.DocMode == rpDesignMode) {
    ScaleX = ScaleY = 1;
    OffsetX = OffsetY = 0;
  }
  const double sx = ScaleX, sy = ScaleY, fw = saved_.FrameWidth;
  // The integer steps of the rules, done in floating point and kept in range.
  auto r = [](double v) { return std::nearbyint(v); };
  Left = rpClampScaled(r(saved_.Left * sx) + OffsetX);
  Top = rpClampScaled(r(saved_.Top * sy) + OffsetY);
  Width = rpClampScaled(sx * saved_.Width);
  Height = rpClampScaled(sy * saved_.Height);
  FrameWidth = static_cast<float>(std::clamp(sx * fw, -1e6, 1e6));
  const int hx = rpClampScaled(sx * fw / 2), hy = rpClampScaled(sy * fw / 2);
  GapX = rpClampScaled(hx + r(sx * saved_.GapX));
  GapY = rpClampScaled(r(sy * saved_.GapY) + hy / 2);
  FrameRect.Left = rpClampScaled(Left + ((FrameTyp & rpftLeft) ? r((sx * fw - 1) / 2) : 0));
  FrameRect.Top = rpClampScaled(Top + ((FrameTyp & rpftTop) ? r((sy * fw - 1) / 2) : 0));
  FrameRect.Right = rpClampScaled(r(sx * (static_cast<double>(saved_.Left) + saved_.Width) + OffsetX) + 1 -
                                  ((FrameTyp & rpftRight) ? hx : 0));
  FrameRect.Bottom = rpClampScaled(r(sy * (static_cast<double>(saved_.Top) + saved_.Height) + OffsetY) + 1 -
                                   ((FrameTyp & rpftBottom) ? hy : 0));
}

void TrpView::RestoreCoords() {
  Left = saved_.Left;
  Top = saved_.Top;
  Width = saved_.Width;
  Height = saved_.Height;
  GapX = saved_.GapX;
  GapY = saved_.GapY;
  FrameWidth = saved_.FrameWidth;
}

void TrpView::DrawBackground() {
  const TrpBuildState& st = rpState();
  if (st.FirstPass || !Canvas) return;
  if (st.DocMode == rpOutputMode && FillColor == rpNoColor) return;
  const TColor fill = FillColor == rpNoColor ? clWhite : FillColor;
  Canvas->Brush.Style = TBrushStyle::bsSolid;
  Canvas->Brush.Color = fill;
  if (st.DocMode == rpDesignMode) {
    Canvas->FillRect(FrameRect);
  } else {
    Canvas->FillRect(Rect(Left, Top,
                          rpClampScaled((static_cast<double>(saved_.Left) + saved_.Width) * ScaleX + OffsetX),
                          rpClampScaled((static_cast<double>(saved_.Top) + saved_.Height) * ScaleY + OffsetY)));
  }
}

namespace {

TPenStyle PenStyleOf(std::uint16_t style) {
  switch (style) {
    case rpfsDash: return TPenStyle::psDash;
    case rpfsDot: return TPenStyle::psDot;
    case rpfsDashDot: return TPenStyle::psDashDot;
    case rpfsDashDotDot: return TPenStyle::psDashDotDot;
    default: return TPenStyle::psSolid;
  }
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

}  // namespace

void TrpView::DrawFrame() {
  const TrpBuildState& st = rpState();
  if (st.FirstPass || !Canvas) return;
  if (st.DocMode == rpOutputMode && (FrameTyp & rpftAll) == 0) return;
  TCanvas& c = *Canvas;
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Pen.Style = TPenStyle::psSolid;
  c.Pen.Mode = TPenMode::pmCopy;
  if (st.DocMode == rpDesignMode && Width > 0 && Height > 0) {
    c.Pen.Color = clBlack;
    c.Pen.Width = 1;
    const int L = Left, T = Top, W = Width, H = Height;
    Line(c, L, T + 3, L, T);
    Line(c, L, T, L + 4, T);
    Line(c, L, T + H - 3, L, T + H);
    Line(c, L, T + H, L + 4, T + H);
    Line(c, L + W - 3, T, L + W, T);
    Line(c, L + W, T, L + W, T + 4);
    Line(c, L + W - 3, T + H, L + W, T + H);
    Line(c, L + W, T + H, L + W, T + H - 4);
  }
  c.Pen.Color = FrameColor;
  // Wider than any page is as wide as one (a dashed side is that many lines).
  const int w = std::clamp(rpRound(FrameWidth), 0, 2000);
  c.Pen.Width = w;
  if (FrameStyle != rpfsDouble) c.Pen.Style = PenStyleOf(FrameStyle);
  const int x = rpClampScaled((static_cast<double>(saved_.Left) + saved_.Width) * ScaleX + OffsetX);
  const int y = rpClampScaled((static_cast<double>(saved_.Top) + saved_.Height) * ScaleY + OffsetY);
  // One side: (x1, y1)-(x2, y2); `vertical` tells the direction of the offsets.
  auto side = [&](int x1, int y1, int x2, int y2, bool vertical) {
    auto at = [&](int d) {
      if (vertical) Line(c, x1 + d, y1, x2 + d, y2);
      else Line(c, x1, y1 + d, x2, y2 + d);
    };
    if (c.Pen.Style != TPenStyle::psSolid) {
      c.Brush.Color = FillColor;
      c.Pen.Width = 1;
      for (int k = 0; k < w; ++k) at(k - w / 2);
      c.Pen.Width = w;
    } else if (FrameStyle == rpfsDouble) {
      const int d = w;
      at(-d);
      at(d);
      // The middle line in the fill colour; without a fill, in the paper's white.
      c.Pen.Color = FillColor == rpNoColor ? clWhite : FillColor;
      at(0);
      c.Pen.Color = FrameColor;
    } else {
      at(0);
    }
  };
  if (FrameTyp & rpftRight) side(x, Top, x, y, true);
  if (FrameTyp & rpftLeft) side(Left, Top, Left, y, true);
  if (FrameTyp & rpftBottom) side(Left, y, x, y, false);
  if (FrameTyp & rpftTop) side(Left, Top, x, Top, false);
}

TRect TrpView::GetClipRgn(bool extended) {
  const double fw = FrameWidth;
  int outer, inner;
  if (FrameStyle == rpfsDouble) {
    outer = rpRound(1.5 * fw);
    inner = rpRound(fw + (fw - 1) / 2);
  } else {
    outer = rpRound(fw / 2);
    inner = rpRound((fw - 1) / 2);
  }
  outer = std::clamp(outer, 0, rpMaxScaled);
  inner = std::clamp(inner, 0, rpMaxScaled);
  TRect r = Rect(Left - ((FrameTyp & rpftLeft) ? outer : 0), Top - ((FrameTyp & rpftTop) ? outer : 0),
                 Left + Width + ((FrameTyp & rpftRight) ? inner : 0) + 1,
                 Top + Height + ((FrameTyp & rpftBottom) ? inner : 0) + 1);
  return extended ? InflateRect(r, 10, 10) : r;
}

void TrpView::PageEdges(int& leftX, int& rightX) const {
  const TrpBuildState& st = rpState();
  TrpPage* page = st.CurrentPage;
  if (!page) {
    leftX = 0;
    rightX = 0;
    return;
  }
  if (st.DocMode == rpOutputMode) {
    leftX = page->LeftEdge();
    rightX = page->RightEdge();
  } else {
    leftX = 0;
    rightX = page->PageInfo.ReportWidth();
  }
}

void TrpView::BeginDraw(TCanvas& canvas) {
  TrpBuildState& st = rpState();
  Canvas = &canvas;
  st.CurrentView = this;
  if (BandAlign == baNone || !st.CurrentPage) return;
  int lx = 0, rx = 0;
  PageEdges(lx, rx);
  switch (BandAlign) {
    case baLeft: Left = lx; break;
    case baRight: Left = rx - Width; break;
    case baCenter: Left = lx + (rx - lx - Width) / 2; break;
    case baWidth:
      if (st.DocMode == rpOutputMode) {
        // (before the build: while a band prints, the view keeps what this gave it)
        if (st.CurrentBand) break;
        Left = lx;
        Width = rx - lx;
      } else {
        // A view in a cross band takes the band's strip; any other the page's width.
        const TrpBandView* cross = nullptr;
        for (const auto& v : st.CurrentPage->Objects) {
          auto* b = dynamic_cast<TrpBandView*>(v.get());
          if (!b || b->BandType() < 18 || b->BandType() > 20) continue;
          if (Left >= b->Left && Left < b->Left + b->Width && Top >= b->Top && Top < b->Top + b->Height) cross = b;
        }
        Left = cross ? cross->Left : lx;
        Width = cross ? cross->Width : rx;
      }
      break;
    case baBottom:
    case baTop:
      if (st.DocMode == rpDesignMode) {
        for (const auto& v : st.CurrentPage->Objects) {
          auto* b = dynamic_cast<TrpBandView*>(v.get());
          if (!b || b == this) continue;
          if (Top >= b->Top && Top < b->Top + b->Height) {
            Top = BandAlign == baBottom ? b->Top + b->Height - Height : b->Top;
            break;
          }
        }
      }
      break;
    default: break;
  }
}

void TrpView::AlignToCurrentBand() {
  int top = 0, calc = 0, width = 0, type = 0;
  if (!rpState().Hooks->CurrentBandGeometry(top, calc, width, type)) return;
  if (BandAlign == baBottom) Top = top + calc - Height;
  else if (BandAlign == baTop) Top = top;
  else if (BandAlign == baWidth && type >= 18 && type <= 20) Width = width;
}

void TrpView::CreateUniqueName() {
  TrpEngineHooks& hooks = *rpState().Hooks;
  for (int i = 1; i <= 10000; ++i) {
    const AnsiString candidate = BaseName + IntToStr(i);
    TrpView* other = hooks.FindObject(candidate);
    if (!other || other == this) {
      SetPropValue("Name", candidate);
      return;
    }
  }
}

AnsiString TrpView::ExpandTag(const AnsiString& text) {
  AnsiString s = text;
  std::size_t pos = 0;
  while ((pos = s.find('[', pos)) != AnsiString::npos) {
    const std::size_t end = rptok::BracketGroupEnd(s, pos);
    if (end == std::string_view::npos) break;
    const AnsiString expr = s.substr(pos + 1, end - pos - 2);
    const AnsiString value = rpState().Hooks->ExpressionText(this, expr);
    s.replace(pos, end - pos, value);
    pos += value.size();
  }
  return s;
}

void TrpView::WritePreparedEntry(TStream& stream) {
  stream.WriteByte(ObjectType);
  if (ObjectType == rpotAddIn) rpStreamWriteString(stream, ClassName());
  const bool was = InPreparedPage;
  InPreparedPage = true;
  try {
    SaveToStream(stream);
  } catch (...) {
    InPreparedPage = was;
    throw;
  }
  InPreparedPage = was;
}

void TrpView::Print(TStream& stream) {
  TrpBuildState& st = rpState();
  if (Canvas) BeginDraw(*Canvas);
  else BeginDraw(rpMeasureCanvas());
  PrintText.Assign(Memo);
  st.Hooks->BeforePrint(PrintText, *this);
  st.Hooks->RunScript(this, Script);
  if (!Visible) return;
  const AnsiString tag = Tag;
  if (Tag.find('[') != AnsiString::npos) Tag = ExpandTag(Tag);
  AlignToCurrentBand();
  try {
    WritePreparedEntry(stream);
  } catch (...) {
    Tag = tag;
    throw;
  }
  Tag = tag;
}

void TrpView::ExportData() { rpState().Hooks->AddExportObject(*this, Left, Top); }

// ---------------------------------------------------------------------------------
// View record

AnsiString ReadReportString(TStream& stream) {
  return rpState().StreamVersion < 23 ? rpStreamReadStringOld(stream) : rpStreamReadString(stream);
}

void ReadReportLines(TStream& stream, TStringList& lines) {
  if (rpState().StreamVersion < 23) rpStreamReadLinesOld(stream, lines);
  else rpStreamReadLines(stream, lines);
}

void TrpView::LoadFromStream(TStream& stream) {
  const int v = rpState().StreamVersion;
  const bool tmpl = !InPreparedPage;
  if (v > 23 || (v == 23 && tmpl)) Name = ReadReportString(stream);
  else CreateUniqueName();
  if (v > 23) {
    RecordVersion = stream.ReadByte();
    RecordMinor = stream.ReadByte();
  }
  Left = stream.ReadInt32();
  Top = stream.ReadInt32();
  Width = stream.ReadInt32();
  Height = stream.ReadInt32();
  Flags = stream.ReadUInt16();
  FrameTyp = stream.ReadUInt16();
  FrameWidth = rpDecodeFrameWidth(stream.ReadInt32());
  FrameColor = stream.ReadUInt32();
  FrameStyle = stream.ReadUInt16();
  FillColor = stream.ReadUInt32();
  for (std::int32_t v : {Left, Top, Width, Height}) rpCheckRange(v, rpMaxCoord, "координаты");
  if (!(FrameWidth >= 0 && FrameWidth <= 1000)) throw ErpRecordError(Ansi("Недопустимая толщина рамки"));
  if (tmpl) {
    Format = stream.ReadInt32();
    FormatStr = ReadReportString(stream);
  }
  ReadReportLines(stream, Memo);
  if (tmpl && v > 22) {
    ReadReportLines(stream, Script);
    Visible = stream.ReadInt16() != 0;
  }
  if (v > 23) {
    Restrictions = stream.ReadUInt16();
    Tag = ReadReportString(stream);
    GapX = stream.ReadInt32();
    GapY = stream.ReadInt32();
    rpCheckRange(GapX, rpMaxCoord, "GapX");
    rpCheckRange(GapY, rpMaxCoord, "GapY");
  }
  if (RecordVersion > 1) BandAlign = stream.ReadByte();
}

void TrpView::SaveToStream(TStream& stream) {
  const bool tmpl = !InPreparedPage;
  RecordVersion = 2;
  rpStreamWriteString(stream, Name);
  stream.WriteByte(RecordVersion);
  stream.WriteByte(RecordMinor);
  stream.WriteInt32(Left);
  stream.WriteInt32(Top);
  stream.WriteInt32(Width);
  stream.WriteInt32(Height);
  stream.WriteUInt16(Flags);
  stream.WriteUInt16(FrameTyp);
  stream.WriteInt32(rpEncodeFrameWidth(FrameWidth));
  stream.WriteUInt32(FrameColor);
  stream.WriteUInt16(FrameStyle);
  stream.WriteUInt32(FillColor);
  if (tmpl) {
    stream.WriteInt32(Format);
    rpStreamWriteString(stream, FormatStr);
  }
  rpStreamWriteLines(stream, InPreparedPage ? PrintText : Memo);
  if (tmpl) {
    rpStreamWriteLines(stream, Script);
    stream.WriteInt16(Visible ? -1 : 0);
  }
  stream.WriteUInt16(Restrictions);
  rpStreamWriteString(stream, Tag);
  stream.WriteInt32(GapX);
  stream.WriteInt32(GapY);
  stream.WriteByte(BandAlign);
}

// ---------------------------------------------------------------------------------
// Unit routines

namespace {

std::map<AnsiString, TrpViewFactory>& AddInClasses() {
  static std::map<AnsiString, TrpViewFactory> classes;
  return classes;
}

}  // namespace

void rpRegisterObjectClass(const AnsiString& className, TrpViewFactory factory) {
  AddInClasses()[className] = std::move(factory);
}

void rpUnregisterObjectClass(const AnsiString& className) { AddInClasses().erase(className); }

std::unique_ptr<TrpView> CreateReportObject(int typeCode, const AnsiString& className) {
  std::unique_ptr<TrpView> v;
  switch (typeCode) {
    case rpotMemo: v = std::make_unique<TrpMemoView>(); break;
    case rpotPicture: v = std::make_unique<TrpPictureView>(); break;
    case rpotBand: v = std::make_unique<TrpBandView>(); break;
    case rpotSubReport: v = std::make_unique<TrpSubReportView>(); break;
    case rpotLine: v = std::make_unique<TrpLineView>(); break;
    case rpotAddIn: {
      const auto it = AddInClasses().find(className);
      if (it == AddInClasses().end()) {
        TrpBuildState& st = rpState();
        st.ErrorText += className + "\r";
        st.ErrorFlag = true;
        throw EClassNotFound(st.ErrorText);
      }
      v = it->second();
      v->ObjectType = rpotAddIn;
      break;
    }
    default: return nullptr;
  }
  v->ObjectId = rpState().ObjectCounter++;
  return v;
}

std::vector<TrpExportFilterInfo>& rpExportFilters() {
  static std::vector<TrpExportFilterInfo> filters;
  return filters;
}

void RegisterExportFilter(TrpExportFilterBase* filter, const AnsiString& description, const AnsiString& extension) {
  auto& list = rpExportFilters();
  for (const auto& f : list)
    if (f.Filter->ClassName() == filter->ClassName()) return;
  list.push_back({filter, description, extension});
}

void UnregisterExportFilter(TrpExportFilterBase* filter) {
  auto& list = rpExportFilters();
  // By the object: a filter being destroyed no longer answers its own class name.
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->Filter == filter) {
      list.erase(it);
      return;
    }
}

TrpPropertyTarget FindObjectForProperty(const AnsiString& fullName) {
  TrpBuildState& st = rpState();
  TrpPropertyTarget t{st.CurrentView, fullName};
  const auto dot = fullName.find('.');
  if (dot != AnsiString::npos) {
    const AnsiString objName = fullName.substr(0, dot);
    t.PropName = fullName.substr(dot + 1, 255);
    const AnsiString up = Upper(objName);
    if (up.size() > 4 && up.compare(0, 4, "PAGE") == 0 && up[4] >= '0' && up[4] <= '9') {
      int n = 0;
      for (std::size_t i = 4; i < up.size() && up[i] >= '0' && up[i] <= '9' && n < 100000; ++i) n = n * 10 + (up[i] - '0');
      // Pages are counted from 1; page 0 or one past the last names no object.
      t.Object = n >= 1 ? st.Hooks->PageAt(n - 1) : nullptr;
    } else if (TrpView* v = st.Hooks->FindObject(objName)) {
      t.Object = v;
    } else if (st.CurrentView && st.CurrentView->FindProperty(objName)) {
      t.Object = st.CurrentView;
      t.PropName = fullName;
    } else {
      t.Object = nullptr;
    }
  }
  if (t.Object && t.Object->PropList.empty()) t.Object->DefineProperties();
  return t;
}

void rpExpressionError(const AnsiString& message) {
  TrpBuildState& st = rpState();
  st.ErrorFlag = true;
  // The object's text and name as far as a message box can show them (a script may have
  // made them megabytes long).
  const auto shown = [](const AnsiString& s) { return s.size() > 200 ? s.substr(0, 200) + "..." : s; };
  AnsiString text = rpLocalString(55200);
  if (st.CurrentView) {
    const int lines = st.CurrentView->Memo.Count();
    for (int i = 0; i < std::min(lines, 10); ++i) text += "\r" + shown(st.CurrentView->Memo[i]);
    if (lines > 10) text += "\r...";
  }
  text += "\r\r" + rpLocalString(55201) + " " + st.Hooks->ReportName() + "\r";
  // Outside any view the page's own script runs: the page is the object.
  if (st.CurrentView) text += rpLocalString(55202) + " " + shown(st.CurrentView->Name) + "\r";
  else if (st.CurrentPage) text += rpLocalString(55202) + " " + shown(st.CurrentPage->Name) + "\r";
  text += "\r" + message;
  st.ErrorText = text;
  st.Terminated = true;
}
