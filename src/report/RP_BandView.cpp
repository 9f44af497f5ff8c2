#include "report/RP_BandView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/core/AnsiText.h"
#include "platform/core/ReadUpTo.h"
#include "report/RP_Lookup.h"
#include "report/RP_Page.h"
#include "report/RP_Utils.h"

namespace {

AnsiString Upper(const AnsiString& s) { return AnsiUpperCase(s); }

void SetBit(std::uint16_t& flags, std::uint16_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }

bool In(int type, std::initializer_list<int> types) { return std::find(types.begin(), types.end(), type) != types.end(); }

// The outline and diagonals of r: what a picture that cannot be played shows.
void FramedCross(TCanvas& c, const TRect& r) {
  if (r.IsEmpty()) return;
  c.Pen.Color = clBlack;
  c.Pen.Width = 1;
  c.Pen.Style = TPenStyle::psSolid;
  c.Brush.Style = TBrushStyle::bsClear;
  c.Rectangle(r);
  c.MoveTo(r.Left, r.Top);
  c.LineTo(r.Right - 1, r.Bottom - 1);
  c.MoveTo(r.Right - 1, r.Top);
  c.LineTo(r.Left, r.Bottom - 1);
  c.Brush.Style = TBrushStyle::bsSolid;
}

}  // namespace

AnsiString rpBandTypeName(int type) { return type >= 0 && type <= btNone ? rpLocalString(55077 + type) : ""; }

// ---------------------------------------------------------------------------------
// Band view

TrpBandView::TrpBandView() {
  ObjectType = rpotBand;
  BaseName = "Band";
  Format = 0;
  Flags = 0x30;
  RecordMinor = 1;
}

void TrpBandView::SetPropValue(const AnsiString& rawName, const Variant& value) {
  const AnsiString name = Upper(rawName);
  TrpView::SetPropValue(rawName, value);
  if (name == "CHILDBAND" || name == "MASTER") rpChargeScriptBytes(rpStoredTextBytes(VarToStr(value)));
  if (name == "CHILDBAND") ChildBand = VarToStr(value);
  else if (name == "MASTER") Master = VarToStr(value);
  else if (name == "FORMNEWPAGE") SetBit(Flags, flFormNewPage, value.AsBoolean());
  else if (name == "PRINTIFSUBSETEMPTY") SetBit(Flags, flPrintIfSubsetEmpty, value.AsBoolean());
  else if (name == "BREAKED") SetBit(Flags, flBreaked, value.AsBoolean());
  else if (name == "ONFIRSTPAGE") SetBit(Flags, flOnFirstPage, value.AsBoolean());
  else if (name == "ONLASTPAGE") SetBit(Flags, flOnLastPage, value.AsBoolean());
  else if (name == "REPEATHEADER") SetBit(Flags, flRepeatHeader, value.AsBoolean());
  else if (name == "PRINTCHILDIFINVISIBLE") SetBit(Flags, flPrintChildIfInvisible, value.AsBoolean());
  else if (name == "CONDITION") FormatStr = VarToStr(value);
  // While building, a new data source goes to the runtime band only.
  else if (name == "DATASOURCE" && rpState().DocMode == rpDesignMode) FormatStr = VarToStr(value);
  else if (name == "COLUMNS") Columns = value.AsInteger();
  else if (name == "COLUMNGAP") ColumnGap = value.AsInteger();
  else if (name == "COLUMNWIDTH") ColumnWidth = value.AsInteger();
  else if (name == "NEWCOLUMNAFTER") NewColumnAfter = value.AsInteger();
  if (rpState().DocMode == rpOutputMode) rpState().Hooks->SetBandProperty(*this, name, value);
}

