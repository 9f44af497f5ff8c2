// The band view (a strip of the template page with its band type, data source,
// columns, group condition and child band), the subreport placeholder, the picture,
// the line, and the wrappers of dialog-page controls.
#pragma once

#include <functional>

#include "report/RP_Views.h"

// Band view flags.
constexpr std::uint16_t flFormNewPage = 2, flPrintIfSubsetEmpty = 4, flBreaked = 8, flOnFirstPage = 16,
                        flOnLastPage = 32, flRepeatHeader = 64, flPrintChildIfInvisible = 128;
// Band types.
enum : int {
  btReportTitle, btReportSummary, btPageHeader, btPageFooter, btMasterHeader, btMasterData, btMasterFooter,
  btDetailHeader, btDetailData, btDetailFooter, btSubDetailHeader, btSubDetailData, btSubDetailFooter,
  btOverlay, btColumnHeader, btColumnFooter, btGroupHeader, btGroupFooter, btCrossHeader, btCrossData,
  btCrossFooter, btChild, btNone
};
// The name of a band type (string table), "" out of range.
AnsiString rpBandTypeName(int type);

class TrpBandView : public TrpView {
 public:
  TrpBandView();
  AnsiString ChildBand;
  AnsiString Master;
  std::int32_t Columns = 1;
  std::int32_t ColumnWidth = 200;
  std::int32_t ColumnGap = 20;
  std::int32_t NewColumnAfter = 1;

  int BandType() const { return FrameTyp; }
  void SetBandType(int type) { FrameTyp = static_cast<std::uint16_t>(type); }

  void SetPropValue(const AnsiString& name, const Variant& value) override;
  Variant GetPropValue(const AnsiString& name) override;
  Variant DoMethod(const AnsiString& methodName, const Variant& par1, const Variant& par2,
                   const Variant& par3) override;
  void DefineProperties() override;
  void Draw(TCanvas& canvas) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

class TrpSubReportView : public TrpView {
 public:
  TrpSubReportView();
  std::int32_t SubPage = 0;
  void Draw(TCanvas& canvas) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

// Image kinds of a picture record.
enum : std::uint8_t { rpikNone = 0, rpikBitmap = 1, rpikMetafile = 2, rpikIcon = 3 };
// Blob types.
enum : std::uint8_t { btBMP = 0, btJPG = 1, btICO = 2, btWMF = 3 };
constexpr std::uint16_t flCenter = 2, flKeepAspect = 4;

// A picture's image: its kind and its bytes in the image's own file format, kept as
// they are so that a template round-trips; bitmaps and icons are decoded for drawing
// (again when another decoder has been installed since). Metafiles cannot be played
// here and, like bytes no decoder reads, draw as a framed cross.
struct TrpPicture {
  std::uint8_t Kind = rpikNone;
  std::string Bytes;
  mutable TBitmap Image;  // the decoded image, empty when not decodable

  bool Empty() const { return Kind == rpikNone; }
  void Clear() { *this = TrpPicture{}; }
  // Sets the kind and bytes and decodes them.
  void Assign(std::uint8_t kind, std::string bytes);
  // The decoded image, decoded again when the decoder changed.
  const TBitmap& Decoded() const;
  int ImageWidth() const { return Decoded().Width(); }
  int ImageHeight() const { return Decoded().Height(); }

 private:
  mutable int decodedBy_ = -1;
};

// A Windows bitmap file (24 bits per pixel, bottom-up) of the bitmap, and the reader
// of uncompressed 8-, 24- and 32-bit bitmap files (empty for anything else).
std::string rpEncodeBmp(const TBitmap& bitmap);
TBitmap rpDecodeBmp(std::string_view bytes);

// Decodes the bytes of a bitmap or an icon; empty when it cannot. The report's Qt layer
// installs Qt's image readers (every bitmap depth and compression, icons, `complete`);
// until then the engine reads the uncompressed bitmaps of rpDecodeBmp itself.
using TrpImageDecoder = std::function<TBitmap(std::uint8_t kind, std::string_view bytes)>;
void rpSetImageDecoder(TrpImageDecoder decoder, bool complete);
TBitmap rpDecodeImage(std::uint8_t kind, std::string_view bytes);
// The kind of image the bytes hold, judged from their content (a bitmap or icon file, a
// placeable, plain or enhanced metafile); rpikNone for anything else.
std::uint8_t rpImageKind(std::string_view bytes);
// The largest picture file LOADFROMFILE takes.
constexpr std::int64_t rpMaxPictureFile = 32 * 1024 * 1024;
// The most pixels a decoded picture may have (128 MB in 32 bits, a page at 600 dots per
// inch): a larger one is not decoded.
constexpr std::int64_t rpMaxPicturePixels = 32 * 1024 * 1024;

class TrpPictureView : public TrpView {
 public:
  TrpPictureView();
  TrpPicture Picture;
  std::uint8_t BlobType = btBMP;

  void SetPropValue(const AnsiString& name, const Variant& value) override;
  Variant GetPropValue(const AnsiString& name) override;
  Variant DoMethod(const AnsiString& methodName, const Variant& par1, const Variant& par2,
                   const Variant& par3) override;
  void DefineProperties() override;
  void GetBlob(const Variant& field) override;
  void Draw(TCanvas& canvas) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Loads a bitmap, icon or metafile from a regular file of at most rpMaxPictureFile
  // bytes, its kind judged from its content; anything else (no such file, too large, no
  // picture of those kinds, a picture that cannot be read) raises ErpViewError with
  // the reason in Russian, the picture unchanged.
  void LoadFromFile(const AnsiString& fileName);
};

class TrpLineView : public TrpStretcheable {
 public:
  TrpLineView();
  std::int32_t RemainingHeight = 0;
  void DefineProperties() override;
  void Draw(TCanvas& canvas) override;
  void Print(TStream& stream) override;
  TRect GetClipRgn(bool extended) override;
  int CalcHeight() override;
  int MinHeight() override { return 1; }
  int RemainHeight() override { return RemainingHeight; }
};

// Dialog-page control wrappers. No add-in control class is registered in this
// program; they are kept as the shells that such a class derives from.
class TrpControl : public TrpView {
 public:
  TrpControl();
  void SetPropValue(const AnsiString& name, const Variant& value) override;
  void DefineProperties() override;
  void Draw(TCanvas& canvas) override;
  virtual void PaintToDC(TCanvas& canvas);
};

class TrpNonVisualControl : public TrpControl {
 public:
  TrpNonVisualControl();
  void DefineProperties() override;
  void Draw(TCanvas& canvas) override;
  void PaintToDC(TCanvas&) override {}
};
