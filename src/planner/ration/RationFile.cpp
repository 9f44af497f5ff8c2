#include "planner/ration/RationFile.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/core/ReadUpTo.h"
#include "platform/core/SysUtils.h"

namespace {

// ---------------------------------------------------------------------------------
// Primitive values

AnsiString ReadLongString(TStream& s) { return s.ReadString(s.ReadInt32()); }

void WriteLongString(TStream& s, const AnsiString& text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EWriteError("Stream write error");
  s.WriteInt32(static_cast<std::int32_t>(text.size()));
  s.WriteString(text);
}

AnsiString ReadShortString(TStream& s) { return s.ReadString(s.ReadByte()); }

std::int32_t Int32At(const unsigned char* b, int at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
                                   static_cast<std::uint32_t>(b[at + 2]) << 16 |
                                   static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A name field of the old fixed records: a length byte and 40 bytes; a longer length
// is taken as 40.
AnsiString NameAt(const unsigned char* b, int at) {
  constexpr int kNameSize = 40;
  int n = b[at];
  if (n > kNameSize) n = kNameSize;
  return AnsiString(reinterpret_cast<const char*>(b) + at + 1, static_cast<std::size_t>(n));
}

// ---------------------------------------------------------------------------------
// What a reader fills before it is committed to the document

struct TLoadedHeader {
  TRationHeader Header;
  std::int32_t Days = 0;
  std::int32_t Mans = 1;
};

// Participants range over 1 .. 2147483647, as the spin edit allows; no group has fewer
// than one, so a file that says so is damaged.
std::int32_t MansFromFile(std::int32_t mans) {
  if (mans < 1) throw EReadError("Stream read error");
  return mans;
}

// A stored value: no plan holds a NaN or an infinity, a file that does is damaged.
double Finite(double v) {
  if (!std::isfinite(v)) throw EReadError("Stream read error");
  return v;
}
double ReadFinite(TStream& s) { return Finite(s.ReadDouble()); }

// Fields 3 to 18 of versions 2 and 3; the ration type is returned.
std::uint8_t ReadHeader(TStream& s, TLoadedHeader& h) {
  h.Header.Title = ReadLongString(s);
  h.Header.Author = ReadLongString(s);
  h.Header.TourName = ReadLongString(s);
  h.Days = s.ReadInt32();
  h.Mans = MansFromFile(s.ReadInt32());
  h.Header.Description = ReadLongString(s);
  h.Header.RefCal = s.ReadInt32();
  h.Header.RefAlb = ReadFinite(s);
  h.Header.RefFat = ReadFinite(s);
  h.Header.RefCarb = ReadFinite(s);
  TRationLimits& l = h.Header.Limits;
  l.MaxAbsEnDef = ReadFinite(s);
  l.MaxRelEnDef = ReadFinite(s);
  l.AlbAVmin = ReadFinite(s);
  l.FatAVMin = ReadFinite(s);
  l.FatAVmax = ReadFinite(s);
  const std::uint8_t type = s.ReadByte();
  // A menu by days or an average daily ration: any other value is no document's.
  if (type != rtAverage && type != rtDayMenu) throw EReadError("Stream read error");
  return type;
}

bool KindHasRecord(std::int32_t kind) { return static_cast<std::uint32_t>(kind) <= static_cast<std::uint32_t>(fkDay); }

void SumDays(TRationDocument& doc) {
  const TMtTreeItem* root = doc.Items()->Root();
  for (int i = 0; i < root->GetChildrenCount(); ++i) doc.SumGroup(root->GetChildren(i), false);
}

// An item without a record: its text and comment only.
TMtTreeItem* AddBareItem(TRationDocument& doc, TMtTreeItem* parent, const AnsiString& text) {
  TMtTreeItem* item = doc.Items()->AddItem(parent);
  item->SetText(text);
  TStringList& texts = item->ColumnText();
  while (texts.Count() < kRationColumnCount) texts.Add(AnsiString());
  return item;
}

// ---------------------------------------------------------------------------------
// Version 3

constexpr std::int64_t kMinItemSize = 4 + static_cast<std::int64_t>(sizeof(TFoodRec)) + 4 + 4;

void ReadItemsV3(TRationDocument& doc, TStream& s) {
  const std::int32_t n = s.ReadInt32();
  s.CheckCount(n, kMinItemSize);
  // path[k]: the last item added at tree level k; path.size() - 1 is the tree level of
  // the previous item. A stored level finds its parent among the previous item and its
  // ancestors; without one at level - 1 the item goes to the top level.
  std::vector<TMtTreeItem*> path;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t level = s.ReadInt32();
    const TFoodRec rec = ReadFoodRec(s);
    const AnsiString text = ReadLongString(s);
    const AnsiString comment = ReadLongString(s);

    TMtTreeItem* parent = nullptr;
    if (level >= 1 && static_cast<std::size_t>(level) <= path.size()) parent = path[level - 1];
    // A day always goes to the top level, appended.
    if (rec.Kind == fkDay) parent = nullptr;
    const std::size_t depth = parent != nullptr ? static_cast<std::size_t>(level) : 0;
    if (depth >= static_cast<std::size_t>(kRationMaxLevels)) throw EReadError("Stream read error");

    TMtTreeItem* item;
    if (KindHasRecord(rec.Kind)) {
      item = doc.AddItem(parent, text, &rec, rec.Kind, rec.Code);
      item->SetText(text);  // a day's stored text replaces "День %d"
    } else {
      item = AddBareItem(doc, parent, text);
    }
    item->ColumnText().SetString(rcComment, comment);
    path.resize(depth);
    path.push_back(item);
  }
}

void ReadV3(TRationDocument& doc, TStream& s, TLoadedHeader& h) {
  const std::uint8_t type = ReadHeader(s, h);
  doc.Mans = h.Mans;  // the rows show the group weights
  doc.SetRationType(type);
  ReadItemsV3(doc, s);
  h.Days = doc.DayCounter;
  SumDays(doc);
}

// ---------------------------------------------------------------------------------
// Version 2

// The ration tree's item stream, read by the store with the item-load handler of this
// unit in place for the time of the reading.
void ReadItemStream(TRationDocument& doc, TStream& s) {
  TCustomMtTree& tree = doc.Tree();
  TItemSaveEvent saved = std::move(tree.OnItemLoad);
  tree.OnItemLoad = [&doc](TObject*, TStream& stream, TMtTreeItem* item) { tvEatMenuItemLoad(doc, stream, item); };
  try {
    doc.Items()->LoadFromStream(s);
  } catch (...) {
    tree.OnItemLoad = std::move(saved);
    throw;
  }
  tree.OnItemLoad = std::move(saved);
}

void ReadV2(TRationDocument& doc, TStream& s, TLoadedHeader& h) {
  const std::uint8_t type = ReadHeader(s, h);
  doc.Mans = h.Mans;
  doc.SetRationType(type);
  ReadItemStream(doc, s);
  // The stored days are the day counter and the days shown, whatever the tree holds.
  if (h.Days < 0) h.Days = 0;
  doc.DayCounter = h.Days;
}

// ---------------------------------------------------------------------------------
// Version 1

constexpr int kV1RecordSize = 87;
constexpr int kV1ProductHeaderSize = 20;
constexpr int kV1ProductSize = 111;

struct TV1Product {
  AnsiString Name;
  TFoodRec Rec;
};

void ReadV1(TRationDocument& doc, TStream& s, TLoadedHeader& h, const TRationLimits& currentLimits) {
  h.Header.Title = ReadShortString(s);
  h.Header.Author = ReadShortString(s);
  unsigned char a[kV1RecordSize], b[kV1RecordSize];
  s.ReadBuffer(a, kV1RecordSize);
  s.ReadBuffer(b, kV1RecordSize);
  h.Header.TourName = NameAt(a, 12) + "; " + NameAt(b, 12);
  h.Header.RefCal = Int32At(b, 53);
  h.Header.RefAlb = Finite(ExtendedToDouble(b + 57));
  h.Header.RefFat = Finite(ExtendedToDouble(b + 67));
  h.Header.RefCarb = Finite(ExtendedToDouble(b + 77));
  h.Header.Limits = currentLimits;

  const std::int32_t days = s.ReadInt32();
  h.Mans = MansFromFile(s.ReadInt32());
  doc.Mans = h.Mans;
  const std::int32_t lines = s.ReadInt32();
  s.CheckCount(lines, 1);
  TStringList description;
  for (std::int32_t i = 0; i < lines; ++i) description.Add(ReadShortString(s));
  // The memo's text: its lines joined by CR LF.
  AnsiString text = description.Text();
  if (text.size() >= 2) text.resize(text.size() - 2);
  h.Header.Description = text;

  unsigned char header[kV1ProductHeaderSize];
  s.ReadBuffer(header, kV1ProductHeaderSize);
  const std::int32_t count = Int32At(header, 16);
  s.CheckCount(count, kV1ProductSize);
  std::vector<TV1Product> products;
  for (std::int32_t i = 0; i < count; ++i) {
    unsigned char p[kV1ProductSize];
    s.ReadBuffer(p, kV1ProductSize);
    if ((p[8] & 1) != 0) continue;  // deleted
    TV1Product product{NameAt(p, 12), TFoodRec{}};
    TFoodRec& r = product.Rec;
    r.Code = Int32At(p, 0);
    r.Kind = fkProduct;
    r.AlbV = Finite(ExtendedToDouble(p + 53));  // vegetable before animal
    r.AlbA = Finite(ExtendedToDouble(p + 63));
    r.FatV = Finite(ExtendedToDouble(p + 73));
    r.FatA = Finite(ExtendedToDouble(p + 83));
    r.Carb = Finite(ExtendedToDouble(p + 93));
    r.Cal = Int32At(p, 103);
    r.Veight = Int32At(p, 107);
    products.push_back(std::move(product));
  }
  // Every product goes into every day.
  if (days < 0 || days > kRationMaxDays ||
      static_cast<std::int64_t>(days) * (1 + static_cast<std::int64_t>(products.size())) > kRationMaxItems)
    throw EReadError("Stream read error");

  // An average daily ration; set first, so that the products take its colours.
  doc.SetRationType(rtAverage);
  std::vector<TMtTreeItem*> dayItems;
  while (doc.DayCounter < days) dayItems.push_back(doc.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0));
  h.Days = doc.DayCounter;
  for (const TV1Product& product : products)
    for (TMtTreeItem* day : dayItems) doc.AddItem(day, product.Name, &product.Rec, fkProduct, product.Rec.Code);
  SumDays(doc);
}

