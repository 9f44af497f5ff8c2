// Report view objects: the root object with its property list, the view base with its
// geometry, frame and fill, its output scaling, drawing, printing into a prepared page
// and its view record, and the unit routines that create views by type code, register
// add-in classes, export filters and function libraries, and resolve
// "object.property" names for scripts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/Canvas.h"
#include "platform/core/Classes.h"
#include "platform/core/Variant.h"
#include "report/RP_DBSet.h"
#include "report/RP_State.h"

// Raised by a view record that cannot be read (a damaged template or prepared page).
TW_DECLARE_EXCEPTION(ErpRecordError, Exception)
// EClassNotFound (an add-in view class that is not registered) comes from RP_DBSet.h.
// Raised by script access out of range (string-list methods).
TW_DECLARE_EXCEPTION(ErpViewError, Exception)

// Kind bits of a property descriptor.
enum : std::uint16_t {
  rpkText = 1, rpkInteger = 2, rpkReal = 4, rpkBoolean = 8, rpkColor = 16, rpkEnum = 32,
  rpkEditor = 64, rpkPixels = 128, rpkNamed = 256,
};

struct TrpPropDesc {
  AnsiString Name;  // at most 32 characters
  std::uint16_t Kind = 0;
  TStringList EnumNames;
  std::vector<Variant> EnumValues;  // empty: the names are the values
  std::function<void()> Editor;
};

class TrpObject : public TObject {
 public:
  std::vector<std::unique_ptr<TrpPropDesc>> PropList;

  virtual void SetPropValue(const AnsiString& name, const Variant& value);
  virtual Variant GetPropValue(const AnsiString& name);
  virtual Variant DoMethod(const AnsiString& methodName, const Variant& par1, const Variant& par2,
                           const Variant& par3);
  virtual void DefineProperties();

  // Adds a descriptor (name cut to 32 characters).
  TrpPropDesc& AddProperty(const AnsiString& name, std::uint16_t kind);
  // An enumeration: kind 32; names from a ";"-separated text; values as given.
  TrpPropDesc& AddEnumProperty(const AnsiString& name, const AnsiString& names, std::vector<Variant> values);
  void ClearPropList() { PropList.clear(); }
  // Builds the list when empty; the descriptor of that name (caseless) or none.
  const TrpPropDesc* FindProperty(const AnsiString& name);
};

// Object types.
constexpr std::uint8_t rpotMemo = 0, rpotPicture = 1, rpotBand = 2, rpotSubReport = 3, rpotLine = 4,
                       rpotAddIn = 10;
// Frame sides.
constexpr std::uint16_t rpftRight = 1, rpftBottom = 2, rpftLeft = 4, rpftTop = 8;
constexpr std::uint16_t rpftAll = 15;
// Frame styles.
enum : std::uint16_t { rpfsSolid, rpfsDash, rpfsDot, rpfsDashDot, rpfsDashDotDot, rpfsDouble };
// Band alignment.
enum : std::uint8_t { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baTop };
constexpr std::uint16_t flStretched = 1;
// While a report is built the view is told of every memo that prints (PrintNotify).
constexpr std::uint16_t flNotifyPrint = 0x8000;
constexpr TColor rpNoColor = 0x1FFFFFFF;

class TrpView : public TrpObject {
 public:
  TrpView();
  ~TrpView() override;

  TrpBand* Parent = nullptr;
  AnsiString BaseName = "View";
  TCanvas* Canvas = nullptr;
  TRect FrameRect;
  TStringList PrintText;
  bool InPreparedPage = false;
  AnsiString Name;
  std::uint8_t ObjectType = rpotAddIn;
  std::uint8_t RecordVersion = 0, RecordMinor = 0;
  std::uint32_t ObjectId = 0;
  double ScaleX = 1.0, ScaleY = 1.0;
  std::int32_t OffsetX = 0, OffsetY = 0;
  bool Printing = false;
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint16_t Flags = 1;
  std::uint16_t FrameTyp = 0;
  float FrameWidth = 1.0f;
  TColor FrameColor = 0;
  std::uint16_t FrameStyle = rpfsSolid;
  TColor FillColor = rpNoColor;
  std::int32_t Format = 512 + '.';
  AnsiString FormatStr;
  bool Visible = true;
  std::int32_t GapX = 2, GapY = 1;
  std::uint16_t Restrictions = 0;
  AnsiString Tag;
  TStringList Memo;
  TStringList Script;
  std::uint8_t BandAlign = baNone;

  // The class name of an add-in view (type 10), written before its record.
  virtual AnsiString ClassName() const { return "TrpView"; }

  void SetPropValue(const AnsiString& name, const Variant& value) override;
  Variant GetPropValue(const AnsiString& name) override;
  Variant DoMethod(const AnsiString& methodName, const Variant& par1, const Variant& par2,
                   const Variant& par3) override;
  void DefineProperties() override;
  virtual void DrawBackground();
  virtual void DrawFrame();
  virtual void GetBlob(const Variant& field);
  // A memo has printed (views with flNotifyPrint are told, add-in views may act on it).
  virtual void PrintNotify(TrpView& /*printed*/) {}
  virtual void AfterLoad() {}
  virtual void ScaleCoords();
  virtual void RestoreCoords();
  virtual void Draw(TCanvas& canvas) = 0;
  virtual void Print(TStream& stream);
  virtual void ExportData();
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  virtual TRect GetClipRgn(bool extended);
  virtual void ShowEditor() {}