Variant TrpBandView::GetPropValue(const AnsiString& rawName) {
  const AnsiString name = Upper(rawName);
  if (rpState().DocMode == rpOutputMode) {
    Variant v;
    if (rpState().Hooks->GetBandProperty(*this, name, v)) return v;
  }
  if (name == "CHILDBAND") return ChildBand;
  if (name == "MASTER") return Master;
  if (name == "EOF") return true;  // no runtime band with a dataset: no data
  if (name == "FORMNEWPAGE") return (Flags & flFormNewPage) != 0;
  if (name == "PRINTIFSUBSETEMPTY") return (Flags & flPrintIfSubsetEmpty) != 0;
  if (name == "BREAKED") return (Flags & flBreaked) != 0;
  if (name == "ONFIRSTPAGE") return (Flags & flOnFirstPage) != 0;
  if (name == "ONLASTPAGE") return (Flags & flOnLastPage) != 0;
  if (name == "REPEATHEADER") return (Flags & flRepeatHeader) != 0;
  if (name == "PRINTCHILDIFINVISIBLE") return (Flags & flPrintChildIfInvisible) != 0;
  if (name == "CONDITION") return FormatStr;
  if (name == "COLUMNS") return Columns;
  if (name == "COLUMNGAP") return ColumnGap;
  if (name == "NEWCOLUMNAFTER") return NewColumnAfter;
  if (name == "COLUMNWIDTH") return ColumnWidth;
  return TrpView::GetPropValue(rawName);
}

Variant TrpBandView::DoMethod(const AnsiString& method, const Variant& p1, const Variant& p2, const Variant& p3) {
  Variant result = TrpView::DoMethod(method, p1, p2, p3);
  if (method == "NEXT" || method == "PRIOR" || method == "FIRST") rpState().Hooks->BandMethod(*this, method, result);
  return result;
}

void TrpBandView::DefineProperties() {
  TrpView::DefineProperties();
  for (auto& d : PropList)
    if (d->Name == "Memo") d->Name = "OnBeforePrint";
  const int t = BandType();
  auto names = [&](std::initializer_list<int> types) {
    AnsiString list;
    if (rpState().DocMode != rpDesignMode || !rpState().CurrentPage) return list;
    for (const auto& v : rpState().CurrentPage->Objects) {
      auto* b = dynamic_cast<TrpBandView*>(v.get());
      if (b && b != this && In(b->BandType(), types)) list += b->Name + ";";
    }
    return list;
  };
  if (t != btPageFooter) {
    AddEnumProperty("ChildBand", names({btChild}), {Variant::Null()});
    AddProperty("PrintChildIfInvisible", rpkBoolean);
  }
  if (In(t, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 18, 21})) AddProperty("Stretched", rpkBoolean);
  if (In(t, {0, 1, 5, 6, 8, 9, 11, 12, 16})) AddProperty("FormNewPage", rpkBoolean);
  if (In(t, {5, 8})) AddProperty("PrintIfSubsetEmpty", rpkBoolean);
  if (In(t, {0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 21})) AddProperty("Breaked", rpkBoolean);
  if (In(t, {2, 3})) AddProperty("OnFirstPage", rpkBoolean);
  if (t == 3) AddProperty("OnLastPage", rpkBoolean);
  if (In(t, {4, 7, 10, 16, 18})) AddProperty("RepeatHeader", rpkBoolean);
  if (In(t, {5, 8, 11, 19})) AddProperty("DataSource", rpkEditor);
  if (In(t, {5, 8, 11})) {
    AddProperty("Columns", rpkInteger);
    AddProperty("ColumnWidth", rpkPixels);
    AddProperty("ColumnGap", rpkPixels);
  }
  if (t == 16) {
    AddProperty("Condition", rpkText);
    AddEnumProperty("Master", names({5, 8, 11}), {Variant::Null()});
  }
  AddProperty("EOF", 0);
}