// ---------------------------------------------------------------------------------

const AnsiString& UnknownFormatText() {
  static const AnsiString text = Ansi("Неизвестный или неверный формат файла\r%s");
  return text;
}
const AnsiString& ReadErrorText() {
  static const AnsiString text = Ansi("Невозможно прочитать файл\r%s");
  return text;
}
const AnsiString& WriteErrorText() {
  static const AnsiString text = Ansi("Невозможно записать файл\r");
  return text;
}
const AnsiString& ChangedOnDiskText() {
  static const AnsiString text = Ansi(
      "Файл\r%s\rбыл изменен другой программой или другим пользователем после того, как он был открыт здесь.\r"
      "Записать раскладку поверх него? Изменения, сделанные в нем, будут потеряны.");
  return text;
}
const AnsiString& BackupErrorText() {
  static const AnsiString text = Ansi("Невозможно создать резервную копию файла\r%s\rРаскладка не сохранена.");
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Food records

TFoodRec ReadFoodRec(TStream& s) {
  TFoodRec r;
  r.Code = s.ReadInt32();
  r.Owner = s.ReadInt32();
  r.Flags = s.ReadInt32();
  r.Kind = s.ReadInt32();
  r.Cal = s.ReadInt32();
  r.AlbA = ReadFinite(s);
  r.AlbV = ReadFinite(s);
  r.FatA = ReadFinite(s);
  r.FatV = ReadFinite(s);
  r.Carb = ReadFinite(s);
  r.Veight = s.ReadInt32();
  return r;
}

void WriteFoodRec(TStream& s, const TFoodRec& r) {
  s.WriteInt32(r.Code);
  s.WriteInt32(r.Owner);
  s.WriteInt32(r.Flags);
  s.WriteInt32(r.Kind);
  s.WriteInt32(r.Cal);
  s.WriteDouble(r.AlbA);
  s.WriteDouble(r.AlbV);
  s.WriteDouble(r.FatA);
  s.WriteDouble(r.FatV);
  s.WriteDouble(r.Carb);
  s.WriteInt32(r.Veight);
}

namespace {

// The block of an item without a record.
TFoodRec NoRecordBlock() {
  TFoodRec r{};
  r.Code = -1;
  r.Owner = -1;
  r.Flags = -2;
  r.Kind = fkRefRow;
  return r;
}

}  // namespace

void tvEatMenuItemSave(TStream& Stream, const TMtTreeItem* Item) {
  const TFoodRec* rec = FoodRecOf(Item);
  WriteFoodRec(Stream, rec != nullptr ? *rec : NoRecordBlock());
}

void tvEatMenuItemLoad(TRationDocument& Doc, TStream& Stream, TMtTreeItem* Item) {
  const TFoodRec rec = ReadFoodRec(Stream);
  if (Item == nullptr || Item->IsRoot()) return;
  if (Item->GetLevel() >= kRationMaxLevels) throw EReadError("Stream read error");
  // Older writers stored fewer column texts; every ration row has all of them.
  TStringList& texts = Item->ColumnText();
  while (texts.Count() < kRationColumnCount) texts.Add(AnsiString());
  if (KindHasRecord(rec.Kind)) Doc.AttachRecord(Item, rec);
}

// ---------------------------------------------------------------------------------
// Extended reals

double ExtendedToDouble(const unsigned char* b) {
  std::uint64_t m = 0;
  for (int i = 7; i >= 0; --i) m = m << 8 | b[i];
  const unsigned se = static_cast<unsigned>(b[8]) | static_cast<unsigned>(b[9]) << 8;
  const bool negative = (se & 0x8000) != 0;
  const int e = static_cast<int>(se & 0x7FFF);
  double result;
  if (e == 0x7FFF) {
    // Infinities have no fraction bits below the integer bit; everything else is NaN.
    result = (m << 1) == 0 ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
  } else if (m == 0) {
    result = 0.0;
  } else {
    // value = m * 2^exp2 with m normalised to [2^63, 2^64); denormals (e = 0) have the
    // exponent of e = 1.
    int exp2 = (e == 0 ? 1 : e) - 16383 - 63;
    const int shift = std::countl_zero(m);
    m <<= shift;
    exp2 -= shift;
    // The value lies in [2^(exp2 + 63), 2^(exp2 + 64)). A double keeps 53 bits, fewer
    // when the value is below the smallest normal 2^-1022.
    const int top = exp2 + 63;
    int keep = 53;
    if (top < -1022) keep -= -1022 - top;
    if (keep < 0) {
      result = 0.0;  // below half the smallest denormal
    } else {
      const int drop = 64 - keep;  // 11 .. 64
      std::uint64_t q;
      bool up;
      if (drop == 64) {
        q = 0;
        up = m > (std::uint64_t{1} << 63);  // a tie goes to the even 0
      } else {
        q = m >> drop;
        const std::uint64_t rest = m & ((std::uint64_t{1} << drop) - 1);
        const std::uint64_t half = std::uint64_t{1} << (drop - 1);
        up = rest > half || (rest == half && (q & 1) != 0);
      }
      if (up) ++q;
      // q has at most 54 bits: exact as a double, and the scaling is exact (or
      // overflows to infinity).
      result = std::ldexp(static_cast<double>(q), exp2 + drop);
    }
  }
  return negative ? -result : result;
}

// ---------------------------------------------------------------------------------
// Reading

namespace {

std::int32_t RationFileVersionOf(const char* head) {
  std::uint32_t v = 0;
  for (int i = 7; i >= 4; --i) v = v << 8 | static_cast<unsigned char>(head[i]);
  return static_cast<std::int32_t>(v);
}

// The first 8 bytes of a document: the signature and a version that is read.
bool IsRationFileHead(const char* head) {
  const std::int32_t version = RationFileVersionOf(head);
  return std::memcmp(head, kRationSignature, 4) == 0 && version >= 1 && version <= 3;
}

}  // namespace

TRationLoadResult ReadRation(TRationDocument& Doc, TStream& Stream, const TRationLimits& CurrentLimits) {
  const std::uint8_t oldType = Doc.RationType();
  const std::uint8_t oldReady = Doc.DocumentReady;
  const std::uint8_t oldModified = Doc.Modified;
  const std::int32_t oldMans = Doc.Mans;
  TRationLoadResult result = rlReadError;
  TLoadedHeader h;
  Doc.DocumentReady = 0;  // deleting the old days must not lower Days
  try {
    TMtUpdateBracket bracket(&Doc.Tree());
    Doc.Items()->Clear();
    Doc.DayCounter = 0;
    char head[8];
    Stream.ReadBuffer(head, 8);
    const std::int32_t version = RationFileVersionOf(head);
    if (!IsRationFileHead(head)) {
      result = rlUnknownFormat;
    } else {
      // The reference shares are not stored: they stay the document's.
      h.Header.Limits = Doc.Header.Limits;
      switch (version) {
        case 1:
          ReadV1(Doc, Stream, h, CurrentLimits);
          break;
        case 2:
          ReadV2(Doc, Stream, h);
          break;
        default:
          ReadV3(Doc, Stream, h);
          break;
      }
      // A document ends with its last item: anything after it is damage (or something
      // else written over the file's end), not a document to be saved over later.
      if (Stream.Position() != Stream.Size()) throw EReadError("Stream read error");
      result = rlOk;
    }
  } catch (const std::exception&) {
    result = rlReadError;
  }

  if (result != rlOk) {
    // Nothing of a document that could not be read stays behind.
    {
      TMtUpdateBracket bracket(&Doc.Tree());
      Doc.Items()->Clear();
    }
    Doc.DayCounter = 0;
    Doc.SetRationType(oldType);
    Doc.Mans = oldMans;
    Doc.DocumentReady = oldReady;
    Doc.Modified = oldModified;
    return result;
  }
  Doc.Header = std::move(h.Header);
  Doc.Mans = h.Mans;
  Doc.Days = h.Days;
  Doc.Caption = Doc.Header.Title;
  Doc.SetRecalcFlags();
  Doc.Modified = 0;
  Doc.DocumentReady = 1;
  return rlOk;
}

TRationLoadResult LoadRationFromFile(TRationDocument& Doc, const AnsiString& FileName,
                                     const TRationLimits& CurrentLimits, IRationFileMessages& Messages) {
  Doc.FileName = FileName;
  TRationLoadResult result;
  try {
    // The signature and the size first: a file of another kind, or one larger than any
    // document, is refused before it is read into memory.
    TFileStream file(FileName, fmOpenRead);
    char head[8];
    if (file.Read(head, 8) != 8) {
      result = rlReadError;  // cut short before its version
    } else if (!IsRationFileHead(head)) {
      result = rlUnknownFormat;
    } else if (std::string bytes; file.Size() > kRationMaxFileSize ||
                                  (file.SetPosition(0), !ReadStreamUpTo(file, kRationMaxFileSize, bytes))) {
      result = rlReadError;
    } else {
      TMemoryStream data;
      data.WriteString(bytes);
      data.SetPosition(0);
      result = ReadRation(Doc, data, CurrentLimits);
      Doc.FileStamp = result == rlOk ? StampOfBytes(data.Memory(), data.Size()) : TFileStamp{};
    }
    // A ration without a title is named by its file, as after saving it: a window
    // without a caption could not be told from the others.
    if (result == rlOk && Doc.Caption.empty()) Doc.Caption = FileName;
  } catch (const std::exception&) {
    result = rlReadError;
  }
  if (result != rlOk)
    Messages.ShowError(Format(result == rlUnknownFormat ? UnknownFormatText() : ReadErrorText(), {FileName}));
  return result;
}

// ---------------------------------------------------------------------------------
// Writing

void WriteRation(const TRationDocument& Doc, TStream& Stream) {
  const TRationHeader& h = Doc.Header;
  Stream.WriteBuffer(kRationSignature, 4);
  Stream.WriteInt32(kRationFileVersion);
  WriteLongString(Stream, h.Title);
  WriteLongString(Stream, h.Author);
  WriteLongString(Stream, h.TourName);
  Stream.WriteInt32(Doc.Days);
  Stream.WriteInt32(Doc.Mans);
  WriteLongString(Stream, h.Description);
  Stream.WriteInt32(h.RefCal);
  Stream.WriteDouble(h.RefAlb);
  Stream.WriteDouble(h.RefFat);
  Stream.WriteDouble(h.RefCarb);
  Stream.WriteDouble(h.Limits.MaxAbsEnDef);
  Stream.WriteDouble(h.Limits.MaxRelEnDef);
  Stream.WriteDouble(h.Limits.AlbAVmin);
  Stream.WriteDouble(h.Limits.FatAVMin);
  Stream.WriteDouble(h.Limits.FatAVmax);
  Stream.WriteByte(Doc.RationType());
  Stream.WriteInt32(Doc.Items()->Count());

  // Pre-order with an explicit path: (item, index of the next child to visit).
  std::vector<std::pair<const TMtTreeItem*, int>> path;
  path.emplace_back(Doc.Items()->Root(), 0);
  while (!path.empty()) {
    auto& [parent, next] = path.back();
    if (next >= parent->GetChildrenCount()) {
      path.pop_back();
      continue;
    }
    const TMtTreeItem* item = parent->GetChildren(next++);
    Stream.WriteInt32(static_cast<std::int32_t>(path.size() - 1));
    tvEatMenuItemSave(Stream, item);
    WriteLongString(Stream, item->Text());
    const TStringList& texts = item->ColumnText();
    WriteLongString(Stream, texts.Count() > rcComment ? texts[rcComment] : AnsiString());
    path.emplace_back(item, 0);
  }
}

void RemoveRationSaveLeftovers(const AnsiString& Dir) { RemoveStaleSaveFiles(Dir, {kRationFileExt, kRationBackupExt}); }

bool SaveRationToFile(TRationDocument& Doc, const AnsiString& FileName, bool CreateBakFiles,
                      IRationFileMessages& Messages) {
  const AnsiString own = ExpandFileName(Doc.FileName);
  const bool ownFile = !Doc.FileName.empty() && (FileName.empty() || ExpandFileName(FileName) == own);
  const AnsiString name = FileName.empty() ? Doc.FileName : FileName;
  // Over its own file, what another program wrote there since is not lost unasked. The
  // comparison and the replacement are made under the file's save lock, so that no other
  // copy of the program replaces the file between them. The question is asked without
  // the lock; Да lets that state of the file be replaced, and a file changed once more
  // meanwhile is asked about again.
  TFileStamp expected = ownFile ? Doc.FileStamp : TFileStamp{};
  if (!ownFile && !FileName.empty()) {
    Doc.FileStamp = {};  // another file: what the dialog let be replaced
    Doc.FileName = FileName;
    Doc.Caption = FileName;
  }
  TFileStamp written;
  for (;;) {
    TFileStamp changed;  // taken: the file holds this instead of what is expected
    try {
      if (name.empty()) throw EFCreateError("No file name");
      const TFileSaveLock lock(name);
      const AnsiString target = lock.Target();
      if (expected.Taken() && FileExists(target)) {
        const TFileStamp onDisk = StampOfFiles({target});
        if (onDisk != expected) changed = onDisk;
      }
      if (!changed.Taken()) {
        if (!FileName.empty()) {
          Doc.FileName = FileName;
          Doc.Caption = FileName;
        }
        RemoveRationSaveLeftovers(ExtractFilePath(target));
        TMemoryStream data;
        WriteRation(Doc, data);
        written = StampOfBytes(data.Memory(), data.Size());
        if (CreateBakFiles && FileExists(target)) {
          // The backup is a copy beside the file: the document itself stays in place
          // until the new one replaces it.
          const AnsiString backup = ChangeFileExt(target, kRationBackupExt);
          if (!CopyFile(target, backup)) {
            Messages.ShowError(Format(BackupErrorText(), {backup}));
            return false;
          }
        }
        SaveFileAtomically(lock, [&](TStream& out) { out.WriteBuffer(data.Memory(), data.Size()); });
        break;
      }
    } catch (const std::exception&) {
      Messages.ShowError(WriteErrorText() + name);
      return false;
    }
    if (!Messages.Confirm(Format(ChangedOnDiskText(), {own}))) return false;
    expected = changed;
  }
  Doc.Modified = 0;
  Doc.FileStamp = written;
  return true;
}
