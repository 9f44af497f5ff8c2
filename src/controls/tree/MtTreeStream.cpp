// The item stream: every item of a tree as one record, in pre-order with the hidden root
// first; each record ends with its child count, and the children's records follow it.
// Records are read and written with an explicit path instead of recursion, so a tree of
// any depth that is written reads back (every record takes bytes of the stream, so the
// depth of a damaged stream is bounded by its size).
#include <vector>

#include "controls/tree/MtTree.h"
#include "controls/tree/MtUtils.h"

namespace {

constexpr std::int32_t kCurrentMarker = -5;
constexpr int kBlockSize = 44;       // markers -5 and -4
constexpr int kShortBlockSize = 32;  // marker -3
constexpr int kOldBlockSize = 36;    // the old layout, and markers -1, -2 and below -5
constexpr int kStyleBlockSize = 36;
// The fewest bytes a record takes (old layout, empty text, no column texts, nothing from
// the load event): marker, block, column count, child count. A child count is checked
// against it before anything is created.
constexpr std::int64_t kMinRecordSize = 4 + kOldBlockSize + 4 + 4;
// A style read from its block: the block and the font name's length.
constexpr std::int64_t kMinStyleSize = kStyleBlockSize + 4;

constexpr std::uint16_t kFocusSelection = (1u << isFocused) | (1u << isSelected);

[[noreturn]] void ReadError() { throw EReadError("Stream read error"); }

void WriteText(TStream& stream, const AnsiString& s) {
  if (!StreamWriteString(stream, s)) throw EWriteError("Stream write error");
}

}  // namespace

class TMtItemStream {
 public:
  static void Read(TMtTreeItem& top, TStream& stream);
  static void Write(TMtTreeItem& top, TStream& stream);

 private:
  // One record without the children it names; returns their number.
  static std::int32_t ReadRecord(TMtTreeItem& item, TStream& stream);
  static void ReadBlock(TMtTreeItem& item, TStream& stream, std::int32_t marker);
  static void ReadStyles(TMtTreeItem& item, TStream& stream, bool byEvent);
  static void ReadStyle(TMtTreeItem& item, TStream& stream, TMtCellStyle& style, bool byEvent);
  // One record up to and with its child count.
  static void WriteRecord(TMtTreeItem& item, TStream& stream);
  static void WriteStyle(TMtTreeItem& item, TStream& stream, TMtCellStyle& style, bool byEvent);
};

// ---------------------------------------------------------------------------------
// Reading

void TMtItemStream::Read(TMtTreeItem& top, TStream& stream) {
  TCustomMtTree* tree = top.tree_;
  TMtUpdateBracket bracket(tree);
  struct Frame {
    TMtTreeItem* item;
    std::int32_t childrenLeft;
  };
  std::vector<Frame> path;
  path.push_back({&top, ReadRecord(top, stream)});
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.childrenLeft <= 0) {
      path.pop_back();
      continue;
    }
    --frame.childrenLeft;
    TMtTreeItem* child = top.store_->AddItem(frame.item);
    path.push_back({child, ReadRecord(*child, stream)});
  }
}

std::int32_t TMtItemStream::ReadRecord(TMtTreeItem& item, TStream& stream) {
  // A marker of 0 or more is the text length of the old layout.
  const std::int32_t marker = stream.ReadInt32();
  const std::int32_t length = marker < 0 ? stream.ReadInt32() : marker;
  item.text_ = stream.ReadString(length);
  ReadBlock(item, stream, marker);

  const std::int32_t columns = stream.ReadInt32();
  if (columns > 0) {
    stream.CheckCount(columns, 4);
    item.columnText_.BeginUpdate();
    try {
      for (std::int32_t i = 0; i < columns; ++i) item.columnText_.Add(stream.ReadString(stream.ReadInt32()));
    } catch (...) {
      item.columnText_.EndUpdate();
      throw;
    }
    item.columnText_.EndUpdate();
  }

  if (marker < 0) {
    item.UseStyles = stream.ReadByte() != 0;
    if (item.UseStyles) ReadStyles(item, stream, marker != -1 && stream.ReadByte() != 0);
  }

  item.tree_->DoItemLoad(stream, &item);

  const std::int32_t children = stream.ReadInt32();
  if (children <= 0) return 0;
  stream.CheckCount(children, kMinRecordSize);
  return children;
}