void TrpBandView::Draw(TCanvas& canvas) {
  // Design-time only: bands are not drawn on prepared pages.
  if (rpState().DocMode != rpDesignMode) return;
  FrameWidth = 1;
  TrpPage* page = rpState().CurrentPage;
  const bool cross = BandType() >= btCrossHeader && BandType() <= btCrossFooter;
  if (page) {
    if (!cross) {
      Left = 0;
      Width = page->PageInfo.ReportWidth();
    } else {
      Top = 0;
      Height = page->PageInfo.ReportHeight();
    }
  }
  BeginDraw(canvas);
  ScaleCoords();
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = RGBColor(0xF4, 0xF4, 0xF4);
  canvas.FillRect(FrameRect);
  canvas.Brush.Color = clBtnFace;
  canvas.FrameRect(FrameRect);
  if (Columns > 1) {
    canvas.Pen.Style = TPenStyle::psDot;
    canvas.Pen.Color = clBlack;
    canvas.Pen.Width = 1;
    canvas.Brush.Style = TBrushStyle::bsClear;
    const std::int64_t step = static_cast<std::int64_t>(ColumnWidth) + ColumnGap;
    const TRect clip = canvas.ClipRect();
    for (int i = 0; i < Columns; ++i) {
      const std::int64_t x = Left + static_cast<std::int64_t>(i) * step;
      // Only the columns that the canvas shows (each one once).
      if ((step == 0 && i > 0) || (step > 0 && x > clip.Right) || (step < 0 && x + ColumnWidth < clip.Left)) break;
      canvas.Rectangle(Rect(static_cast<int>(x), Top, rpClampScaled(static_cast<double>(x) + ColumnWidth), Top + Height));
    }
    canvas.Pen.Style = TPenStyle::psSolid;
  }
  canvas.Font = TFont{};
  canvas.Font.Name = "Arial";
  canvas.Font.SetSize(8);
  canvas.Font.Color = clBlack;
  canvas.Brush.Style = TBrushStyle::bsClear;
  if (cross) {
    canvas.Font.Orientation = 900;
    canvas.TextOut(Left + 2, Top + 94, rpBandTypeName(BandType()));
    canvas.Font.Orientation = 0;
  } else {
    canvas.TextOut(Left + 4, Top + 2, rpBandTypeName(BandType()));
  }
  canvas.Brush.Style = TBrushStyle::bsSolid;
  RestoreCoords();
}

void TrpBandView::LoadFromStream(TStream& stream) {
  TrpView::LoadFromStream(stream);
  if (rpState().StreamVersion > 23) {
    ChildBand = ReadReportString(stream);
    Columns = stream.ReadInt32();
    ColumnWidth = stream.ReadInt32();
    ColumnGap = stream.ReadInt32();
    NewColumnAfter = stream.ReadInt32();
    rpCheckRange(Columns, 10000, "Columns");
    rpCheckRange(ColumnWidth, rpMaxCoord, "ColumnWidth");
    rpCheckRange(ColumnGap, rpMaxCoord, "ColumnGap");
    if (RecordVersion * 10 + RecordMinor > 20) Master = ReadReportString(stream);
  }
}

void TrpBandView::SaveToStream(TStream& stream) {
  RecordMinor = 1;
  TrpView::SaveToStream(stream);
  rpStreamWriteString(stream, ChildBand);
  stream.WriteInt32(Columns);
  stream.WriteInt32(ColumnWidth);
  stream.WriteInt32(ColumnGap);
  stream.WriteInt32(NewColumnAfter);
  rpStreamWriteString(stream, Master);
}

// ---------------------------------------------------------------------------------
// Subreport view

TrpSubReportView::TrpSubReportView() {
  ObjectType = rpotSubReport;
  BaseName = "SubReport";
}

void TrpSubReportView::Draw(TCanvas& canvas) {
  if (rpState().DocMode != rpDesignMode) return;
  FrameWidth = 1;
  BeginDraw(canvas);
  ScaleCoords();
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = clWhite;
  canvas.Pen = TPen{};
  canvas.Rectangle(Rect(Left, Top, Left + Width + 1, Top + Height + 1));
  canvas.Font = TFont{};
  canvas.Font.Name = "Arial";
  canvas.Font.SetSize(8);
  canvas.Font.Color = clBlack;
  canvas.TextRect(Rect(Left, Top, Left + Width, Top + Height), Left + 2, Top + 2, Name);
  RestoreCoords();
}

void TrpSubReportView::LoadFromStream(TStream& stream) {
  TrpView::LoadFromStream(stream);
  SubPage = stream.ReadInt32();
}

void TrpSubReportView::SaveToStream(TStream& stream) {
  TrpView::SaveToStream(stream);
  stream.WriteInt32(SubPage);
}

// ---------------------------------------------------------------------------------
// Pictures

