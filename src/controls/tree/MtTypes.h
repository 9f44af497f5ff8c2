// Types that the tree's items, sections and control share.
#pragma once

#include <cstdint>

#include "platform/core/Graphics.h"
#include "platform/core/SysUtils.h"

TW_DECLARE_EXCEPTION(EMtTreeError, Exception)

// Texts of the tree's errors.
inline constexpr const char* kMtItemIndexError = "Tree Item index out of bounds.";
inline constexpr const char* kMtItemNotSpecified = "Tree Item not specified.";
inline constexpr const char* kMtMoveToSubitem = "Can't move Item to one of its subitems.";

// Field type of a column (and the cell type of the in-place editor).
enum TFieldTypes : std::uint8_t {
  sftCustom,
  sftText,
  sftNumber,
  sftFloating,
  sftDateTime,
  sftDate,
  sftTime,
  sftPicture,
  sftEnum,
  sftBLOB,
  sftUndef,
};

// How a cell is drawn.
enum TMtSectionStyle : std::uint8_t { MthsText, MthsOwnerDraw, MthsPictureOnly };

// Elements of an item's state; the value is the bit number in the state word.
enum TMtItemState : std::uint8_t {
  isFocused = 1,
  isSelected = 2,
  isCut = 3,
  isUnderlined = 4,
  isBold = 5,
  isItalic = 6,
  isExpanded = 7,
  isStrikeOut = 8,
};

// When the tree sorts by itself: never, after a text change or move, on a header click,
// or both.
enum TSortModes : std::uint8_t { smNone, smAdd, smClick, smAddClick };
// How texts compare when the tree sorts, and the direction when no sort mark decides.
enum TSortTypes : std::uint8_t { stCustom, stText, stNumber, stFloating, stDateTime, stDate, stTime };
enum TSortDirs : std::uint8_t { sdAscend, sdDescend };

// What an item change event reports.
enum : int { icmText = 0, icmState = 1, icmCheckBox = 2 };

// Check-box kinds and states of an item.
enum : std::uint8_t { cbtCheckBox = 0, cbtThreeState = 1, cbtRadioButton = 2 };
enum : std::uint8_t { cbsUnchecked = 0, cbsChecked = 1, cbsGrayed = 2 };

// Placements of TMtTreeItem::MoveToMode.
enum : int { mmLastSibling = 0, mmFirstSibling = 1, mmLastChild = 2, mmFirstChild = 3, mmBefore = 4 };

// Default text flags of a cell (the system's DrawText flags): single line (0x20),
// vertically centred (0x4), no prefix processing (0x800), end ellipsis (0x8000).
inline constexpr std::uint32_t kMtDefaultCellTextFlags = 0x20 | 0x4 | 0x800 | 0x8000;