void TMtItemStream::ReadBlock(TMtTreeItem& item, TStream& stream, std::int32_t marker) {
  unsigned char b[kBlockSize] = {};
  const bool full = marker == -5 || marker == -4;
  const bool old = !full && marker != -3;
  stream.ReadBuffer(b, full ? kBlockSize : old ? kOldBlockSize : kShortBlockSize);

  // Focus and selection are the tree's: an item never comes back focused or selected,
  // and an item that has them keeps them.
  const std::uint16_t state = Get16(b, 0);
  item.state_ = static_cast<std::uint16_t>((state & ~kFocusSelection) | (item.state_ & kFocusSelection));
  if (item.IsRoot()) item.SetStateBit(isExpanded, true);
  item.ImageIndex = Get32(b, 4);
  item.StateImageIndex = Get32(b, 8);
  item.ForceButtons = Get32(b, 12) != 0;
  if (old) {
    item.color_ = static_cast<TColor>(Get32(b, 24));
    item.bkColor_ = static_cast<TColor>(Get32(b, 28));
    item.parentColors_ = b[32] != 0;
    item.parentStyle_ = b[33] != 0;
    return;
  }
  item.color_ = static_cast<TColor>(Get32(b, 16));
  item.bkColor_ = static_cast<TColor>(Get32(b, 20));
  item.parentColors_ = b[24] != 0;
  item.parentStyle_ = b[25] != 0;
  item.CheckBoxEnabled = b[26] != 0;
  // Values the check box does not have read as the defaults.
  item.CheckBoxState = b[27] <= cbsGrayed ? b[27] : std::uint8_t{cbsUnchecked};
  item.ShowCheckBox = b[28] != 0;
  item.CheckBoxType = b[29] <= cbtRadioButton ? b[29] : std::uint8_t{cbtCheckBox};
  if (!full) return;
  item.ImageIndex2 = Get32(b, 32);
  item.StateImageIndex2 = Get32(b, 36);
  item.Enabled = b[40] != 0;
  if (marker == -5) item.SetHidden(b[41] != 0);
}

void TMtItemStream::ReadStyles(TMtTreeItem& item, TStream& stream, bool byEvent) {
  // Styles written by the save event hold whatever it wrote: without the load event
  // their bytes cannot be told from what follows them.
  if (byEvent && !item.tree_->OnCellStyleLoad) ReadError();
  ReadStyle(item, stream, *item.mainStyle_, byEvent);
  const std::int32_t count = stream.ReadInt32();
  if (count <= 0) return;
  stream.CheckCount(count, byEvent ? 1 : kMinStyleSize);
  for (std::int32_t i = 0; i < count; ++i) ReadStyle(item, stream, *item.AddStyle(), byEvent);
}

void TMtItemStream::ReadStyle(TMtTreeItem& item, TStream& stream, TMtCellStyle& style, bool byEvent) {
  if (byEvent) {
    item.tree_->DoCellStyleLoad(&item, stream, &style);
    return;
  }
  unsigned char b[kStyleBlockSize];
  stream.ReadBuffer(b, kStyleBlockSize);
  style.CellBkColor = static_cast<TColor>(Get32(b, 0));
  style.CellTextBkColor = static_cast<TColor>(Get32(b, 4));
  style.CellTextColor = static_cast<TColor>(Get32(b, 8));
  style.TextFlags = static_cast<std::uint32_t>(Get32(b, 12));
  // Offset 16 held a bitmap reference of the writing process: meaningless here.
  style.CellType = EnumByte(b[20], sftUndef, sftText);
  style.Style = EnumByte(b[21], MthsPictureOnly, MthsText);
  style.OwnerProps = b[22] != 0;
  style.FontSize = Get32(b, 24);
  style.FontStyles = static_cast<TFontStyles>(b[28] & 0x0F);
  style.UserValue = Get32(b, 32);
  // A damaged font name leaves the name as it was; reading goes on.
  StreamReadString(stream, style.FontName);
}

// ---------------------------------------------------------------------------------
// Writing

void TMtItemStream::Write(TMtTreeItem& top, TStream& stream) {
  struct Frame {
    TMtTreeItem* item;
    int next;
    int count;  // as written
  };
  std::vector<Frame> path;
  WriteRecord(top, stream);
  path.push_back({&top, 0, top.GetChildrenCount()});
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next >= frame.count) {
      path.pop_back();
      continue;
    }
    TMtTreeItem* child = frame.item->GetChildren(frame.next++);
    // A save handler that deleted items would leave the written count unkept.
    if (child == nullptr) throw EWriteError("Stream write error");
    WriteRecord(*child, stream);
    path.push_back({child, 0, child->GetChildrenCount()});
  }
}