namespace {

void PutLE(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetLE(std::string_view s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace

std::string rpEncodeBmp(const TBitmap& bmp) {
  const int w = bmp.Width(), h = bmp.Height();
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string s;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(stride * h);
  s += "BM";
  PutLE(s, 54 + dataSize, 4);
  PutLE(s, 0, 4);
  PutLE(s, 54, 4);
  PutLE(s, 40, 4);
  PutLE(s, static_cast<std::uint32_t>(w), 4);
  PutLE(s, static_cast<std::uint32_t>(h), 4);
  PutLE(s, 1, 2);
  PutLE(s, 24, 2);
  PutLE(s, 0, 4);
  PutLE(s, dataSize, 4);
  PutLE(s, 3780, 4);
  PutLE(s, 3780, 4);
  PutLE(s, 0, 4);
  PutLE(s, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const TColor c = bmp.Pixel(x, y);
      s.push_back(static_cast<char>(GetBValue(c)));
      s.push_back(static_cast<char>(GetGValue(c)));
      s.push_back(static_cast<char>(GetRValue(c)));
    }
    s.append(static_cast<std::size_t>(stride - w * 3), '\0');
  }
  return s;
}

TBitmap rpDecodeBmp(std::string_view s) {
  if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') return {};
  const std::uint32_t offset = GetLE(s, 10, 4);
  const std::uint32_t header = GetLE(s, 14, 4);
  if (header < 40) return {};
  const std::int32_t w = static_cast<std::int32_t>(GetLE(s, 18, 4));
  std::int32_t h = static_cast<std::int32_t>(GetLE(s, 22, 4));
  const std::uint32_t bpp = GetLE(s, 28, 2);
  const std::uint32_t compression = GetLE(s, 30, 4);
  const bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 20000 || h > 20000 || compression != 0) return {};
  if (bpp != 8 && bpp != 24 && bpp != 32) return {};
  const std::uint64_t stride = (static_cast<std::uint64_t>(w) * bpp / 8 + 3) / 4 * 4;
  if (offset > s.size() || stride * static_cast<std::uint64_t>(h) > s.size() - offset) return {};
  std::uint32_t colors = 0;
  if (bpp == 8) {
    colors = GetLE(s, 46, 4);
    if (colors == 0 || colors > 256) colors = 256;
    if (14ull + header + colors * 4ull > offset) return {};
  }
  TBitmap bmp(w, h);
  for (int row = 0; row < h; ++row) {
    const std::size_t line = offset + static_cast<std::size_t>(stride) * static_cast<std::size_t>(row);
    const int y = topDown ? row : h - 1 - row;
    for (int x = 0; x < w; ++x) {
      TColor c;
      if (bpp == 8) {
        const unsigned idx = static_cast<unsigned char>(s[line + static_cast<std::size_t>(x)]);
        if (idx >= colors) {
          c = clBlack;
        } else {
          const std::size_t p = 14 + header + idx * 4;
          c = RGBColor(static_cast<unsigned char>(s[p + 2]), static_cast<unsigned char>(s[p + 1]),
                       static_cast<unsigned char>(s[p]));
        }
      } else {
        const std::size_t p = line + static_cast<std::size_t>(x) * (bpp / 8);
        c = RGBColor(static_cast<unsigned char>(s[p + 2]), static_cast<unsigned char>(s[p + 1]),
                     static_cast<unsigned char>(s[p]));
      }
      bmp.SetPixel(x, y, c);
    }
  }
  return bmp;
}

namespace {

struct ImageDecoder {
  TrpImageDecoder decode;
  bool complete = false;
  int generation = 0;
};

ImageDecoder& Decoder() {
  static ImageDecoder decoder;
  return decoder;
}

}  // namespace

void rpSetImageDecoder(TrpImageDecoder decoder, bool complete) {
  ImageDecoder& d = Decoder();
  d.decode = std::move(decoder);
  d.complete = complete && d.decode;
  ++d.generation;
}

TBitmap rpDecodeImage(std::uint8_t kind, std::string_view bytes) {
  if (kind != rpikBitmap && kind != rpikIcon) return {};
  if (const ImageDecoder& d = Decoder(); d.decode) return d.decode(kind, bytes);
  return kind == rpikBitmap ? rpDecodeBmp(bytes) : TBitmap{};
}

std::uint8_t rpImageKind(std::string_view s) {
  const auto u16 = [&](std::size_t at) { return s.size() >= at + 2 ? GetLE(s, at, 2) : 0xFFFFFFFFu; };
  const auto u32 = [&](std::size_t at) { return s.size() >= at + 4 ? GetLE(s, at, 4) : 0xFFFFFFFFu; };
  // A bitmap file: "BM", a header of a known size, a size and depth a bitmap can have.
  if (s.size() >= 26 && s[0] == 'B' && s[1] == 'M') {
    const std::uint32_t header = u32(14);
    const std::uint32_t depth = header == 12 ? u16(24) : u16(28);
    const bool known = header == 12 || header == 40 || header == 52 || header == 56 || header == 64 ||
                       header == 108 || header == 124;
    if (known && (depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32)) return rpikBitmap;
    return rpikNone;
  }
  // An icon file: reserved 0, type 1, at least one entry, the directory inside the file.
  if (u16(0) == 0 && u16(2) == 1 && u16(4) >= 1 && s.size() >= 6 + 16 * static_cast<std::size_t>(u16(4)))
    return rpikIcon;
  // A placeable metafile (its key), an enhanced one (record 1 with " EMF" at 40) or a
  // plain one (memory or disk file, a header of 9 words, version 0x100 or 0x300).
  if (u32(0) == 0x9AC6CDD7u) return rpikMetafile;
  if (u32(0) == 1 && u32(40) == 0x464D4520u) return rpikMetafile;
  if ((u16(0) == 1 || u16(0) == 2) && u16(2) == 9 && (u16(4) == 0x100 || u16(4) == 0x300)) return rpikMetafile;
  return rpikNone;
}

void TrpPicture::Assign(std::uint8_t kind, std::string bytes) {
  Kind = kind;
  Bytes = std::move(bytes);
  decodedBy_ = -1;
  Decoded();
}

const TBitmap& TrpPicture::Decoded() const {
  if (decodedBy_ != Decoder().generation) {
    Image = rpDecodeImage(Kind, Bytes);
    decodedBy_ = Decoder().generation;
  }
  return Image;
}

TrpPictureView::TrpPictureView() {
  ObjectType = rpotPicture;
  BaseName = "Picture";
  Flags = 5;
  // Scripts name the kinds of images in blob fields once a picture exists.
  static const bool defined = [] {
    const std::pair<const char*, int> kinds[] = {{"btBMP", btBMP}, {"btJPG", btJPG}, {"btICO", btICO}, {"btWMF", btWMF}};
    for (const auto& [name, value] : kinds) rpDefineNamedConstant(name, Variant(value));
    return true;
  }();
  (void)defined;
}

void TrpPictureView::SetPropValue(const AnsiString& rawName, const Variant& value) {
  const AnsiString name = Upper(rawName);
  if (name == "CENTER") SetBit(Flags, flCenter, value.AsBoolean());
  else if (name == "KEEPASPECT") SetBit(Flags, flKeepAspect, value.AsBoolean());
  else if (name == "BLOBTYPE") BlobType = static_cast<std::uint8_t>(value.AsInteger());
  else TrpView::SetPropValue(rawName, value);
}

Variant TrpPictureView::GetPropValue(const AnsiString& rawName) {
  const AnsiString name = Upper(rawName);
  if (name == "CENTER") return (Flags & flCenter) != 0;
  if (name == "KEEPASPECT") return (Flags & flKeepAspect) != 0;
  if (name == "BLOBTYPE") return static_cast<std::int32_t>(BlobType);
  return TrpView::GetPropValue(rawName);
}

Variant TrpPictureView::DoMethod(const AnsiString& method, const Variant& p1, const Variant& p2, const Variant& p3) {
  if (method == "LOADFROMFILE") {
    LoadFromFile(VarToStr(rpState().Hooks->EvaluateExpression(VarToStr(p1))));
    return Variant::Null();
  }
  return TrpView::DoMethod(method, p1, p2, p3);
}

void TrpPictureView::DefineProperties() {
  TrpView::DefineProperties();
  AddProperty("Picture", rpkEditor);
  for (const char* n : {"Stretched", "Center", "KeepAspect"}) AddProperty(n, rpkBoolean);
  AddProperty("DataField", rpkNamed | rpkEditor | rpkText);
  AddEnumProperty("BlobType", "btBMP;btJPG;btICO;btWMF", {0, 1, 2, 3});
}

void TrpPictureView::GetBlob(const Variant& field) {
  if (field.IsNull() || field.IsEmpty()) {
    Picture.Clear();
    return;
  }
  switch (BlobType) {
    case btJPG: Picture.Clear(); return;
    case btICO: Picture.Assign(rpikIcon, VarToStr(field)); return;
    case btWMF: Picture.Assign(rpikMetafile, VarToStr(field)); return;
    default: Picture.Assign(rpikBitmap, VarToStr(field)); return;
  }
}

void TrpPictureView::LoadFromFile(const AnsiString& fileName) {
  const auto refuse = [&](const char* why) {
    throw ErpViewError(Ansi("Рисунок не загружен из файла \"") + fileName + "\": " + Ansi(why));
  };
  std::string bytes;
  try {
    TFileStream file(fileName, fmOpenRead);  // regular files only
    if (file.Size() > rpMaxPictureFile || !ReadStreamUpTo(file, rpMaxPictureFile, bytes))
      refuse("файл больше 32 МБ.");
  } catch (const EFOpenError&) {
    refuse("файл не открывается (его нет, или это не обычный файл).");
  } catch (const EReadError&) {
    refuse("файл не читается.");
  }
  const std::uint8_t kind = rpImageKind(bytes);
  if (kind == rpikNone) refuse("в нём нет рисунка BMP, ICO, WMF или EMF.");
  if (kind == rpikBitmap) {
    // The size the header claims (a few bytes of run-length codes can claim any).
    const bool core = GetLE(bytes, 14, 4) == 12;
    const std::int64_t w = core ? GetLE(bytes, 18, 2) : std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(GetLE(bytes, 18, 4))));
    const std::int64_t h = core ? GetLE(bytes, 20, 2) : std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(GetLE(bytes, 22, 4))));
    if (w * h > rpMaxPicturePixels) refuse("рисунок в нём больше 32 миллионов точек.");
  }
  if (kind != rpikMetafile && Decoder().complete && rpDecodeImage(kind, bytes).Empty())
    refuse("рисунок в нём повреждён.");
  Picture.Assign(kind, std::move(bytes));
}

