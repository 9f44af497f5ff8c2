// A tree that logs its events, and trees written as text: "A(A1(A11),A2),B" is two
// top-level items A and B, A with the children A1 (which holds A11) and A2.
#pragma once

#include <string>
#include <vector>

#include "controls/tree/MtTree.h"

class LogTree : public TCustomMtTree {
 public:
  LogTree() {
    OnItemChange = [this](TObject*, TMtTreeItem* item, int mode) {
      Log("change " + Name(item) + " " + std::to_string(mode));
    };
    OnItemDeletion = [this](TObject*, TMtTreeItem* item) { Log("delete " + Name(item)); };
    OnItemExpanding = [this](TObject*, TMtTreeItem* item, bool& can) {
      Log("expanding " + Name(item));
      can = item->Text() != refuse;
    };
    OnItemExpand = [this](TObject*, TMtTreeItem* item) { Log("expand " + Name(item)); };
    OnItemCollapsing = [this](TObject*, TMtTreeItem* item, bool& can) {
      Log("collapsing " + Name(item));
      can = item->Text() != refuse;
    };
    OnItemCollapse = [this](TObject*, TMtTreeItem* item) { Log("collapse " + Name(item)); };
    OnItemSelectedChange = [this](TObject*, TMtTreeItem* item) {
      Log("selected " + Name(item) + (item->GetState(isSelected) ? " on" : " off"));
    };
    OnItemFocused = [this](TObject*) { Log("focused " + Name(ItemFocused())); };
  }
  ~LogTree() override { DestroyItems(); }

  static std::string Name(const TMtTreeItem* item) { return item != nullptr ? item->Text() : "nil"; }
  void Log(const std::string& s) {
    if (logging) log.push_back(s);
  }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }

  // The deferred work, counted.
  void DefineLineHeight() override { ++lineHeightRuns; }
  void UpdateColumnWidth() override { ++columnWidthRuns; }
  void VisibleRowsChanged() override { ++rowRuns; }
  void UpdateScrollBars() override { ++scrollBarRuns; }
  void SortItemChildren(TMtTreeItem* parent, bool recursive) override {
    sorted.push_back((parent->IsRoot() ? std::string("<root>") : parent->Text()) + (recursive ? " r" : ""));
  }
  int SectionCount() const override { return sections; }

  using TCustomMtTree::DestroyItems;

  bool logging = true;
  std::string refuse;  // expanding or collapsing this item is refused
  std::vector<std::string> log;
  std::vector<std::string> sorted;
  int sections = 0;
  int lineHeightRuns = 0;
  int columnWidthRuns = 0;
  int rowRuns = 0;
  int scrollBarRuns = 0;
};

// Builds the items of a text like "A(A1,A2),B" under parent (nil: top level).
inline std::size_t BuildItems(TCustomMtTree& tree, TMtTreeItem* parent, const std::string& text,
                              std::size_t pos = 0) {
  TMtTreeItem* last = nullptr;
  std::string name;
  auto flush = [&] {
    if (!name.empty()) last = tree.Items()->AddChild(parent, name);
    name.clear();
  };
  while (pos < text.size()) {
    char c = text[pos++];
    if (c == '(') {
      flush();
      pos = BuildItems(tree, last, text, pos);
    } else if (c == ')') {
      flush();
      return pos;
    } else if (c == ',') {
      flush();
    } else {
      name += c;
    }
  }
  flush();
  return pos;
}

// The tree as the same text.
inline std::string Dump(const TMtTreeItem* parent) {
  std::string out;
  for (int i = 0; i < parent->GetChildrenCount(); ++i) {
    const TMtTreeItem* child = parent->GetChildren(i);
    if (i > 0) out += ",";
    out += child->Text();
    if (child->GetHasChildren()) out += "(" + Dump(child) + ")";
  }
  return out;
}
inline std::string Dump(const TCustomMtTree& tree) { return Dump(tree.Items()->Root()); }

inline TMtTreeItem* Find(const TCustomMtTree& tree, const std::string& text) {
  if (text.empty()) return nullptr;
  return tree.Items()->FindItem(nullptr, [&text](TMtTreeItem* item) { return item->Text() == text; }, true,
                                false);
}

// Every item in pre-order, by following the children lists.
inline void PreOrder(TMtTreeItem* parent, std::vector<TMtTreeItem*>& out, bool visibleOnly, bool filtered) {
  for (int i = 0; i < parent->GetChildrenCount(); ++i) {
    TMtTreeItem* child = parent->GetChildren(i);
    if (visibleOnly && filtered && child->Hidden()) continue;
    out.push_back(child);
    if (!visibleOnly || child->GetExpanded()) PreOrder(child, out, visibleOnly, filtered);
  }
}
