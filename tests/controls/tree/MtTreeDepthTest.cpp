// Trees of any depth: a chain of 100,000 levels expands and collapses recursively, is
// copied, loses a subtree and goes with its tree, with every event in its order and
// without deep recursion; levels follow moves.
#include <gtest/gtest.h>

#include "controls/tree/MtTree.h"

namespace {

constexpr int kDepth = 100000;

// A chain: each item the only child of the one before; returns the deepest.
TMtTreeItem* Chain(TCustomMtTree& tree, TMtTreeItem* parent, int depth) {
  TMtUpdateBracket bracket(&tree);
  for (int i = 0; i < depth; ++i) parent = tree.Items()->AddChild(parent, std::to_string(i));
  return parent;
}

TEST(MtTreeDepth, AHundredThousandLevelsExpandCollapseCopyAndGo) {
  int expanded = 0, deleted = 0;
  std::string firstDeleted, lastDeleted;
  {
    TCustomMtTree tree;
    tree.OnItemExpand = [&](TObject*, TMtTreeItem*) { ++expanded; };
    tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
      if (deleted++ == 0) firstDeleted = item->Text();
      lastDeleted = item->Text();
    };
    TMtTreeItem* deepest = Chain(tree, nullptr, kDepth);
    TMtTreeItem* top = tree.Items()->GetItem(0);
    ASSERT_EQ(deepest->GetLevel(), kDepth - 1);

    top->Expand(true);
    EXPECT_EQ(expanded, kDepth);
    EXPECT_EQ(tree.VisibleRows().size(), static_cast<std::size_t>(kDepth));
    top->Collapse(true);
    EXPECT_FALSE(deepest->GetExpanded());
    EXPECT_EQ(tree.VisibleRows().size(), 1u);

    // A copy of the whole chain, in another tree.
    {
      TCustomMtTree copy;
      copy.Items()->Assign(tree.Items());
      EXPECT_EQ(copy.Items()->Count(), kDepth);
      EXPECT_EQ(copy.Items()->GetItem(kDepth - 1)->GetLevel(), kDepth - 1);
    }

    // Deleting the lower half: deepest first, the item itself last.
    tree.Items()->GetItem(kDepth / 2)->Delete();
    EXPECT_EQ(tree.Items()->Count(), kDepth / 2);
    EXPECT_EQ(deleted, kDepth / 2);
    EXPECT_EQ(firstDeleted, std::to_string(kDepth - 1));
    EXPECT_EQ(lastDeleted, std::to_string(kDepth / 2));
    deleted = 0;
  }
  // The tree went with the rest, deepest first.
  EXPECT_EQ(deleted, kDepth / 2);
  EXPECT_EQ(firstDeleted, std::to_string(kDepth / 2 - 1));
  EXPECT_EQ(lastDeleted, "0");
}

TEST(MtTreeDepth, LevelsFollowMoves) {
  TCustomMtTree tree;
  TMtTreeItem* a = tree.Items()->AddChild(nullptr, "A");
  TMtTreeItem* deepest = Chain(tree, a, 5);  // A, 0 .. 4
  TMtTreeItem* b = tree.Items()->AddChild(nullptr, "B");
  TMtTreeItem* two = deepest->GetParent()->GetParent();
  ASSERT_EQ(two->Text(), "2");
  EXPECT_EQ(deepest->GetLevel(), 5);
  two->MoveTo(b);  // 2, 3, 4 under B
  EXPECT_EQ(two->GetLevel(), 1);
  EXPECT_EQ(deepest->GetLevel(), 3);
  two->MoveTo(nullptr);
  EXPECT_EQ(two->GetLevel(), 0);
  EXPECT_EQ(deepest->GetLevel(), 2);
  EXPECT_EQ(b->GetLevel(), 0);
}

}  // namespace