void TrpPictureView::Draw(TCanvas& canvas) {
  BeginDraw(canvas);
  ScaleCoords();
  DrawBackground();
  if (!Picture.Empty()) {
    TRect r = FrameRect;
    const TBitmap& image = Picture.Decoded();
    const int iw = image.Width(), ih = image.Height();
    if (image.Empty() || iw <= 0 || ih <= 0) {
      FramedCross(canvas, r);
    } else {
      if (Flags & flStretched) {
        if (Flags & flKeepAspect) {
          const double kx = static_cast<double>(Width) / iw, ky = static_cast<double>(Height) / ih;
          if (kx >= ky) r.Right = rpClampScaled(r.Left + std::nearbyint(iw * ky));
          else r.Bottom = rpClampScaled(r.Top + std::nearbyint(ih * kx));
          if (Flags & flCenter) {
            const int dx = (FrameRect.Width() - r.Width()) / 2, dy = (FrameRect.Height() - r.Height()) / 2;
            r = OffsetRect(r, dx, dy);
          }
        }
      } else {
        const int w = rpClampScaled(iw * ScaleX), h = rpClampScaled(ih * ScaleY);
        if (Flags & flCenter) r = OffsetRect(r, (FrameRect.Width() - w) / 2, (FrameRect.Height() - h) / 2);
        r.Right = r.Left + w;
        r.Bottom = r.Top + h;
      }
      canvas.StretchDraw(r, image);
    }
  }
  DrawFrame();
  RestoreCoords();
}

