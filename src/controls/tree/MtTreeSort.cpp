// Sorting of the tree: the comparison of two items by the sort section's field type and
// sort mark, the sort of a children list, and the tree's reaction to a header click.
#include <charconv>
#include <cstddef>
#include <memory>
#include <vector>

#include "controls/tree/MtTree.h"
#include "platform/core/AnsiCollate.h"
#include "platform/core/DateTime.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }
template <class T>
int Order(T a, T b) {
  return (a > b) - (a < b);
}

TSortTypes SortTypeOf(TFieldTypes type) {
  switch (type) {
    case sftText: return stText;
    case sftNumber: return stNumber;
    case sftFloating: return stFloating;
    case sftDateTime: return stDateTime;
    case sftDate: return stDate;
    case sftTime: return stTime;
    default: return stCustom;
  }
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A decimal 32-bit integer (blanks around it allowed); anything else counts as 0.
std::int32_t NumberOf(std::string_view s) {
  s = TrimBlanks(s);
  if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
  std::int32_t v = 0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  return res.ec == std::errc() && res.ptr == s.data() + s.size() ? v : 0;
}

// A stable merge sort over any comparison: it never reads outside the list and always
// ends, even when the comparison contradicts itself (a user's compare event may). A list
// that is already in order costs one comparison per entry.
template <class T, class Less>
void MergeSort(std::vector<T>& a, Less less) {
  const std::size_t n = a.size();
  constexpr std::size_t kRun = 8;
  for (std::size_t lo = 0; lo < n; lo += kRun) {
    const std::size_t hi = std::min(lo + kRun, n);
    for (std::size_t i = lo + 1; i < hi; ++i) {
      T x = a[i];
      std::size_t j = i;
      for (; j > lo && less(x, a[j - 1]); --j) a[j] = a[j - 1];
      a[j] = x;
    }
  }
  std::vector<T> left;
  for (std::size_t width = kRun; width < n; width *= 2) {
    for (std::size_t lo = 0; lo + width < n; lo += 2 * width) {
      const std::size_t mid = lo + width, hi = std::min(lo + 2 * width, n);
      if (!less(a[mid], a[mid - 1])) continue;  // the two halves are in order already
      left.assign(a.begin() + static_cast<std::ptrdiff_t>(lo), a.begin() + static_cast<std::ptrdiff_t>(mid));
      std::size_t i = 0, j = mid, k = lo;
      while (i < left.size() && j < hi) a[k++] = less(a[j], left[i]) ? a[j++] : left[i++];
      while (i < left.size()) a[k++] = left[i++];
    }
  }
}

}  // namespace

// What decides the order, fixed when a comparison or a sort starts.
struct TMtSortRule {
  enum TSource : std::uint8_t { srEvent, srText, srColumn };
  TSource source = srEvent;
  int column = -1;  // index into ColumnText for srColumn
  TSortTypes type = stCustom;
  TMtSSortMode mark = hsmNone;
};

// The value of a text under a numeric rule: a number or a moment; for a floating
// column also whether the text was a number at all.
struct TMtSortValue {
  double value = 0;
  bool valid = false;
};

struct TMtSortRun {
  TMtSortRule rule;
  // A date or time that does not convert counts as the moment the run first met one.
  bool haveNow = false;
  TDateTime now = 0;
  // While a list is sorted by a numeric rule: the value of each child, by its place
  // in the list before the sort (items[i] has values[i]), and the places of the two
  // items being compared.
  std::vector<const TMtTreeItem*> items;
  std::vector<TMtSortValue> values;
  std::size_t places[2] = {0, 0};
};

class TMtTreeSorter {
 public:
  static TMtSortRule Resolve(const TCustomMtTree& tree);
  static int Compare(TCustomMtTree& tree, TMtSortRun& run, TMtTreeItem* a, TMtTreeItem* b);
  static void Sort(TCustomMtTree& tree, TMtTreeItem* parent, bool recursive);

 private:
  static int Event(TCustomMtTree& tree, TMtTreeItem* a, TMtTreeItem* b);
  static const AnsiString& TextOf(const TMtSortRule& rule, const TMtTreeItem* item);
  static TDateTime DateOf(TMtSortRun& run, std::string_view text);
  static bool IsNumeric(TSortTypes type) { return type != stCustom && type != stText; }
  static TMtSortValue ValueOf(TMtSortRun& run, const TMtTreeItem* item, std::size_t place);
  static int CompareTexts(TMtSortRun& run, const TMtTreeItem* a, const TMtTreeItem* b);
  static bool SortChildren(TCustomMtTree& tree, TMtTreeItem* parent, unsigned deletions);
};

