#include "controls/tree/MtHeaderSections.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "controls/tree/MtUtils.h"

namespace {

std::int32_t StringLength(const AnsiString& s, std::size_t extra) {
  if (s.size() > static_cast<std::size_t>(INT32_MAX) - extra) throw EWriteError("Stream write error");
  return static_cast<std::int32_t>(s.size() + extra);
}

// Text and FieldName: int32 (length + 1), the bytes and a zero byte.
void WriteZString(TStream& s, const AnsiString& v) {
  s.WriteInt32(StringLength(v, 1));
  s.WriteString(v);
  s.WriteByte(0);
}

// int32 L and L bytes, taken up to the first zero byte.
AnsiString ReadZString(TStream& s) {
  AnsiString r = s.ReadString(s.ReadInt32());
  if (auto z = r.find('\0'); z != AnsiString::npos) r.resize(z);
  return r;
}

// PopupName and Hint: int32 length and the bytes (none for an empty string).
void WriteLString(TStream& s, const AnsiString& v) {
  s.WriteInt32(StringLength(v, 0));
  s.WriteString(v);
}

AnsiString ReadLString(TStream& s) { return s.ReadString(s.ReadInt32()); }

}  // namespace

// ---------------------------------------------------------------------------------
// TMtHeaderSection

TMtHeaderSection::TMtHeaderSection(TMtHeaderSections* Owner) : owner_(Owner) {}

TMtHeaderSection::~TMtHeaderSection() {
  if (owner_) ReleaseChildren();
}

IMtHeaderSectionsOwner* TMtHeaderSection::Header() const { return owner_ ? owner_->header_ : nullptr; }

void TMtHeaderSection::Changed(TMtSectionChange change) {
  if (auto* h = Header()) h->SectionChange(this, change);
  Invalidate();
}

void TMtHeaderSection::Invalidate() {
  if (auto* h = Header(); h && owner_->IndexOf(this) >= 0 && Visible()) h->RepaintFrom(number_);
}

void TMtHeaderSection::ReleaseChildren() {
  if (!owner_) return;
  for (auto& s : owner_->sections_) {
    if (s->parent_ != this) continue;
    s->parent_ = nullptr;
    if (auto* h = Header()) h->SectionShowHide(s.get());
  }
}

int TMtHeaderSection::GetPosition() const { return owner_ ? owner_->IndexOf(this) : -1; }

int TMtHeaderSection::GetLeft() const {
  if (!owner_) return 0;
  long long left = 0;
  for (const auto& s : owner_->sections_) {
    if (s.get() == this) break;
    if (s->Visible()) left += s->width_;
  }
  return static_cast<int>(std::clamp<long long>(left, INT_MIN, INT_MAX));
}

int TMtHeaderSection::GetRight() const {
  const long long right = static_cast<long long>(GetLeft()) + (Visible() ? width_ : 0);
  return static_cast<int>(std::clamp<long long>(right, INT_MIN, INT_MAX));
}

bool TMtHeaderSection::Visible() const {
  // Up the parent chain (never a cycle: SetParentSection refuses one).
  for (const TMtHeaderSection* s = this; s; s = s->parent_) {
    if (!s->visible_) return false;
    if (s->parent_ && !s->parent_->expanded_) return false;
  }
  return true;
}

void TMtHeaderSection::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TMtHeaderSection*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  text_ = src->text_;
  style_ = src->style_;
  width_ = src->width_;
  minWidth_ = src->minWidth_;
  maxWidth_ = src->maxWidth_;
  sortMode_ = src->sortMode_;
  allowClick_ = src->allowClick_;
  alignment_ = src->alignment_;
  visible_ = src->visible_;
  expandable_ = src->expandable_;
  expanded_ = src->expanded_;
  popupMenu_ = src->popupMenu_;
  lookupEnabled_ = src->lookupEnabled_;
  parentColor_ = src->parentColor_;
  color_ = src->color_;
  fontColor_ = src->fontColor_;
  useMainStyle_ = src->useMainStyle_;
  textLayout_ = src->textLayout_;
  filterEnabled_ = src->filterEnabled_;
  hint_ = src->hint_;
  SetParentSection(src->parent_ && owner_ ? owner_->FindByNumber(src->parent_->number_) : nullptr);
  if (auto* h = Header()) h->Repaint();
}

void TMtHeaderSection::SetText(const AnsiString& Value) {
  if (Value == text_) return;
  text_ = Value;
  Changed(scText);
}

void TMtHeaderSection::SetStyle(TMtSectionStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Changed(scStyle);
}