void TrpPictureView::LoadFromStream(TStream& stream) {
  TrpView::LoadFromStream(stream);
  const std::uint8_t kind = stream.ReadByte();
  const std::uint8_t blob = stream.ReadByte();
  if (RecordVersion * 10 + RecordMinor > 10) BlobType = blob;
  const std::int64_t end = stream.ReadInt32();
  const std::int64_t here = stream.Position();
  if (end < here || end > stream.Size()) throw ErpRecordError(Ansi("Повреждена запись рисунка ") + Name);
  if (kind > rpikIcon) throw ErpRecordError(Ansi("Неизвестный вид рисунка ") + Name);
  std::string bytes = stream.ReadString(end - here);
  if (kind == rpikNone) Picture.Clear();
  else Picture.Assign(kind, std::move(bytes));
  stream.SetPosition(end);
}

void TrpPictureView::SaveToStream(TStream& stream) {
  TrpView::SaveToStream(stream);
  stream.WriteByte(Picture.Kind);
  stream.WriteByte(BlobType);
  const std::int64_t placeholder = stream.Position();
  stream.WriteInt32(0);
  if (!Picture.Empty()) stream.WriteString(Picture.Bytes);
  const std::int64_t end = stream.Position();
  stream.SetPosition(placeholder);
  stream.WriteInt32(static_cast<std::int32_t>(end));
  stream.Seek(0, TSeekOrigin::soEnd);
}