  void BeginDraw(TCanvas& canvas);
  void SetBounds(int left, int top, int width, int height);
  void CreateUniqueName();
  AnsiString ExpandTag(const AnsiString& text);
  // The type byte (and class name) followed by the view record in its prepared form,
  // as a prepared page holds it.
  void WritePreparedEntry(TStream& stream);

  // The saved design coordinates (ScaleCoords .. RestoreCoords).
  struct TSavedCoords {
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0, GapX = 0, GapY = 0;
    float FrameWidth = 1.0f;
  };
  const TSavedCoords& Saved() const { return saved_; }

 protected:
  // Applies the string-list methods (ADD, CLEAR, DELETE, INDEXOF and the indexed
  // property calls) to `list` under the list name; false when the method is not one.
  bool DoListMethod(TStringList& list, const AnsiString& listName, const AnsiString& method, const Variant& p1,
                    const Variant& p2, const Variant& p3, Variant& result);
  // Left and right x of the current page's printable area (design: the whole page).
  void PageEdges(int& leftX, int& rightX) const;
  // Band alignment against the current runtime band while printing (5 bottom, 6 top,
  // 4 width on a cross band).
  void AlignToCurrentBand();

  TSavedCoords saved_;
};

class TrpStretcheable : public TrpView {
 public:
  // Height already printed while a band is split over pages.
  std::int32_t ActualHeight = 0;
  // 0 print all; 1 expanded and wrapped by CalcHeight; 2 print the part that fits.
  std::uint8_t DrawMode = 0;

  virtual int CalcHeight() = 0;
  virtual int MinHeight() = 0;
  virtual int RemainHeight() = 0;
};

// FrameWidth as stored in a view record: whole widths up to 10 as they are, others
// (fractional, or above 10, which a reader would take for thousandths) x 1000.
std::int32_t rpEncodeFrameWidth(float width);
float rpDecodeFrameWidth(std::int32_t stored);

// Rounding of the report engine: to the nearest integer, halves to even, saturated
// at the int32 range (NaN gives 0).
std::int32_t rpRound(double v);
// Output coordinates are kept within +-2^28 pixels (far beyond any page), so that the
// sums the drawing makes of them cannot overflow whatever the scale.
constexpr std::int32_t rpMaxScaled = 1 << 28;
std::int32_t rpClampScaled(double v);
// The largest position, size or gap (in report pixels) a view record may hold; a record
// with more is damaged.
constexpr std::int32_t rpMaxCoord = 100000;
// A position or size a script sets, kept within +-rpMaxCoord, so that the sums page
// forming makes of positions and heights cannot overflow.
std::int32_t rpClampCoord(std::int64_t v);
// The bytes a text stored in an object holds (its lines, each kept on its own), as
// rpChargeScriptBytes counts them.
std::int64_t rpStoredTextBytes(std::string_view text);
// Raises ErpRecordError unless |v| <= limit.
void rpCheckRange(std::int64_t v, std::int64_t limit, const char* what);

// Creates a view by type code: 0 memo, 1 picture, 2 band, 3 subreport, 4 line, 10 the
// registered add-in class of that exact name (EClassNotFound when there is none, with
// the name and a CR appended to the build's error text); other codes give none.
std::unique_ptr<TrpView> CreateReportObject(int typeCode, const AnsiString& className);
using TrpViewFactory = std::function<std::unique_ptr<TrpView>()>;
void rpRegisterObjectClass(const AnsiString& className, TrpViewFactory factory);
void rpUnregisterObjectClass(const AnsiString& className);

// Export filters and function libraries, by class name, without duplicates.
class TrpExportFilterBase : public TObject {
 public:
  virtual AnsiString ClassName() const = 0;
};
struct TrpExportFilterInfo {
  TrpExportFilterBase* Filter;
  AnsiString Description, Extension;
};
void RegisterExportFilter(TrpExportFilterBase* filter, const AnsiString& description, const AnsiString& extension);
void UnregisterExportFilter(TrpExportFilterBase* filter);
std::vector<TrpExportFilterInfo>& rpExportFilters();

// Function libraries are registered in RP_Funcs.h.

// The version-aware string forms: before version 23 the zero-terminated ones.
AnsiString ReadReportString(TStream& stream);
void ReadReportLines(TStream& stream, TStringList& lines);

// "object.property" (or "PAGEn.property", or a property of the current view) -> the
// object and the property name; no object when the name cannot be resolved.
struct TrpPropertyTarget {
  TrpObject* Object = nullptr;
  AnsiString PropName;
};
TrpPropertyTarget FindObjectForProperty(const AnsiString& fullName);

// The expression error routine: sets ErrorFlag and the master report's stop mark and
// composes ErrorText from the current view and the message.
void rpExpressionError(const AnsiString& message);

// The 1-pixel-per-stored-unit reading of a 0x1FFFFFFF-aware colour for drawing.
inline bool rpHasColor(TColor c) { return c != rpNoColor; }
