// The list view operations of TControl (report style).
#include "toolkit/control.h"

#include <commctrl.h>

#include "toolkit/rules.h"

namespace sentrova {

namespace {

int FormatOf(ColumnAlign align) {
  switch (align) {
    case ColumnAlign::Right:
      return LVCFMT_RIGHT;
    case ColumnAlign::Center:
      return LVCFMT_CENTER;
    default:
      return LVCFMT_LEFT;
  }
}

}  // namespace

void TControl::SetListExStyle(DWORD exStyle) {
  listExStyle_ = exStyle;
  if (handle_) ::SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, ~DWORD{0}, exStyle);
}

int TControl::AddColumn(const std::string& caption, ColumnAlign align, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = FormatOf(align);
  column.pszText = const_cast<char*>(caption.c_str());
  column.iSubItem = columnCount_;
  if (width > 0) {
    column.mask |= LVCF_WIDTH;
    column.cx = width;
  }
  const int index = static_cast<int>(
      Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(columnCount_), reinterpret_cast<LPARAM>(&column)));
  if (index >= 0) ++columnCount_;
  return index;
}

int TControl::AddRow(const std::string& text, int image, int stateImage, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = RowCount();
  item.pszText = const_cast<char*>(text.c_str());
  item.lParam = data;
  if (image >= 0) {
    item.mask |= LVIF_IMAGE;
    item.iImage = image;
  }
  if (stateImage > 0) {
    item.mask |= LVIF_STATE;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(stateImage);
  }
  const int row = static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  // Some list views ignore the state of a new row; set it again.
  if (row >= 0 && stateImage > 0) {
    item.iItem = row;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
  return row;
}

int TControl::InsertRow(int index, const std::string& text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int TControl::RowCount() { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }

bool TControl::DeleteRow(int row) { return Send(LVM_DELETEITEM, static_cast<WPARAM>(row)) != 0; }

bool TControl::ClearRows() { return Send(LVM_DELETEALLITEMS) != 0; }

bool TControl::SetCell(int row, int column, const std::string& text, int image, int stateImage) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  if (column == 0 && image >= 0) {
    item.mask |= LVIF_IMAGE;
    item.iImage = image;
  }
  if (column == 0 && stateImage >= 0) {
    item.mask |= LVIF_STATE;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(stateImage);
  }
  return Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string TControl::CellText(int row, int column) {
  HWND window = Handle();
  if (!window) return {};
  return ReadGrowingText([&](char* buffer, size_t size) -> size_t {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(size);
    const LRESULT copied = ::SendMessageA(window, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                          reinterpret_cast<LPARAM>(&item));
    return copied > 0 ? static_cast<size_t>(copied) : 0;
  });
}

LPARAM TControl::RowData(int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

bool TControl::SetRowData(int row, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  return Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool TControl::RowChecked(int row) {
  const auto state = static_cast<UINT>(
      Send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool TControl::SetRowChecked(int row, bool checked) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

int TControl::FirstSelectedRow() {
  return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool TControl::SelectRow(int row) {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

bool TControl::HandleChildNotify(const NMHDR& header, LRESULT& result) {
  if (kind_ != ControlKind::Listview) return false;
  result = 0;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (!(change.uChanged & LVIF_STATE) || !onRowChanged) return false;
    onRowChanged(*this, change.iItem);
    return true;
  }
  if (header.code == NM_CLICK && onClick) {
    onClick(*this);
    return true;
  }
  return false;
}

}  // namespace sentrova
