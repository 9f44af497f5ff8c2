// The band view (a strip of the template page with its band type, data source,
// columns, group condition and child band), the subreport placeholder, the picture,
// the line, and the wrappers of dialog-page controls.
#pragma once

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
// they are so that a template round-trips; bitmaps are decoded for drawing. Kinds
// that cannot be played here (metafiles, icons, undecodable bitmaps) draw as a framed
// cross.
struct TrpPicture {
  std::uint8_t Kind = rpikNone;
  std::string Bytes;
  TBitmap Image;  // the decoded bitmap, empty when not decodable

  bool Empty() const { return Kind == rpikNone; }
  void Clear() { *this = TrpPicture{}; }
  // Sets the kind and bytes and decodes a bitmap.
  void Assign(std::uint8_t kind, std::string bytes);
  int ImageWidth() const { return Image.Width(); }
  int ImageHeight() const { return Image.Height(); }
};

// A Windows bitmap file (24 bits per pixel, bottom-up) of the bitmap, and the reader
// of uncompressed 8-, 24- and 32-bit bitmap files (empty for anything else).
std::string rpEncodeBmp(const TBitmap& bitmap);
TBitmap rpDecodeBmp(std::string_view bytes);

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
  // Loads a bitmap file; false (and the picture unchanged) when it cannot be read.
  bool LoadFromFile(const AnsiString& fileName);
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