TMtSortRule TMtTreeSorter::Resolve(const TCustomMtTree& tree) {
  TMtSortRule rule;
  const int s = tree.SortSection;
  if (s == -1) return rule;
  // A section that does not exist has no mark, and the tree's SortType decides.
  const TMtHeaderSection* section = tree.HeaderSections()->FindByNumber(s);
  const int main = tree.MainColumn();
  if (s == main) {
    rule.source = TMtSortRule::srText;
    if (!tree.ShowColumns()) section = nullptr;
  } else {
    rule.source = TMtSortRule::srColumn;
    rule.column = main < s ? s - 1 : s;
  }
  rule.type = section != nullptr ? SortTypeOf(section->FieldType()) : tree.SortType;
  rule.mark = section != nullptr ? section->SortMode() : hsmNone;
  return rule;
}

int TMtTreeSorter::Event(TCustomMtTree& tree, TMtTreeItem* a, TMtTreeItem* b) {
  int res = 0;
  tree.DoCompareItems(a, b, res);
  return Sign(res);  // any int, even the smallest, may come back
}

const AnsiString& TMtTreeSorter::TextOf(const TMtSortRule& rule, const TMtTreeItem* item) {
  static const AnsiString kEmpty;
  if (item == nullptr) return kEmpty;
  if (rule.source == TMtSortRule::srText) return item->Text();
  const TStringList& texts = item->ColumnText();
  return rule.column >= 0 && rule.column < texts.Count() ? texts[rule.column] : kEmpty;
}

TDateTime TMtTreeSorter::DateOf(TMtSortRun& run, std::string_view text) {
  TDateTime v = 0;
  bool ok = false;
  switch (run.rule.type) {
    case stDate: ok = TryStrToDate(text, v); break;
    case stTime: ok = TryStrToTime(text, v); break;
    default: ok = TryStrToDateTime(text, v); break;
  }
  if (ok) return v;
  if (!run.haveNow) {
    run.now = Now();
    run.haveNow = true;
  }
  return run.now;
}

TMtSortValue TMtTreeSorter::ValueOf(TMtSortRun& run, const TMtTreeItem* item, std::size_t place) {
  if (place < run.items.size() && run.items[place] == item) return run.values[place];
  const AnsiString& text = TextOf(run.rule, item);
  switch (run.rule.type) {
    case stNumber:
      return {static_cast<double>(NumberOf(text)), true};
    case stFloating: {
      TMtSortValue v;
      // A point is the only decimal separator here: "0,7" is not a number.
      v.valid = text.find(',') == AnsiString::npos && TryStrToFloat(text, v.value);
      return v;
    }
    default:
      return {DateOf(run, text), true};
  }
}

int TMtTreeSorter::CompareTexts(TMtSortRun& run, const TMtTreeItem* a, const TMtTreeItem* b) {
  if (!IsNumeric(run.rule.type)) return Sign(AnsiCollateText(TextOf(run.rule, a), TextOf(run.rule, b)));
  const TMtSortValue x = ValueOf(run, a, run.places[0]), y = ValueOf(run, b, run.places[1]);
  if (x.valid && y.valid) return Order(x.value, y.value);
  if (x.valid != y.valid) return x.valid ? 1 : -1;  // a text that is not a number sorts first
  return Sign(AnsiCollateText(TextOf(run.rule, a), TextOf(run.rule, b)));
}

int TMtTreeSorter::Compare(TCustomMtTree& tree, TMtSortRun& run, TMtTreeItem* a, TMtTreeItem* b) {
  const TMtSortRule& rule = run.rule;
  if (rule.source == TMtSortRule::srEvent) {
    const int res = Event(tree, a, b);
    return tree.SortDir == sdDescend ? -res : res;
  }
  int res = 0;
  if (rule.type == stCustom) {
    // The event's answer follows SortDir first; the mark below applies on top of that.
    res = Event(tree, a, b);
    if (tree.SortDir == sdDescend) res = -res;
  } else {
    res = CompareTexts(run, a, b);
  }
  if (rule.mark == hsmDescend || (rule.mark == hsmNone && tree.SortDir == sdDescend)) res = -res;
  return res;
}

