#include "core/lm_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file/lm_file.h"
#include "payload/filenode.h"

namespace {

std::vector<int> Walk(LmList<int>& list) {
  std::vector<int> values;
  for (auto* node = list.GetHead(); node != nullptr; node = node->next) values.push_back(node->value);
  return values;
}

TEST(LmListTest, EmptyListRefusesCursorOperations) {
  LmList<int> list;
  EXPECT_EQ(0, list.MoveFirst());
  EXPECT_EQ(0, list.MoveLast());
  EXPECT_EQ(0, list.MovePrev());
  EXPECT_EQ(0, list.MoveNext());
  EXPECT_EQ(0, list.IsFirst());
  EXPECT_EQ(0, list.IsLast());
  EXPECT_EQ(0, list.Insert(1, 1));
  EXPECT_EQ(0, list.SetCurrent(1));
  EXPECT_EQ(0, list.RemoveCurrent());
  EXPECT_EQ(nullptr, list.GetCurrent());
  EXPECT_EQ(0, list.GetCount());
}

TEST(LmListTest, AddingKeepsTheCursorOnTheFirstNode) {
  LmList<int> list;
  list.AddTail(1);
  ASSERT_NE(nullptr, list.GetCurrent());
  EXPECT_EQ(1, *list.GetCurrent());
  list.AddTail(2);
  list.AddTail(3);
  list.AddHead(0);
  EXPECT_EQ(1, *list.GetCurrent());
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), Walk(list));
  EXPECT_EQ(4, list.GetCount());
  EXPECT_EQ(1, list.MoveLast());
  EXPECT_EQ(0, list.MoveNext());
  EXPECT_EQ(3, *list.GetCurrent());
  EXPECT_EQ(1, list.IsLast());
}

TEST(LmListTest, InsertAndRemoveAtHeadMiddleAndTail) {
  LmList<int> list;
  list.AddTail(2);
  EXPECT_EQ(1, list.Insert(3, 1));  // after the only node: new tail
  EXPECT_EQ(1, list.Insert(1, 0));  // before it: new head
  EXPECT_EQ((std::vector<int>{1, 2, 3}), Walk(list));
  EXPECT_EQ(2, *list.GetCurrent());
  list.MoveLast();
  list.Insert(4, 1);
  list.MoveLast();
  EXPECT_EQ(4, *list.GetCurrent());

  EXPECT_EQ(1, list.RemoveCurrent());  // tail: cursor moves back to the new tail
  EXPECT_EQ(3, *list.GetCurrent());
  EXPECT_EQ(1, list.IsLast());
  list.MovePrev();                     // on 2, a middle node
  EXPECT_EQ(1, list.RemoveCurrent());  // cursor moves forward
  EXPECT_EQ(3, *list.GetCurrent());
  list.MoveFirst();
  EXPECT_EQ(1, list.RemoveCurrent());  // head
  EXPECT_EQ(3, *list.GetCurrent());
  EXPECT_EQ(1, list.IsFirst());
  EXPECT_EQ(1, list.RemoveCurrent());  // the only node
  EXPECT_EQ(0, list.GetCount());
  EXPECT_EQ(nullptr, list.GetCurrent());
  EXPECT_EQ(nullptr, list.GetHead());
  list.AddTail(9);
  EXPECT_EQ((std::vector<int>{9}), Walk(list));
}

TEST(LmListTest, FileNodesAreStoredAsCopies) {
  LmList<FILENODE> list;
  FILENODE node{LmString("\\bin"), 2, 0};
  list.AddTail(node);
  node.path.Assign("\\changed");
  node.size = 99;
  ASSERT_NE(nullptr, list.GetCurrent());
  EXPECT_STREQ("\\bin", list.GetCurrent()->path.GetText());
  EXPECT_EQ(0u, list.GetCurrent()->size);
  list.SetCurrent(FILENODE{LmString("\\x"), 1, 3});
  node.path.Assign("again");
  EXPECT_STREQ("\\x", list.GetCurrent()->path.GetText());
  EXPECT_EQ(3u, list.GetCurrent()->size);
}

TEST(LmListTest, ListsOfPointersNeverReleaseWhatTheyHold) {
  LmFile* file = new LmFile(LmString("x"));
  file->AddRef();
  {
    LmList<LmFile*> list;
    list.AddTail(file);
    list.AddTail(file);
    list.RemoveCurrent();
    list.RemoveAll();
  }
  EXPECT_STREQ("x", file->GetPath().GetText());  // still alive
  EXPECT_EQ(0u, file->Release());
}

}  // namespace
