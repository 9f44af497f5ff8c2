// Header sections: the columns of a tree. Each section has a stable number (the column's
// identifier for trees and their users) and a display position; the collection keeps the
// sections in display order and reads and writes them as the "Data" stream of a form.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/tree/MtTypes.h"
#include "platform/core/Classes.h"

TW_DECLARE_EXCEPTION(EMtError, Exception)

class TMtHeaderSection;
class TMtHeaderSections;

enum TMtSSortMode : std::uint8_t { hsmNone, hsmAscend, hsmDescend };
enum TMtSAlignment : std::uint8_t { hsaLeft, hsaCenter, hsaRight };
enum TMtTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };

// Codes of the change notification.
enum TMtSectionChange : int {
  scText = 0,
  scFieldName = 1,
  scFieldType = 2,
  scAlignment = 3,
  scStyle = 4,
  scEditable = 5,
  scPassword = 6,
};


// What the sections ask of the header that owns them. Every hook has a default that does
// nothing, so a collection works without a header (and tests override what they watch).
class IMtHeaderSectionsOwner {
 public:
  virtual ~IMtHeaderSectionsOwner() = default;

  // OnSectionChange with one of the codes above.
  virtual void SectionChange(TMtHeaderSection* Section, TMtSectionChange Change) { (void)Section, (void)Change; }
  // OnSectionShowHide: the section's visibility or parent changed.
  virtual void SectionShowHide(TMtHeaderSection* Section) { (void)Section; }
  virtual void SectionCreate(TMtHeaderSection* Section) { (void)Section; }
  // Before the section is freed.
  virtual void SectionDelete(TMtHeaderSection* Section) { (void)Section; }
  virtual void SectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) {
    (void)Section, (void)OldPos, (void)NewPos;
  }
  // Repaint from the section with that number on (the header raises EMtError "Index out
  // of bounds" for a number that no section has), or all of it.
  virtual void RepaintFrom(int SectionNumber) { (void)SectionNumber; }
  virtual void Repaint() {}
  // The sections were replaced or renumbered: recompute the header.
  virtual void SectionsChanged() {}
  // A section switched its lookup or filter button on: a header lower than 17 pixels
  // (and above 0) becomes 17 pixels high.
  virtual void ButtonSectionAdded() {}

  // Sticky sections (widths kept as proportions of the header's width).
  virtual bool StickySections() const { return false; }
  virtual int HeaderWidth() const { return 0; }
  virtual bool Loading() const { return false; }
  virtual bool Updating() const { return false; }
  // Narrows the resizable sections from the right end until they fit into the header.
  virtual void FitSections() {}
  virtual void UpdateStickyProportions() {}
};

class TMtHeaderSection : public TPersistent {
 public:
  explicit TMtHeaderSection(TMtHeaderSections* Owner = nullptr);
  ~TMtHeaderSection() override;
  TMtHeaderSection(const TMtHeaderSection&) = delete;
  TMtHeaderSection& operator=(const TMtHeaderSection&) = delete;

  // Copies every property except ImageIndex, PictureAlign, FieldName, FieldType,
  // Editable, Password, Resizable, ClickSelect, LookupHistory, FilterIsActive and
  // PopupName; the parent is the section with the source parent's number here.
  void Assign(const TPersistent* source) override;

  // Queries.
  int GetIndex() const { return number_; }  // the section number
  int GetPosition() const;                  // display position, -1 without owner
  int GetLeft() const;                      // widths of the visible sections before it
  int GetRight() const;                     // GetLeft + Width when visible
  TMtHeaderSections* GetOwner() const { return owner_; }