// ---------------------------------------------------------------------------------
// Line

TrpLineView::TrpLineView() {
  ObjectType = rpotLine;
  BaseName = "Line";
  FrameTyp = rpftLeft;
}

void TrpLineView::DefineProperties() {
  TrpView::DefineProperties();
  AddProperty("Stretched", rpkBoolean);
}

void TrpLineView::Draw(TCanvas& canvas) {
  BeginDraw(canvas);
  if (Height < Width) {
    Height = 0;
    FrameTyp = rpftTop;
  } else {
    Width = 0;
    FrameTyp = rpftLeft;
  }
  ScaleCoords();
  DrawFrame();
  RestoreCoords();
}

void TrpLineView::Print(TStream& stream) {
  TrpView::Print(stream);
  if (DrawMode == 2) RemainingHeight -= Height;
}

TRect TrpLineView::GetClipRgn(bool extended) {
  const double fw = FrameWidth;
  int d, e;
  if (FrameStyle == rpfsDouble) {
    d = static_cast<int>(std::trunc(fw * 1.5));
    e = static_cast<int>(std::trunc(std::trunc((fw - 1) / 2) + fw));
  } else {
    d = static_cast<int>(std::trunc(fw * 0.5));
    e = static_cast<int>(std::trunc((fw - 1) / 2));
  }
  TRect r = FrameTyp == rpftLeft ? Rect(Left - d, Top, Left + Width + 1 + e, Top + Height + 1)
                                 : Rect(Left, Top - d, Left + Width + 1, Top + Height + 1 + e);
  return extended ? InflateRect(r, 10, 10) : r;
}

int TrpLineView::CalcHeight() {
  RemainingHeight = Height;
  return Height;
}

// ---------------------------------------------------------------------------------
// Controls

TrpControl::TrpControl() {
  FillColor = clBtnFace;
  FrameTyp = 0;
}

void TrpControl::SetPropValue(const AnsiString& name, const Variant& value) { TrpView::SetPropValue(name, value); }

void TrpControl::DefineProperties() {
  PropList.clear();
  AddProperty("Name", rpkNamed | rpkText);
  for (const char* n : {"Left", "Top", "Width", "Height"}) AddProperty(n, rpkPixels);
  AddProperty("Visible", rpkBoolean);
  AddProperty("Restrictions", rpkEditor);
}

void TrpControl::Draw(TCanvas& canvas) {
  BeginDraw(canvas);
  ScaleCoords();
  PaintToDC(canvas);
  RestoreCoords();
}

void TrpControl::PaintToDC(TCanvas& canvas) {
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = clBtnFace;
  canvas.FillRect(Rect(Left, Top, Left + Width + 1, Top + Height + 1));
}

TrpNonVisualControl::TrpNonVisualControl() {
  Width = 28;
  Height = 28;
}

void TrpNonVisualControl::DefineProperties() {
  PropList.clear();
  AddProperty("Name", rpkNamed | rpkText);
  AddProperty("Restrictions", rpkEditor);
}

void TrpNonVisualControl::Draw(TCanvas& canvas) {
  Width = 28;
  Height = 28;
  BeginDraw(canvas);
  ScaleCoords();
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.Brush.Color = clBtnFace;
  canvas.FillRect(FrameRect);
  DrawBackground();
  canvas.Brush.Color = clBtnShadow;
  canvas.FrameRect(FrameRect);
  RestoreCoords();
}