void TMtHeaderSection::ScaleSticky(const std::vector<TMtHeaderSection*>& sections, int left, int newWidth,
                                   int oldWidth) {
  const double width = Header()->HeaderWidth();
  const double denominator = width - left - oldWidth;
  // A section that fills the rest of the header exactly leaves nothing to scale by.
  if (!(denominator > 0)) return;
  const double factor = (width - left - newWidth) / denominator;
  for (TMtHeaderSection* s : sections) {
    const double w = std::clamp(std::nearbyint(s->width_ * factor), 0.0, static_cast<double>(INT_MAX));
    s->width_ = static_cast<int>(w);
  }
}

void TMtHeaderSection::SetWidth(int Value) {
  if (Value < minWidth_ || Value > maxWidth_ || Value == width_) return;
  IMtHeaderSectionsOwner* h = Header();
  const bool visible = Visible();
  if (h && h->StickySections() && !h->Loading() && !h->Updating() && visible &&
      owner_->LastVisibleSection() != this) {
    std::vector<TMtHeaderSection*> following;
    for (int i = GetPosition() + 1; i < owner_->GetCount(); ++i) {
      TMtHeaderSection* s = owner_->sections_[static_cast<std::size_t>(i)].get();
      if (s->Visible() && s->resizable_) following.push_back(s);
    }
    ScaleSticky(following, GetLeft(), Value, width_);
    width_ = Value;
    h->FitSections();
    h->UpdateStickyProportions();
  } else {
    width_ = Value;
  }
  if (h && visible) h->RepaintFrom(number_);
}

void TMtHeaderSection::SetMinWidth(int Value) {
  if (Value == minWidth_) return;
  minWidth_ = Value;
  if (width_ < minWidth_) {
    width_ = minWidth_;
    Invalidate();
  }
}

void TMtHeaderSection::SetMaxWidth(int Value) {
  if (Value == maxWidth_) return;
  maxWidth_ = Value;
  if (width_ > maxWidth_) {
    width_ = maxWidth_;
    Invalidate();
  }
}

void TMtHeaderSection::SetSortMode(TMtSSortMode Value) {
  if (Value == sortMode_) return;
  if (owner_)
    for (auto& s : owner_->sections_) s->sortMode_ = hsmNone;
  sortMode_ = Value;
  if (auto* h = Header()) h->Repaint();
}

void TMtHeaderSection::SetAlignment(TMtSAlignment Value) {
  if (Value == alignment_) return;
  alignment_ = Value;
  Changed(scAlignment);
}

void TMtHeaderSection::SetPictureAlign(TMtSAlignment Value) {
  if (Value == pictureAlign_) return;
  pictureAlign_ = Value;
  Invalidate();
}

void TMtHeaderSection::SetVisible(bool Value) {
  if (Value == visible_) return;
  IMtHeaderSectionsOwner* h = Header();
  if (h && h->StickySections() && !h->Loading() && !h->Updating() && (!parent_ || parent_->Visible())) {
    const int left = GetLeft();
    const int oldWidth = Visible() ? width_ : 0;
    visible_ = Value;
    const int newWidth = Visible() ? width_ : 0;
    // The sections after this one take up the difference; when none is shown after it,
    // the sections before it do.
    std::vector<TMtHeaderSection*> after, before;
    const int position = GetPosition();
    for (int i = 0; i < owner_->GetCount(); ++i) {
      TMtHeaderSection* s = owner_->sections_[static_cast<std::size_t>(i)].get();
      if (i == position || !s->resizable_ || !s->Visible()) continue;
      (i > position ? after : before).push_back(s);
    }
    ScaleSticky(after.empty() ? before : after, left, newWidth, oldWidth);
    h->FitSections();
    h->UpdateStickyProportions();
  } else {
    visible_ = Value;
  }
  if (h) {
    h->Repaint();
    h->SectionShowHide(this);
  }
}

void TMtHeaderSection::SetImageIndex(int Value) {
  if (Value == imageIndex_) return;
  imageIndex_ = Value;
  Invalidate();
}

void TMtHeaderSection::SetFieldName(const AnsiString& Value) {
  if (Value == fieldName_) return;
  fieldName_ = Value;
  Changed(scFieldName);
}

void TMtHeaderSection::SetFieldType(TFieldTypes Value) {
  if (Value == fieldType_) return;
  fieldType_ = Value;
  Changed(scFieldType);
}

void TMtHeaderSection::SetEditable(bool Value) {
  if (Value == editable_) return;
  editable_ = Value;
  Changed(scEditable);
}

void TMtHeaderSection::SetPassword(bool Value) {
  if (Value == password_) return;
  password_ = Value;
  Changed(scPassword);
}

