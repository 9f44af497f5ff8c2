// The text form of ration fragments, used by the clipboard and by dragging between ration
// windows: an item with its subtree as 1251 text, CR LF lines, fields separated by one
// tab each.
//
//   header     "TRWKItems" TAB 1 TAB <root Kind> TAB <root level> CR LF
//   item line  level TAB text TAB Code TAB Owner TAB Flags TAB Kind TAB Cal TAB
//              AlbA TAB AlbV TAB FatA TAB FatV TAB Carb TAB Veight TAB comment CR LF
//
// one item line per item of the copied subtree in pre-order, the root first. Levels are
// those of the items in their own tree (0 for a day). The five nutrient values are written
// with as many digits as it takes to read the same double back, with "." (a reader also
// takes ","). In the text and the comment a backslash, a tab, a CR and a LF are written as
// "\\", "\t", "\r" and "\n", so names and multi-line comments come back unchanged. Fields
// are split at every single tab, so an empty field keeps its place.
//
// Reading is bounded: a line that does not have the fourteen fields, a number that does
// not parse, a level outside 0 .. kRationMaxLevels - 1, a Kind outside 0 .. 3 or a negative
// weight makes the line skipped; a text that is not a fragment is refused as a whole.
#pragma once

#include <cstdint>

#include "planner/ration/RationDoc.h"

inline constexpr const char* kClipSignature = "TRWKItems";

// The header line for a copied item (root).
AnsiString ClipHeader(const TMtTreeItem* Root);
// One item line.
AnsiString ItemToLine(const TMtTreeItem* Item);
// The item lines of an item and its subtree.
AnsiString SubtreeToText(const TMtTreeItem* Item);
// Header and item lines: the whole fragment of an item.
AnsiString FragmentText(const TMtTreeItem* Root);

// A parsed item line.
struct TClipItem {
  std::int32_t Level = 0;
  AnsiString Name;
  TFoodRec Rec{};
  AnsiString Comment;
};
bool ParseItemLine(std::string_view Line, TClipItem& Item);

// Whether the root Kind of a fragment may go onto an item of TargetKind: a day takes
// products, meals and days; a meal products and dishes; a dish products; a product none.
bool KindAccepts(std::int32_t TargetKind, std::int32_t RootKind);
// The text is a fragment (signature, version 1, root Kind 0 .. 3) whose root the target
// accepts; with a nil target (nothing focused), a fragment of days.
bool CanPaste(std::string_view Text, const TMtTreeItem* Target);
// A drag of Source (an item of some ration tree) may drop on Target: both exist, Target is
// neither the source, nor its parent, nor inside it, and accepts the source's Kind.
bool CanDropOn(const TMtTreeItem* Source, const TMtTreeItem* Target);

// Inserts a fragment at Target (a day onto a day becomes a new day before the target,
// numbered, and days with no target the last days; anything else goes below the target,
// its subtree by the lines' levels). Returns the first item added, or nil when the text
// was refused or no line could be placed. The target's day is re-summed and the
// document's recalculation and modified flags set; the caller recomputes the totals.
TMtTreeItem* PasteText(TRationDocument& Doc, std::string_view Text, TMtTreeItem* Target);