void TMtItemStream::WriteRecord(TMtTreeItem& item, TStream& stream) {
  TCustomMtTree* tree = item.tree_;
  stream.WriteInt32(kCurrentMarker);
  WriteText(stream, item.text_);

  // The bytes of a tree whose focus was taken away for writing: the focused item
  // without the focus, the selected item of single-select mode without the selection.
  std::uint16_t state = item.state_;
  if (tree->itemFocused_ == &item) state = static_cast<std::uint16_t>(state & ~(1u << isFocused));
  if (!tree->multiSelect_ && tree->selected_ == &item) state = static_cast<std::uint16_t>(state & ~(1u << isSelected));
  unsigned char b[kBlockSize] = {};
  Put16(b, 0, state);
  Put32(b, 4, item.ImageIndex);
  Put32(b, 8, item.StateImageIndex);
  Put32(b, 12, item.ForceButtons ? -1 : 0);
  Put32(b, 16, static_cast<std::int32_t>(item.color_));
  Put32(b, 20, static_cast<std::int32_t>(item.bkColor_));
  b[24] = item.parentColors_;
  b[25] = item.parentStyle_;
  b[26] = item.CheckBoxEnabled;
  b[27] = item.CheckBoxState;
  b[28] = item.ShowCheckBox;
  b[29] = item.CheckBoxType;
  Put32(b, 32, item.ImageIndex2);
  Put32(b, 36, item.StateImageIndex2);
  b[40] = item.Enabled;
  b[41] = item.hidden_;
  stream.WriteBuffer(b, kBlockSize);

  stream.WriteInt32(item.columnText_.Count());
  for (int i = 0; i < item.columnText_.Count(); ++i) WriteText(stream, item.columnText_[i]);

  stream.WriteByte(item.UseStyles);
  if (item.UseStyles) {
    const bool byEvent = static_cast<bool>(tree->OnCellStyleSave);
    stream.WriteByte(byEvent);
    WriteStyle(item, stream, *item.mainStyle_, byEvent);
    stream.WriteInt32(item.StyleCount());
    for (int i = 0; i < item.StyleCount(); ++i) WriteStyle(item, stream, *item.Styles(i), byEvent);
  }

  tree->DoItemSave(stream, &item);
  stream.WriteInt32(item.GetChildrenCount());
}

void TMtItemStream::WriteStyle(TMtTreeItem& item, TStream& stream, TMtCellStyle& style, bool byEvent) {
  if (byEvent) {
    item.tree_->DoCellStyleSave(&item, stream, &style);
    return;
  }
  unsigned char b[kStyleBlockSize] = {};
  Put32(b, 0, static_cast<std::int32_t>(style.CellBkColor));
  Put32(b, 4, static_cast<std::int32_t>(style.CellTextBkColor));
  Put32(b, 8, static_cast<std::int32_t>(style.CellTextColor));
  Put32(b, 12, static_cast<std::int32_t>(style.TextFlags));
  b[20] = style.CellType;
  b[21] = style.Style;
  b[22] = style.OwnerProps;
  Put32(b, 24, style.FontSize);
  b[28] = style.FontStyles;
  Put32(b, 32, style.UserValue);
  stream.WriteBuffer(b, kStyleBlockSize);
  WriteText(stream, style.FontName);
}

// ---------------------------------------------------------------------------------
// Items, store and tree

void TMtTreeItem::ReadData(TStream& stream) { TMtItemStream::Read(*this, stream); }

void TMtTreeItem::WriteData(TStream& stream) { TMtItemStream::Write(*this, stream); }

void TMtTreeItems::ReadFromStream(TStream& stream) {
  TMtUpdateBracket bracket(tree_);
  Clear();
  // The stream replaces the root's own lists too.
  root_->columnText_.Clear();
  root_->styles_.clear();
  try {
    root_->ReadData(stream);
  } catch (...) {
    tree_->MarkDirty(TCustomMtTree::dfAll);
    throw;
  }
  tree_->MarkDirty(TCustomMtTree::dfAll);
}

void TMtTreeItems::SaveToStream(TStream& stream) { root_->WriteData(stream); }

void TCustomMtTree::DoItemSave(TStream& stream, TMtTreeItem* item) {
  if (OnItemSave) OnItemSave(this, stream, item);
}

void TCustomMtTree::DoItemLoad(TStream& stream, TMtTreeItem* item) {
  if (OnItemLoad) OnItemLoad(this, stream, item);
}

void TCustomMtTree::DoCellStyleSave(TMtTreeItem* item, TStream& stream, TMtCellStyle* style) {
  if (OnCellStyleSave) OnCellStyleSave(item, stream, style);
}

void TCustomMtTree::DoCellStyleLoad(TMtTreeItem* item, TStream& stream, TMtCellStyle* style) {
  if (OnCellStyleLoad) OnCellStyleLoad(item, stream, style);
}