void TMtHeaderSection::SetResizable(bool Value) { resizable_ = Value; }

void TMtHeaderSection::SetExpandable(bool Value) {
  if (Value == expandable_) return;
  expandable_ = Value;
  if (!Value) ReleaseChildren();
  Invalidate();
}

void TMtHeaderSection::SetExpanded(bool Value) {
  if (Value == expanded_ || (Value && !expandable_)) return;
  expanded_ = Value;
  if (auto* h = Header()) {
    h->Repaint();
    for (auto& s : owner_->sections_)
      if (s->parent_ == this) h->SectionShowHide(s.get());
  }
}

void TMtHeaderSection::SetParentSection(TMtHeaderSection* Value) {
  if (Value == parent_) return;
  if (Value) {
    if (Value->owner_ != owner_) return;
    for (const TMtHeaderSection* p = Value; p; p = p->parent_)
      if (p == this) return;  // would make a cycle
  }
  parent_ = Value;
  if (auto* h = Header()) {
    h->Repaint();
    h->SectionShowHide(this);
  }
}

void TMtHeaderSection::SetLookupEnabled(bool Value) {
  if (Value == lookupEnabled_) return;
  lookupEnabled_ = Value;
  if (Value) {
    filterEnabled_ = false;
    if (auto* h = Header()) h->ButtonSectionAdded();
  }
  Invalidate();
}

void TMtHeaderSection::SetFilterEnabled(bool Value) {
  if (Value == filterEnabled_) return;
  filterEnabled_ = Value;
  if (Value) {
    lookupEnabled_ = false;
    if (auto* h = Header()) h->ButtonSectionAdded();
  }
  Invalidate();
}

void TMtHeaderSection::SetFilterIsActive(bool Value) {
  if (Value == filterIsActive_) return;
  filterIsActive_ = Value;
  Invalidate();
}

void TMtHeaderSection::SetParentColor(bool Value) {
  if (Value == parentColor_) return;
  parentColor_ = Value;
  Invalidate();
}

void TMtHeaderSection::SetColor(TColor Value) {
  color_ = Value;
  parentColor_ = false;
  Invalidate();
}

void TMtHeaderSection::SetFontColor(TColor Value) {
  fontColor_ = Value;
  parentColor_ = false;
  Invalidate();
}

void TMtHeaderSection::SetTextLayout(TMtTextLayout Value) {
  if (Value == textLayout_) return;
  textLayout_ = Value;
  Invalidate();
}

// ---------------------------------------------------------------------------------
// TMtHeaderSections

TMtHeaderSections::~TMtHeaderSections() { FreeSections(); }

void TMtHeaderSections::FreeSections() {
  for (auto& s : sections_) {
    s->owner_ = nullptr;
    s->parent_ = nullptr;
  }
  sections_.clear();
}

void TMtHeaderSections::Clear() {
  FreeSections();
  if (header_) header_->SectionsChanged();
}

std::unique_ptr<TMtHeaderSection> TMtHeaderSections::CreateSection() {
  return std::make_unique<TMtHeaderSection>(this);
}

int TMtHeaderSections::IndexOf(const TMtHeaderSection* Section) const {
  for (std::size_t i = 0; i < sections_.size(); ++i)
    if (sections_[i].get() == Section) return static_cast<int>(i);
  return -1;
}

TMtHeaderSection* TMtHeaderSections::FindByNumber(int Number) const {
  for (const auto& s : sections_)
    if (s->number_ == Number) return s.get();
  return nullptr;
}

TMtHeaderSection* TMtHeaderSections::GetSectionByPos(int Position) const {
  return Position >= 0 && Position < GetCount() ? sections_[static_cast<std::size_t>(Position)].get() : nullptr;
}

int TMtHeaderSections::LowestFreeNumber() const {
  std::vector<bool> used(sections_.size() + 1, false);
  for (const auto& s : sections_)
    if (s->number_ >= 0 && static_cast<std::size_t>(s->number_) < used.size()) used[static_cast<std::size_t>(s->number_)] = true;
  return static_cast<int>(std::find(used.begin(), used.end(), false) - used.begin());
}

void TMtHeaderSections::Renumber() {
  for (std::size_t i = 0; i < sections_.size(); ++i) sections_[i]->number_ = static_cast<int>(i);
}

TMtHeaderSection* TMtHeaderSections::InsertSection(int Position) {
  if (Position < 0 || Position > GetCount()) throw EListError("List index out of bounds.");
  std::unique_ptr<TMtHeaderSection> s = CreateSection();
  s->owner_ = this;
  s->number_ = LowestFreeNumber();
  TMtHeaderSection* raw = s.get();
  sections_.insert(sections_.begin() + Position, std::move(s));
  if (header_) {
    header_->RepaintFrom(raw->number_);
    header_->SectionCreate(raw);
    header_->SectionsChanged();
  }
  return raw;
}

