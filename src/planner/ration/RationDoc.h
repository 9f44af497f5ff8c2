// The ration document: a tree of days, meals, dishes and products, each item carrying
// a 64-byte food record in its Data field. TRationDocument holds the document logic
// without any windowing: it works on a tree model (its own, or the ration window's tree
// control, which derives from TCustomMtTree), owns the records, keeps the sums and row
// texts of the items, and holds the document state that the window shows and applies.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/tree/MtTree.h"
#include "planner/ration/FoodRec.h"
#include "planner/ration/RationRating.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"

// ---------------------------------------------------------------------------------
// Rows and header sections of the ration tree

// Column texts of a ration row, by index. Files, the clipboard and the reports address
// the columns by these indexes.
enum TRationColumn : int {
  rcEnergy = 0,       // kcal
  rcVeight = 1,       // g per person
  rcProtein = 2,      // g
  rcFat = 3,          // g
  rcCarb = 4,         // g
  rcGroupVeight = 5,  // kg for the group
  rcComment = 6,      // free text
  rcRatio = 7,        // protein/fat/carbohydrate ratio
};
inline constexpr int kRationColumnCount = 8;

// A header section of the ration tree: its caption (a UTF-8 source text; the caption
// in 1251 is RationSectionCaption) and what it shows: -1 the item text, else a column
// text index.
struct TRationSectionDef {
  const char* Caption;
  int ColumnText;
};

// By section number: section 0 shows the item text, section k the column text k - 1.
inline constexpr int kRationSectionCount = 9;
inline constexpr TRationSectionDef kRationSections[kRationSectionCount] = {
    {"Наименование", -1},
    {"ККал.", rcEnergy},
    {"Вес,г.", rcVeight},
    {"Белки,г.", rcProtein},
    {"Жиры,г.", rcFat},
    {"Углев,г.", rcCarb},
    {"Вес на гр,кг", rcGroupVeight},
    {"Описание", rcComment},
    {"Б/Ж/У", rcRatio},
};
// Section numbers in display order, left to right: the ratio before the group weight
// and the comment.
inline constexpr int kRationSectionOrder[kRationSectionCount] = {0, 1, 2, 3, 4, 5, 8, 6, 7};
// The weight section (the one the user edits) has its own colours.
inline constexpr int kRationVeightSection = 2;
inline constexpr TColor kRationVeightSectionFontColor = 0xFF0000;
inline constexpr TColor kRationVeightSectionColor = 0x8000000F;  // system button face

// The caption of a section in 1251; empty outside 0 .. kRationSectionCount - 1.
AnsiString RationSectionCaption(int section);
// Gives a tree without sections the ration tree's sections: numbered as above, shown in
// display order, the numbers right-aligned, the weight section editable and in its own
// colours (the header's; its cells keep the rows' colours).
void AddRationSections(TCustomMtTree& tree);

// Colours of the items and the tree (0x00BBGGRR, or a system colour with the high bit).
inline constexpr TColor kDishTextColor = 0x800000;     // navy
inline constexpr TColor kProductTextColor = 0xFF0000;  // blue
// Background of the ration tree, both product lists and the recommendations memo.
inline constexpr TColor kAverageRationColor = 0x80000018;  // type 0: system info background
inline constexpr TColor kDayMenuRationColor = 0x00D3E1FF;  // type 1

// Ration types.
enum : std::uint8_t {
  rtAverage = 0,  // an average daily ration
  rtDayMenu = 1,  // a menu by days
};
TColor RationBkColor(std::uint8_t rationType);

// Pages of the ration window that the ration type governs (UTF-8 source texts).
inline constexpr const char* kDayListPageCaption = "Раскладка по дням";
inline constexpr const char* kMenuPageCaption = "Меню по дням";

// ---------------------------------------------------------------------------------
// Values of a row

