#include "planner/ration/RationClip.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "planner/app/Globals.h"
#include "planner/ration/RationFile.h"
#include "platform/core/SysUtils.h"

namespace {

AnsiString Escape(std::string_view s) {
  AnsiString out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

AnsiString Unescape(std::string_view s) {
  AnsiString out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    switch (s[i + 1]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: out += s[i]; continue;  // not an escape: the backslash stays
    }
    ++i;
  }
  return out;
}

// The shortest text that reads back as the same double, with ".".
AnsiString ExactFloat(double v) {
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? AnsiString(buf, end) : AnsiString("0");
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

// Non-empty lines, split at CR and LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::int32_t KindOf(const TMtTreeItem* item) {
  const TFoodRec* rec = FoodRecOf(item);
  return rec != nullptr ? rec->Kind : fkRefRow;
}

// The root Kind of a fragment's header; false when the text is no fragment.
bool HeaderRootKind(std::string_view text, std::int32_t& kind) {
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) return false;
  const std::vector<std::string_view> f = SplitFields(lines.front());
  std::int32_t version = 0;
  if (f.size() < 3 || f[0] != kClipSignature || !TextToInt(f[1], version) || version != 1) return false;
  if (!TextToInt(f[2], kind)) return false;
  return static_cast<std::uint32_t>(kind) <= static_cast<std::uint32_t>(fkDay);
}

}  // namespace

AnsiString ClipHeader(const TMtTreeItem* Root) {
  return Format("%s\t%d\t%d\t%d\r\n", {AnsiString(kClipSignature), 1, KindOf(Root), Root->GetLevel()});
}

AnsiString ItemToLine(const TMtTreeItem* Item) {
  TFoodRec rec{};
  if (const TFoodRec* r = FoodRecOf(Item)) rec = *r;
  const TStringList& texts = Item->ColumnText();
  const AnsiString comment = texts.Count() > rcComment ? texts[rcComment] : AnsiString();
  AnsiString line = Format("%d\t%s\t%d\t%d\t%d\t%d\t%d\t", {Item->GetLevel(), Escape(Item->Text()), rec.Code,
                                                             rec.Owner, rec.Flags, rec.Kind, rec.Cal});
  for (double v : {rec.AlbA, rec.AlbV, rec.FatA, rec.FatV, rec.Carb}) line += ExactFloat(v) + "\t";
  line += Format("%d\t", {rec.Veight});
  line += Escape(comment);
  line += "\r\n";
  return line;
}

AnsiString SubtreeToText(const TMtTreeItem* Item) {
  AnsiString text = ItemToLine(Item);
  for (int i = 0; i < Item->GetChildrenCount(); ++i) text += SubtreeToText(Item->GetChildren(i));
  return text;
}

AnsiString FragmentText(const TMtTreeItem* Root) { return ClipHeader(Root) + SubtreeToText(Root); }

bool ParseItemLine(std::string_view Line, TClipItem& Item) {
  const std::vector<std::string_view> f = SplitFields(Line);
  if (f.size() != 14) return false;
  // The record is packed: its fields are read into aligned locals first.
  std::int32_t level = 0, ints[5] = {}, veight = 0;
  double values[5] = {};
  if (!TextToInt(f[0], level) || !TextToInt(f[12], veight)) return false;
  for (int i = 0; i < 5; ++i)
    if (!TextToInt(f[2 + i], ints[i]) || !TextToFloat(f[7 + i], values[i])) return false;
  if (level < 0 || level >= kRationMaxLevels) return false;
  if (static_cast<std::uint32_t>(ints[3]) > static_cast<std::uint32_t>(fkDay) || veight < 0) return false;
  TClipItem it;
  TFoodRec& r = it.Rec;
  it.Level = level;
  r.Code = ints[0];
  r.Owner = ints[1];
  r.Flags = ints[2];
  r.Kind = ints[3];
  r.Cal = ints[4];
  r.AlbA = values[0];
  r.AlbV = values[1];
  r.FatA = values[2];
  r.FatV = values[3];
  r.Carb = values[4];
  r.Veight = veight;
  it.Name = Unescape(f[1]);
  it.Comment = Unescape(f[13]);
  Item = std::move(it);
  return true;
}