void TMtHeaderSections::DeleteSection(TMtHeaderSection* Section) {
  const int position = Section ? IndexOf(Section) : -1;
  if (position < 0) throw EMtError("Invalid section");
  std::unique_ptr<TMtHeaderSection> s = std::move(sections_[static_cast<std::size_t>(position)]);
  sections_.erase(sections_.begin() + position);
  if (header_) header_->SectionDelete(s.get());
  s->ReleaseChildren();
  s->owner_ = nullptr;
  s.reset();
  Renumber();
  if (header_) {
    header_->Repaint();
    header_->SectionsChanged();
  }
}

void TMtHeaderSections::MoveSection(TMtHeaderSection* Section, int NewPosition) {
  const int position = Section ? IndexOf(Section) : -1;
  if (position < 0) throw EMtError("Invalid section");
  if (NewPosition < 0 || NewPosition >= GetCount()) throw EListError("List index out of bounds.");
  if (NewPosition == position) return;
  std::unique_ptr<TMtHeaderSection> s = std::move(sections_[static_cast<std::size_t>(position)]);
  sections_.erase(sections_.begin() + position);
  sections_.insert(sections_.begin() + NewPosition, std::move(s));
  if (header_) {
    header_->SectionMove(Section, position, NewPosition);
    header_->Repaint();
  }
}

TMtHeaderSection* TMtHeaderSections::LastVisibleSection() const {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it)
    if ((*it)->Visible()) return it->get();
  return nullptr;
}

TMtHeaderSection* TMtHeaderSections::PrevVisibleSection(const TMtHeaderSection* Section) const {
  for (int i = IndexOf(Section) - 1; i >= 0; --i)
    if (sections_[static_cast<std::size_t>(i)]->Visible()) return sections_[static_cast<std::size_t>(i)].get();
  return nullptr;
}

void TMtHeaderSections::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TMtHeaderSections*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  std::vector<const TMtHeaderSection*> order;
  for (const auto& s : src->sections_) order.push_back(s.get());
  std::stable_sort(order.begin(), order.end(),
                   [](const TMtHeaderSection* a, const TMtHeaderSection* b) { return a->number_ < b->number_; });
  FreeSections();
  for (const TMtHeaderSection* s : order) AddSection()->Assign(s);
  // Parents later in number order exist only now; they are found by the place of the
  // source's parent, which also holds when the source's numbers have gaps.
  for (std::size_t i = 0; i < order.size(); ++i) {
    auto parent = std::find(order.begin(), order.end(), order[i]->parent_);
    if (parent != order.end()) sections_[i]->SetParentSection(sections_[static_cast<std::size_t>(parent - order.begin())].get());
  }
  if (header_) header_->SectionsChanged();
}

// ---------------------------------------------------------------------------------
// The section stream

void TMtHeaderSections::WriteData(TStream& Stream) const {
  Stream.WriteInt32(-8);
  Stream.WriteInt32(GetCount());
  for (const auto& sp : sections_) {
    const TMtHeaderSection& s = *sp;
    unsigned char b[64] = {};
    b[4] = s.lookupEnabled_;
    Put32(b, 8, s.parent_ ? s.parent_->number_ : -1);
    b[12] = s.expandable_;
    b[13] = s.expanded_;
    b[14] = s.visible_;
    b[15] = s.clickSelect_;
    b[16] = s.resizable_;
    b[17] = s.style_;
    Put32(b, 20, s.width_);
    Put32(b, 24, s.minWidth_);
    Put32(b, 28, s.maxWidth_);
    b[32] = s.sortMode_;
    b[33] = s.allowClick_;
    b[34] = s.alignment_;
    Put32(b, 36, s.number_);
    b[40] = s.fieldType_;
    b[41] = s.editable_;
    Put32(b, 44, s.imageIndex_);
    b[48] = s.pictureAlign_;
    b[49] = s.password_;
    b[50] = s.parentColor_;
    Put32(b, 52, s.color_);
    Put32(b, 56, s.fontColor_);
    b[60] = s.filterEnabled_;
    b[61] = s.textLayout_;
    b[62] = s.useMainStyle_;
    Stream.WriteBuffer(b, sizeof b);
    WriteZString(Stream, s.text_);
    WriteZString(Stream, s.fieldName_);
    WriteLString(Stream, s.popupName_);
    WriteLString(Stream, s.hint_);
  }
}

