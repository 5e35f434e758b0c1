// List view operations against the common controls' real list view.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/control.h"

namespace sentrova {
namespace {

class ListViewTest : public ::testing::Test {
 protected:
  ListViewTest() : form_(ControlKind::Form, nullptr, "list"), list_(form_.Add(ControlKind::Listview)) {
    form_.SetSize(500, 352);
    list_.SetBounds(3, 3, 488, 280);
    list_.SetListExStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  }

  UINT RawStateImage(int row) {
    return static_cast<UINT>(::SendMessageA(list_.Handle(), LVM_GETITEMSTATE, row,
                                            LVIS_STATEIMAGEMASK)) >>
           12;
  }

  TControl form_;
  TControl& list_;
};

TEST_F(ListViewTest, ColumnsAreCountedAndKeepTheirWidths) {
  EXPECT_FALSE(list_.HasHandle());
  EXPECT_EQ(list_.AddColumn("Revert", ColumnAlign::Center, 55), 0);
  EXPECT_TRUE(list_.HasHandle()) << "a column needs the window";
  EXPECT_EQ(list_.AddColumn("Old", ColumnAlign::Left, 70), 1);
  EXPECT_EQ(list_.AddColumn("Changed"), 2);  // no width given
  EXPECT_EQ(list_.ColumnCount(), 3);

  char classText[64] = {};
  ::GetClassNameA(list_.Handle(), classText, sizeof classText);
  EXPECT_STREQ(classText, "obj_SysListView32");
  EXPECT_EQ(::SendMessageA(list_.Handle(), LVM_GETCOLUMNWIDTH, 0, 0), 55);
  EXPECT_EQ(::SendMessageA(list_.Handle(), LVM_GETCOLUMNWIDTH, 1, 0), 70);
  LVCOLUMNA column{};
  column.mask = LVCF_FMT;
  ASSERT_TRUE(::SendMessageA(list_.Handle(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
  EXPECT_EQ(list_.Style() & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
}

TEST_F(ListViewTest, CheckBoxesAreStateImagesOneAndTwo) {
  list_.AddColumn("Revert", ColumnAlign::Center, 55);
  EXPECT_EQ(list_.AddRow("", -1, 2, 0), 0);
  EXPECT_EQ(list_.AddRow("", -1, 1, 1), 1);
  EXPECT_TRUE(list_.RowChecked(0));
  EXPECT_FALSE(list_.RowChecked(1));
  EXPECT_EQ(RawStateImage(0), 2u);
  EXPECT_EQ(RawStateImage(1), 1u);

  EXPECT_TRUE(list_.SetRowChecked(0, false));
  EXPECT_TRUE(list_.SetRowChecked(1, true));
  EXPECT_EQ(RawStateImage(0), 1u);
  EXPECT_EQ(RawStateImage(1), 2u);
  EXPECT_FALSE(list_.RowChecked(0));
  EXPECT_TRUE(list_.RowChecked(1));

  // A tick set through the list view itself reads back as ticked.
  ListView_SetCheckState(list_.Handle(), 0, TRUE);
  EXPECT_TRUE(list_.RowChecked(0));

  // The state image of column 0 can also be set with its text.
  EXPECT_TRUE(list_.SetCell(1, 0, "x", -1, 1));
  EXPECT_FALSE(list_.RowChecked(1));
}

TEST_F(ListViewTest, SubItemsRowDataAndInsertion) {
  for (const char* caption : {"Website", "Status", "Note"}) list_.AddColumn(caption, ColumnAlign::Left, 100);
  EXPECT_EQ(list_.AddRow("b.example", -1, 0, 20), 0);
  EXPECT_EQ(list_.AddRow("d.example", -1, 0, 40), 1);
  EXPECT_TRUE(list_.SetCell(0, 1, "Keep"));
  EXPECT_TRUE(list_.SetCell(1, 1, "Delete"));
  EXPECT_TRUE(list_.SetCell(1, 2, "typed"));

  EXPECT_EQ(list_.InsertRow(1, "c.example"), 1);
  EXPECT_EQ(list_.InsertRow(0, "a.example"), 0);
  ASSERT_EQ(list_.RowCount(), 4);
  const std::vector<std::string> names{"a.example", "b.example", "c.example", "d.example"};
  for (int row = 0; row < 4; ++row) EXPECT_EQ(list_.CellText(row, 0), names[row]);
  EXPECT_EQ(list_.CellText(1, 1), "Keep");
  EXPECT_EQ(list_.CellText(3, 1), "Delete");
  EXPECT_EQ(list_.CellText(3, 2), "typed");
  EXPECT_EQ(list_.CellText(2, 1), "") << "an inserted row has empty sub-items";

  // Row data moves with its row.
  EXPECT_EQ(list_.RowData(1), 20);
  EXPECT_EQ(list_.RowData(3), 40);
  EXPECT_TRUE(list_.SetRowData(0, 7));
  EXPECT_EQ(list_.RowData(0), 7);
  EXPECT_EQ(list_.RowData(1), 20);

  EXPECT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(list_.CellText(0, 0), "b.example");
  EXPECT_TRUE(list_.ClearRows());
  EXPECT_EQ(list_.RowCount(), 0);
}

TEST_F(ListViewTest, LongTextsAreReadWhole) {
  list_.AddColumn("Changed", ColumnAlign::Left, 286);
  std::string long250;
  for (int i = 0; i < 250; ++i) long250 += static_cast<char>('a' + i % 26);
  ASSERT_EQ(list_.AddRow(long250), 0);
  ASSERT_EQ(list_.AddRow("short"), 1);
  list_.SetCell(1, 0, std::string(299, 'w'));  // fills a 300-byte buffer exactly

  // One buffer of 100 bytes cannot hold it.
  char first[200] = {};
  LVITEMA item{};
  item.pszText = first;
  item.cchTextMax = 100;
  ::SendMessageA(list_.Handle(), LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_LE(std::string(first).size(), 100u);
  EXPECT_EQ(std::string(first).substr(0, 99), long250.substr(0, 99));

  EXPECT_EQ(list_.CellText(0, 0), long250);
  EXPECT_EQ(list_.CellText(1, 0), std::string(299, 'w'));
}

TEST_F(ListViewTest, FirstSelectedRowAndRowChanges) {
  list_.AddColumn("Website", ColumnAlign::Left, 300);
  for (const char* name : {"a", "b", "c"}) list_.AddRow(name);
  EXPECT_LT(list_.FirstSelectedRow(), 0);

  std::vector<int> changed;
  list_.onRowChanged = [&](TControl&, int row) { changed.push_back(row); };
  EXPECT_TRUE(list_.SelectRow(2));
  EXPECT_EQ(list_.FirstSelectedRow(), 2);
  ASSERT_FALSE(changed.empty());
  EXPECT_EQ(changed.back(), 2);

  changed.clear();
  list_.SetRowChecked(1, true);
  EXPECT_NE(std::find(changed.begin(), changed.end(), 1), changed.end())
      << "ticking a row is a change of that row";
}

}  // namespace
}  // namespace sentrova