bool KindAccepts(std::int32_t TargetKind, std::int32_t RootKind) {
  switch (TargetKind) {
    case fkDay: return RootKind == fkProduct || RootKind == fkMeal || RootKind == fkDay;
    case fkMeal: return RootKind == fkProduct || RootKind == fkDish;
    case fkDish: return RootKind == fkProduct;
    default: return false;
  }
}

bool CanPaste(std::string_view Text, const TMtTreeItem* Target) {
  std::int32_t kind = 0;
  if (!HeaderRootKind(Text, kind)) return false;
  return Target != nullptr ? KindAccepts(KindOf(Target), kind) : kind == fkDay;
}

bool CanDropOn(const TMtTreeItem* Source, const TMtTreeItem* Target) {
  if (Source == nullptr || Target == nullptr || Target == Source || Target == Source->GetParent()) return false;
  if (Source->Tree() == Target->Tree() && Target->IsUnder(Source)) return false;
  return KindAccepts(KindOf(Target), KindOf(Source));
}

TMtTreeItem* PasteText(TRationDocument& Doc, std::string_view Text, TMtTreeItem* Target) {
  std::int32_t rootKind = 0;
  if (!CanPaste(Text, Target) || !HeaderRootKind(Text, rootKind)) return nullptr;
  const std::vector<std::string_view> lines = SplitLines(Text);
  TMtTreeItem* anchor = Target;
  TMtTreeItem* current = Target;
  TMtTreeItem* first = nullptr;
  TMtTreeItem* scope = Target;  // every line of the fragment goes below it
  TCustomMtTree& tree = Doc.Tree();
  {
    TMtUpdateBracket bracket(&tree);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      TClipItem line;
      if (!ParseItemLine(lines[i], line)) continue;
      TMtTreeItem* added = nullptr;
      if (first == nullptr && (Target == nullptr || KindOf(Target) == fkDay) && rootKind == fkDay) {
        // A day onto a day: a new day before the target, numbered like any new day; with
        // no target, the last day.
        if (line.Rec.Kind != fkDay) continue;
        added = Doc.AddItem(Target, AnsiString(), nullptr, fkDay, 0);
        added->ColumnText().SetString(rcComment, line.Comment);
        anchor = scope = added;
        Doc.Days = Doc.DayCounter;
        Doc.RenumberDays();
        tree.SetItemFocused(added);
      } else {
        // The parent by level: the current item when it lies above the line's level, else
        // its ancestor one level above the line. So does the root, except a product onto
        // a meal, which goes right below the meal: a root from a deeper level than the
        // target goes below it, one from the target's level or above goes beside it.
        if (first == nullptr && line.Rec.Kind != rootKind) continue;
        if (line.Rec.Kind == fkDay) continue;  // days live only at the top level
        TMtTreeItem* parent = nullptr;
        if ((first == nullptr && KindOf(Target) == fkMeal && rootKind == fkProduct) ||
            current->GetLevel() < line.Level) {
          parent = current;
        } else {
          for (TMtTreeItem* p = current->GetParent(); p != nullptr; p = p->GetParent())
            if (p->GetLevel() == line.Level - 1) {
              parent = p;
              break;
            }
        }
        if (parent == nullptr || (first != nullptr && !parent->IsUnder(scope))) continue;
        if (first == nullptr) scope = parent;
        added = Doc.AddItem(parent, line.Name, &line.Rec, line.Rec.Kind, line.Rec.Code);
        added->ColumnText().SetString(rcComment, line.Comment);
      }
      if (first == nullptr) first = added;
      current = added;
    }
    if (first != nullptr) {
      TMtTreeItem* day = anchor;
      while (day->GetParent() != nullptr) day = day->GetParent();
      Doc.SumGroup(day, false);
      anchor->SetExpanded(true);
    }
  }
  if (first != nullptr) {
    Doc.SetRecalcFlags();
    Doc.Modified = 1;
  }
  return first;
}
