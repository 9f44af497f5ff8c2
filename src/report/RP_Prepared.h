// Prepared pages: for each output page its paper and a stream of the views printed on
// it (their view records in prepared form, text already expanded), drawn again onto
// any canvas (preview at any zoom, printer, PDF), hit-tested, handed to export
// filters, and stored as prepared-report files (".rpp").
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "report/RP_Page.h"

constexpr int rpPreparedVersion = 24;

class TrpCompressor : public TObject {
 public:
  bool Enabled = false;
  virtual void Compress(TStream&, TStream&) {}
  virtual void DeCompress(TStream&, TStream&) {}
};
TrpCompressor& rpCompressor();

struct TrpPreparedPage {
  TRect PreviewRect;
  int PaperSize = 0;
  int Width = 0, Height = 0;
  int Orientation = 0;
  int Bin = -1;
  bool UseMargins = false;
  int LeftMargin = 0, TopMargin = 0, RightMargin = 0, BottomMargin = 0;
  TrpPageInfo PageInfo;
  bool Visible = false;
  std::unique_ptr<TMemoryStream> Stream;
  std::unique_ptr<TrpPage> Page;  // the rebuilt page
  // The rebuilt page met an object of a class nobody registered: the missing-class
  // error's text (its views up to that object were rebuilt).
  AnsiString MissingClasses;
};

using TrpObjectClickEvent = std::function<void(TrpView& view)>;
using TrpMouseOverObjectEvent = std::function<void(TrpView& view, int& cursor)>;

// Raised for a prepared-report file that cannot be read; the list stays as it was.
TW_DECLARE_EXCEPTION(ErpPreparedError, Exception)

// What the pages a build makes may hold together by default: far above any report's
// pages, far below the machine's memory.
constexpr std::int64_t rpMaxBuiltPagesBytes = std::int64_t{256} << 20;

class TrpEMFPages : public TObject {
 public:
  TrpReport* Parent = nullptr;
  std::vector<std::unique_ptr<TrpPreparedPage>> Pages;
  // The pages that Insert and Add make hold at most this many bytes together: a build
  // that would print more (a big picture shown again and again) stops with
  // ErpPreparedError.
  std::int64_t MaxBuiltBytes = rpMaxBuiltPagesBytes;
  // Fired by Add (the report's OnBeginPage), HitTest (OnObjectClick, OnMouseOverObject).
  std::function<void(int pageNumber)> OnBeginPage;
  TrpObjectClickEvent OnObjectClick;
  TrpMouseOverObjectEvent OnMouseOverObject;

  int GetCount() const { return static_cast<int>(Pages.size()); }
  TrpPreparedPage* GetPages(int index) const {
    return index >= 0 && index < GetCount() ? Pages[static_cast<std::size_t>(index)].get() : nullptr;
  }
  void Clear() { Pages.clear(); }
  bool Insert(int index, const TrpPage& page);
  void Add(const TrpPage& page);
  void Delete(int index);

  // Draws page `index` scaled into `target` on the canvas (the objects outside the
  // canvas' clip are skipped unless printing).
  // A page with objects of unregistered classes raises the missing-class error
  // (EClassNotFound) from ObjectsToPage, from ExportData, and from Draw on the printer;
  // on a screen Draw shows the views before the first such object and the error's text
  // in red at the page's top (a window's painting cannot carry an error away), and the
  // hit test and search see those views.
  void Draw(int index, TCanvas& canvas, const TRect& target);
  void ObjectsToPage(int index);
  void PageToObjects(int index);
  void ExportData(int index);
  // Point in page report units; the topmost view under it fires the click or the
  // mouse-over event; true when the fired event is assigned.
  bool HitTest(int index, TPoint point, int& cursor, bool click);
  // The topmost view under the point, or none.
  TrpView* ViewAt(int index, TPoint point);

  void SaveToStream(TStream& stream);
  // Reads a whole file; on damage raises ErpPreparedError and keeps the pages it had
  // (objects of unregistered classes are no damage: see Draw).
  void LoadFromStream(TStream& stream);
  void SaveToFile(const AnsiString& fileName);
  void LoadFromFile(const AnsiString& fileName);

  // The prepared page stream the build appends printed views to.
  TStream* PageStream(int index) const {
    const TrpPreparedPage* p = GetPages(index);
    return p ? p->Stream.get() : nullptr;
  }

 private:
  // The bytes the streams of the pages Insert made hold now (shared with the streams,
  // which may outlive this list).
  std::shared_ptr<std::int64_t> builtBytes_ = std::make_shared<std::int64_t>(0);
};