void TMtHeaderSections::ReadData(TStream& Stream) {
  FreeSections();
  // The sections read stay, with the parents they name among them, and the header hears
  // of them also when the stream fails: the old sections are gone either way.
  auto finish = [this] {
    for (auto& s : sections_)
      if (s->parentNumber_ != -1) s->SetParentSection(FindByNumber(s->parentNumber_));
    if (header_) {
      header_->Repaint();
      header_->SectionsChanged();
    }
  };
  try {
    const std::int32_t marker = Stream.ReadInt32();
    if (marker == -8 || marker == -6 || marker == -5 || marker == -4 || marker == -3)
      ReadSections(Stream, marker);
  } catch (...) {
    try {
      finish();
    } catch (...) {
      // The read error is the one to report.
    }
    throw;
  }
  finish();
}

void TMtHeaderSections::ReadSections(TStream& Stream, int marker) {
  const std::int32_t count = Stream.ReadInt32();
  if (count < 0) throw EReadError("Stream read error");
  const int blockSize = marker == -8 ? 64 : marker <= -5 ? 52 : 36;
  // Every section takes at least its block and two string lengths: a count that the
  // bytes left cannot hold is damage, found before anything is read.
  Stream.CheckCount(count, blockSize + 8);
  for (std::int32_t i = 0; i < count; ++i) {
    unsigned char b[64] = {};
    Stream.ReadBuffer(b, blockSize);
    TMtHeaderSection& s = *AddSection();
    const int assigned = s.number_;
    int number = assigned;
    if (blockSize >= 52) {
      s.lookupEnabled_ = b[4] != 0;
      s.parentNumber_ = Get32(b, 8);
      s.expandable_ = b[12] != 0;
      s.expanded_ = b[13] != 0;
      s.visible_ = b[14] != 0;
      s.clickSelect_ = b[15] != 0;
      s.resizable_ = b[16] != 0;
      s.style_ = EnumByte(b[17], MthsPictureOnly, MthsText);
      s.width_ = Get32(b, 20);
      s.minWidth_ = Get32(b, 24);
      s.maxWidth_ = Get32(b, 28);
      s.sortMode_ = EnumByte(b[32], hsmDescend, hsmNone);
      s.allowClick_ = b[33] != 0;
      s.alignment_ = EnumByte(b[34], hsaRight, hsaLeft);
      number = Get32(b, 36);
      s.fieldType_ = EnumByte(b[40], sftUndef, sftCustom);
      s.editable_ = b[41] != 0;
      s.imageIndex_ = Get32(b, 44);
      s.pictureAlign_ = EnumByte(b[48], hsaRight, hsaLeft);
      s.password_ = b[49] != 0;
      if (blockSize == 64) {
        s.parentColor_ = b[50] != 0;
        s.color_ = Get32(b, 52);
        s.fontColor_ = Get32(b, 56);
        s.filterEnabled_ = b[60] != 0;
        s.textLayout_ = EnumByte(b[61], tlBottom, tlCenter);
        s.useMainStyle_ = b[62] != 0;
      }
    } else {
      s.visible_ = b[0] != 0;
      if (marker == -4) {
        s.clickSelect_ = b[1] != 0;
        s.resizable_ = b[2] != 0;
        s.style_ = EnumByte(b[3], MthsPictureOnly, MthsText);
      } else {
        s.style_ = EnumByte(b[1], MthsPictureOnly, MthsText);
      }
      s.width_ = Get32(b, 4);
      s.minWidth_ = Get32(b, 8);
      s.maxWidth_ = Get32(b, 12);
      s.sortMode_ = EnumByte(b[16], hsmDescend, hsmNone);
      s.allowClick_ = b[17] != 0;
      s.alignment_ = EnumByte(b[18], hsaRight, hsaLeft);
      number = Get32(b, 20);
      s.fieldType_ = EnumByte(b[24], sftUndef, sftCustom);
      s.editable_ = b[25] != 0;
      s.imageIndex_ = Get32(b, 28);
      s.pictureAlign_ = EnumByte(b[32], hsaRight, hsaLeft);
      s.password_ = b[33] != 0;
    }
    // The stored number replaces the assigned one, unless it is negative or taken by a
    // section read before (a damaged stream): numbers must stay unique.
    const TMtHeaderSection* holder = FindByNumber(number);
    if (number >= 0 && (!holder || holder == &s)) s.number_ = number;
    else s.number_ = assigned;
    s.text_ = ReadZString(Stream);
    s.fieldName_ = ReadZString(Stream);
    if (marker == -8 || marker == -6) s.popupName_ = ReadLString(Stream);
    if (marker == -8) s.hint_ = ReadLString(Stream);
  }
}