// The food record of an item; nil for nil or an item without one.
inline TFoodRec* FoodRecOf(const TMtTreeItem* item) {
  return item != nullptr ? static_cast<TFoodRec*>(item->Data) : nullptr;
}

// Round(Cal * Veight / 100), halves to even, computed exactly in 64 bits.
std::int64_t RoundedEnergy(std::int32_t Cal, std::int32_t Veight);

// Sums over products by their weights, as a group's record holds them: the weights, each
// product's energy Round(Cal * Veight / 100) by itself, and Veight * value / 100 of each
// nutrient. StoreTo writes them into a record, the integers saturated to 32 bits.
struct TProductSums {
  std::int64_t Cal = 0;
  std::int64_t Veight = 0;
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;

  void AddProduct(const TFoodRec& Product);
  void StoreTo(TFoodRec& Rec) const;
};

// The protein/fat/carbohydrate ratio text of a row: the ratio string with
// "%3.1f/%3.1f/%3.1f", or "0/0/0" when there is none.
AnsiString FormatRatio(double A, double F, double C);

// The item itself or its nearest ancestor whose record has Kind 3; nil if none.
// Items without a record are passed over.
TMtTreeItem* DayOfItem(TMtTreeItem* Item);

// ---------------------------------------------------------------------------------
// The document's general page and reference values

struct TRationHeader {
  AnsiString Title;
  AnsiString Author;
  AnsiString TourName;     // kind of trip, e.g. "Пешеходный; 1 к.с."
  AnsiString Description;  // the description memo's text, lines joined by CR LF
  // Daily energy expenditure (kcal) and the protein, fat and carbohydrate needs (g) of
  // the kind of trip.
  std::int32_t RefCal = 0;
  double RefAlb = 0;
  double RefFat = 0;
  double RefCarb = 0;
  // The document's limits. Documents store the first five; the reference shares stay
  // those of the limits file.
  TRationLimits Limits;

  TRationNorms Norms() const { return {static_cast<double>(RefCal), RefAlb, RefFat, RefCarb}; }
};

// ---------------------------------------------------------------------------------
// TRationDocument

class TRationDocument {
 public:
  // A document on a tree of its own.
  TRationDocument();
  // A document on the given tree (the ration window's control), which must outlive it.
  // The document is the tree's item-data owner (SetItemDataOwner), so the records are
  // freed whatever handler the window puts on the tree's OnItemDeletion; the window may
  // also hear of deletions through the document's OnItemDeletion.
  explicit TRationDocument(TCustomMtTree& tree);
  // Deletes every item (freeing the records) and lets go of the tree.
  ~TRationDocument();
  TRationDocument(const TRationDocument&) = delete;
  TRationDocument& operator=(const TRationDocument&) = delete;

  TCustomMtTree& Tree() const { return *tree_; }
  TMtTreeItems* Items() const { return tree_->Items(); }

  // --- document state

  TRationHeader Header;
  AnsiString FileName;  // empty for an untitled document
  // What the file held when it was read or last written here; a save over a file that
  // holds something else asks first (another program or user changed it meanwhile).
  TFileStamp FileStamp;
  AnsiString Caption;   // the window's caption
  std::int32_t DayCounter = 0;  // number of day items; a new day gets counter + 1 as Code
  // Participants (1 .. 2147483647) and the number of days shown: the values of the
  // window's spin edits, which mirror them.
  std::int32_t Mans = 1;
  std::int32_t Days = 0;
  // Recalculation flags, set by every change, each cleared by the view that rebuilds:
  std::uint8_t RecalcMenu = 0;       // the sums of the ration menu
  std::uint8_t RecalcDayList = 0;    // the per-day product list
  std::uint8_t RecalcTotalList = 0;  // the whole-trip product list
  std::uint8_t RecalcComments = 0;   // the recommendations
  std::uint8_t Modified = 0;
  // 0 while a document is being built, 1 once it is new or loaded; while it is set,
  // deleting a day lowers Days.
  std::uint8_t DocumentReady = 0;
  // The item that had the focus last (the target of the add commands when none has it)
  // and the item being dragged from this document: both are forgotten when their item is
  // deleted, so they never point at a freed item.
  TMtTreeItem* LastFocused = nullptr;
  TMtTreeItem* DragSource = nullptr;
  // Background colour of the tree: dishes and products take it when they are added.
  TColor Color = kAverageRationColor;