bool TMtTreeSorter::SortChildren(TCustomMtTree& tree, TMtTreeItem* parent, unsigned deletions) {
  TMtTreeItem::ChildList& list = parent->children_;
  const std::size_t n = list.size();
  if (n < 2) return false;
  struct Entry {
    TMtTreeItem* item;
    std::size_t slot;
  };
  std::vector<Entry> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = {list[i].get(), i};

  // A numeric rule reads every text once; a comparison of two entries then finds their
  // values by their places (CompareItems checks that it is given those very items).
  TMtSortRun& run = *tree.sortRun_;
  struct Cache {
    TMtSortRun& run;
    ~Cache() { run.items.clear(); }
  } cache{run};
  if (run.rule.source != TMtSortRule::srEvent && IsNumeric(run.rule.type)) {
    run.values.resize(n);
    for (std::size_t i = 0; i < n; ++i) run.values[i] = ValueOf(run, list[i].get(), n);
    run.items.resize(n);
    for (std::size_t i = 0; i < n; ++i) run.items[i] = list[i].get();
  }
  MergeSort(order, [&tree, &run, deletions](const Entry& p, const Entry& q) {
    // Once the compare event has deleted items, the entries may name freed ones: the
    // sort runs out without asking again (its order is not used).
    if (tree.deletions_ != deletions) return false;
    run.places[0] = p.slot;
    run.places[1] = q.slot;
    return tree.CompareItems(p.item, q.item) < 0;
  });
  run.items.clear();

  // The compare event may have changed the tree: the order found then no longer
  // applies, and the items it names may be gone.
  if (tree.deletions_ != deletions || list.size() != n) return false;
  bool moved = false;
  for (std::size_t i = 0; i < n; ++i) {
    if (list[order[i].slot].get() != order[i].item) return false;
    moved = moved || order[i].slot != i;
  }
  if (!moved) return false;
  std::vector<std::unique_ptr<TMtTreeItem>> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[i] = std::move(list[order[i].slot]);
  for (std::size_t i = 0; i < n; ++i) {
    list[i] = std::move(sorted[i]);
    list[i]->indexHint_ = static_cast<int>(i);
  }
  parent->childShift_ = 0;
  return true;
}

void TMtTreeSorter::Sort(TCustomMtTree& tree, TMtTreeItem* parent, bool recursive) {
  if (parent == nullptr) return;
  TMtSortRun run;
  run.rule = Resolve(tree);
  struct Scope {
    TCustomMtTree& tree;
    TMtSortRun* outer;
    ~Scope() { tree.sortRun_ = outer; }
  } scope{tree, tree.sortRun_};
  tree.sortRun_ = &run;

  const unsigned deletions = tree.deletions_;
  bool moved = false;
  std::vector<TMtTreeItem*> pending{parent};  // parents whose children are still to sort
  while (!pending.empty()) {
    TMtTreeItem* p = pending.back();
    pending.pop_back();
    moved = SortChildren(tree, p, deletions) || moved;
    if (tree.deletions_ != deletions) break;  // items were deleted meanwhile: stop
    if (!recursive) break;
    for (std::size_t i = p->children_.size(); i-- > 0;)
      if (p->children_[i]->GetHasChildren()) pending.push_back(p->children_[i].get());
  }
  if (moved) tree.MarkDirty(TCustomMtTree::dfRows);
}

// ---------------------------------------------------------------------------------
// TCustomMtTree: sorting

int TCustomMtTree::CompareItems(TMtTreeItem* Item1, TMtTreeItem* Item2) {
  if (sortRun_ != nullptr) return TMtTreeSorter::Compare(*this, *sortRun_, Item1, Item2);
  TMtSortRun run;
  run.rule = TMtTreeSorter::Resolve(*this);
  return TMtTreeSorter::Compare(*this, run, Item1, Item2);
}

void TCustomMtTree::SortItemChildren(TMtTreeItem* parent, bool recursive) {
  TMtTreeSorter::Sort(*this, parent, recursive);
}

void TCustomMtTree::SortAll(bool recursive) { items_->Root()->Sort(recursive); }

void TCustomMtTree::HeaderSectionClick(TMtHeaderSection* Section) {
  // Only the tree's own columns: a section of another collection means nothing here.
  if (Section == nullptr || sections_->IndexOf(Section) < 0) return;
  const int number = Section->GetIndex();
  if (SortMode == smClick || SortMode == smAddClick) {
    TMtUpdateBracket bracket(this);
    SortSection = number;
    if (Section->SortMode() == hsmNone) Section->SetSortMode(SortDir == sdDescend ? hsmDescend : hsmAscend);
    Section->SetSortMode(Section->SortMode() == hsmAscend ? hsmDescend : hsmAscend);
    SortType = SortTypeOf(Section->FieldType());
    SortAll(true);
    MarkDirty(dfRows | dfScrollBars);
  }
  DoColumnClick(number);
}

void TCustomMtTree::DoCompareItems(TMtTreeItem* item1, TMtTreeItem* item2, int& res) {
  if (OnCompareItems) OnCompareItems(this, item1, item2, res);
}

void TCustomMtTree::DoColumnClick(int sectionIndex) {
  if (OnHeaderColumnClick) OnHeaderColumnClick(this, sectionIndex);
}