  const AnsiString& Text() const { return text_; }
  void SetText(const AnsiString& Value);
  TMtSectionStyle Style() const { return style_; }
  void SetStyle(TMtSectionStyle Value);
  int Width() const { return width_; }
  void SetWidth(int Value);  // ignored outside MinWidth..MaxWidth
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int Value);  // above Width widens the section
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int Value);  // below Width narrows the section
  TMtSSortMode SortMode() const { return sortMode_; }
  void SetSortMode(TMtSSortMode Value);  // clears the mark of every other section
  bool AllowClick() const { return allowClick_; }
  void SetAllowClick(bool Value) { allowClick_ = Value; }
  TMtSAlignment Alignment() const { return alignment_; }
  void SetAlignment(TMtSAlignment Value);
  TMtSAlignment PictureAlign() const { return pictureAlign_; }
  void SetPictureAlign(TMtSAlignment Value);
  // Shown: the own flag is set and, for a child section, the parent is shown and expanded.
  bool Visible() const;
  bool OwnVisible() const { return visible_; }
  void SetVisible(bool Value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  const AnsiString& FieldName() const { return fieldName_; }
  virtual void SetFieldName(const AnsiString& Value);
  TFieldTypes FieldType() const { return fieldType_; }
  virtual void SetFieldType(TFieldTypes Value);
  bool Editable() const { return editable_; }
  virtual void SetEditable(bool Value);
  bool Password() const { return password_; }
  void SetPassword(bool Value);
  bool Resizable() const { return resizable_; }
  virtual void SetResizable(bool Value);
  bool ClickSelect() const { return clickSelect_; }
  void SetClickSelect(bool Value) { clickSelect_ = Value; }
  bool Expandable() const { return expandable_; }
  void SetExpandable(bool Value);  // False releases every child section
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool Value);  // expanding needs Expandable; collapsing always works
  TMtHeaderSection* ParentSection() const { return parent_; }
  void SetParentSection(TMtHeaderSection* Value);  // a parent that would make a cycle is ignored
  // The section's menu (not owned) and its component name.
  TObject* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TObject* Value) { popupMenu_ = Value; }
  const AnsiString& PopupName() const { return popupName_; }
  void SetPopupName(const AnsiString& Value) { popupName_ = Value; }
  bool LookupEnabled() const { return lookupEnabled_; }
  void SetLookupEnabled(bool Value);  // on clears FilterEnabled
  const TStringList& LookupHistory() const { return lookupHistory_; }
  TStringList& LookupHistory() { return lookupHistory_; }
  void SetLookupHistory(const TStringList& Value) { lookupHistory_.Assign(Value); }
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);  // clears ParentColor
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor Value);  // clears ParentColor
  bool UseMainStyle() const { return useMainStyle_; }
  void SetUseMainStyle(bool Value) { useMainStyle_ = Value; }
  TMtTextLayout TextLayout() const { return textLayout_; }
  void SetTextLayout(TMtTextLayout Value);
  bool FilterEnabled() const { return filterEnabled_; }
  void SetFilterEnabled(bool Value);  // on clears LookupEnabled
  bool FilterIsActive() const { return filterIsActive_; }
  void SetFilterIsActive(bool Value);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& Value) { hint_ = Value; }

 private:
  friend class TMtHeaderSections;

  IMtHeaderSectionsOwner* Header() const;
  void Changed(TMtSectionChange change);
  void Invalidate();
  void ReleaseChildren();
  void ScaleSticky(const std::vector<TMtHeaderSection*>& sections, int left, int newWidth, int oldWidth);

  TMtHeaderSections* owner_;
  int number_ = 0;
  int parentNumber_ = -1;  // while a stream is read

  AnsiString text_;
  TMtSectionStyle style_ = MthsText;
  int width_ = 120;
  int minWidth_ = 0;
  int maxWidth_ = 10000;
  TMtSSortMode sortMode_ = hsmNone;
  bool allowClick_ = true;
  TMtSAlignment alignment_ = hsaLeft;
  TMtSAlignment pictureAlign_ = hsaLeft;
  bool visible_ = true;
  int imageIndex_ = 0;
  AnsiString fieldName_;
  TFieldTypes fieldType_ = sftCustom;
  bool editable_ = false;
  bool password_ = false;
  bool resizable_ = true;
  bool clickSelect_ = true;
  bool expandable_ = false;
  bool expanded_ = false;
  TMtHeaderSection* parent_ = nullptr;
  TObject* popupMenu_ = nullptr;
  AnsiString popupName_;
  bool lookupEnabled_ = false;
  TStringList lookupHistory_;
  bool parentColor_ = true;
  TColor color_ = 0;
  TColor fontColor_ = 0;
  bool useMainStyle_ = false;
  TMtTextLayout textLayout_ = tlCenter;
  bool filterEnabled_ = false;
  bool filterIsActive_ = false;
  AnsiString hint_;
};

class TMtHeaderSections : public TPersistent {
 public:
  explicit TMtHeaderSections(IMtHeaderSectionsOwner* Header = nullptr) : header_(Header) {}
  ~TMtHeaderSections() override;
  TMtHeaderSections(const TMtHeaderSections&) = delete;
  TMtHeaderSections& operator=(const TMtHeaderSections&) = delete;

  IMtHeaderSectionsOwner* Header() const { return header_; }

  // Removes every own section and appends a copy of each source section in source number
  // order (see TMtHeaderSection::Assign), then has the header recompute itself.
  void Assign(const TPersistent* source) override;

  virtual TMtHeaderSection* GetSection(int Number) const { return FindByNumber(Number); }
  virtual TMtHeaderSection* GetSectionByPos(int Position) const;  // nullptr outside 0..count-1
  // Factory only: the section is not inserted.
  virtual std::unique_ptr<TMtHeaderSection> CreateSection();
  // The "Data" stream: int32 -8, int32 count, then per section in display order a 64-byte
  // block and the strings Text, FieldName, PopupName, Hint.
  virtual void WriteData(TStream& Stream) const;
  // Reads the layouts -8, -6, -5, -4 and -3 (anything else leaves the collection empty).
  // A stream that is short or whose counts and lengths do not fit into it raises
  // EReadError; the sections read before stay.
  virtual void ReadData(TStream& Stream);
  TMtHeaderSection* FindByNumber(int Number) const;  // nullptr when absent

  int GetCount() const { return static_cast<int>(sections_.size()); }
  int IndexOf(const TMtHeaderSection* Section) const;  // display position, -1 when not here
  TMtHeaderSection* AddSection() { return InsertSection(GetCount()); }
  // Creates a section with the lowest free number at the position (0..count, else
  // EListError "List index out of bounds.").
  TMtHeaderSection* InsertSection(int Position);
  // nullptr (or a section of another collection) raises EMtError "Invalid section".
  // The remaining sections are renumbered 0..n-1 in display order.
  void DeleteSection(TMtHeaderSection* Section);
  void MoveSection(TMtHeaderSection* Section, int NewPosition);
  // The last visible section in display order; nullptr when none is visible.
  TMtHeaderSection* LastVisibleSection() const;
  TMtHeaderSection* PrevVisibleSection(const TMtHeaderSection* Section) const;
  // Frees every section without events; the header forgets them (SectionsChanged).
  void Clear();

 private:
  friend class TMtHeaderSection;
  // Frees every section and tells no one: the callers recompute the header afterwards,
  // or the header is going away.
  void FreeSections();
  int LowestFreeNumber() const;
  void Renumber();
  void ReadSections(TStream& Stream, int marker);

  IMtHeaderSectionsOwner* header_;
  std::vector<std::unique_ptr<TMtHeaderSection>> sections_;
};