  void SetRecalcFlags();

  std::uint8_t RationType() const { return rationType_; }
  // Stores the type and the background colour that goes with it (Color); the window
  // then applies DayListPageVisible, MenuPageActivates and Color.
  void SetRationType(std::uint8_t Value);
  // The page "Раскладка по дням" is shown only for a menu by days.
  bool DayListPageVisible() const { return rationType_ == rtDayMenu; }
  // True when hiding the day-list page must make "Меню по дням" the active page.
  bool MenuPageActivates(bool dayListPageActive) const { return dayListPageActive && !DayListPageVisible(); }

  // --- events
  // Fired when the document lowers Days itself (a day deleted while DocumentReady).
  TNotifyEvent OnDaysChange;
  // Fired for every item that is deleted, before its record is freed: the window drops
  // its own references to it (last focused item, last found item, drag source).
  TMtItemEvent OnItemDeletion;
  // Fired by SetRationType.
  TNotifyEvent OnRationTypeChange;

  // --- the tree

  // Adds an item with a new record. A day (Kind 3) goes to the top level: before the
  // day of Parent when Parent lies in one, else last; it is numbered from the day
  // counter. Other kinds become the last child of Parent (top level for nil). With a
  // Source, bytes 16..63 (Cal through Veight) are copied from it. Sets the
  // recalculation flags and the modified flag.
  TMtTreeItem* AddItem(TMtTreeItem* Parent, const AnsiString& Text, const TFoodRec* Source, std::int32_t Kind,
                       std::int32_t Code);
  // Recomputes the record and the row of a group item from its subtree: nested groups
  // first, each product's energy rounded separately. Products directly below are
  // redrawn only with RedrawProducts. Nothing happens for nil, an item without a
  // record or a product; children without a record are left out.
  void SumGroup(TMtTreeItem* Item, bool RedrawProducts);
  // Rewrites the column texts 0..5 and 7 of a product from its record.
  void UpdateItemRow(TMtTreeItem* Item);
  // Names the days "День 1", "День 2", ... in tree order; the day counter and the
  // days' Codes stay.
  void RenumberDays();
  // The first child of Parent (top level for nil) whose record has this Kind and Code;
  // with Recursive the search goes depth-first into the children's subtrees. Items
  // without a record are passed over with their subtrees.
  TMtTreeItem* FindChildByCode(TMtTreeItem* Parent, std::int32_t Kind, bool Recursive,
                               std::int32_t Code) const;
  // The records of the day items at the top level, in order: what the rating judges.
  TDayRecs DayRecords() const;

  // Gives an item a copy of the record (the version-2 loader's items), replacing and
  // freeing any record it had.
  void AttachRecord(TMtTreeItem* Item, const TFoodRec& Rec);
  // Records currently owned.
  int RecordCount() const { return recordCount_; }

  // The tree's item-deletion handler: a day lowers the day counter (and Days while the
  // document is ready); the record is freed.
  void tvEatMenuItemDeletion(TObject* Sender, TMtTreeItem* Item);

 private:
  void Hook();
  // The texts of a row with the given values (product form when product is true).
  void WriteRow(TMtTreeItem* item, const TFoodRec& rec, bool product);
  std::unique_ptr<TFoodRec> NewRecord();

  std::unique_ptr<TCustomMtTree> ownTree_;
  TCustomMtTree* tree_;
  std::uint8_t rationType_ = rtAverage;
  int recordCount_ = 0;
};
