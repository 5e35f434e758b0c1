#include "monitor/change_form.h"

#include <commctrl.h>

#include "branding/name_value_list.h"
#include "state/process_state.h"
#include "toolkit/message_loop.h"

namespace sentrova {

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

TChangeForm::TChangeForm(TControl* owner)
    : owner_(owner), window_(ControlKind::Form, owner, "Sentrova - Detected Changes") {
  window_.SetFont({"MS Sans Serif", 8, false});
  // A caption bar without the system menu, and so without a close box.
  window_.ModifyStyle(0, WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME);
  window_.SetTopmost(true);
  window_.SetSize(500, 352);
  window_.onClose = [this](TControl&) {
    if (result_ == 0) result_ = kChangeFormCancel;
  };

  list_ = &window_.Add(ControlKind::Listview);
  list_->SetBounds(3, 3, 488, 280);
  list_->SetListExStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  list_->AddColumn("Revert", ColumnAlign::Center, 55);
  list_->AddColumn("Old", ColumnAlign::Left, 70);
  list_->AddColumn("New", ColumnAlign::Left, 70);
  list_->AddColumn("Changed", ColumnAlign::Left, 286);

  struct ButtonLayout {
    const char* caption;
    int left;
    std::function<void()> action;
  };
  const ButtonLayout buttons[] = {
      {"Select All", 168, [this] { SetAll(true); }},
      {"Deselect All", 248, [this] { SetAll(false); }},
      {"OK", 328, [this] { result_ = kChangeFormOk; }},
      {"Cancel", 408, [this] { result_ = kChangeFormCancel; }},
  };
  for (const ButtonLayout& layout : buttons) {
    TControl& button = window_.Add(ControlKind::Button, layout.caption);
    button.SetBounds(layout.left, 289, 75, 25);
    button.onClick = [action = layout.action](TControl&) { action(); };
    if (std::string_view(layout.caption) == "OK") button.SetDefaultButton(true);
  }
}

TChangeForm::~TChangeForm() = default;

void TChangeForm::AddChangeRow(int changeIndex, const std::string& oldText,
                               const std::string& newText, const std::string& key, bool selected) {
  const NameValueList labels(JoinLines(State().LabelsList));
  std::string label = labels.Value(key);
  if (label.empty()) label = key;
  rows_.push_back(std::make_unique<Row>(Row{oldText, newText, label, changeIndex}));
  const int row = list_->AddRow("", -1, 0, static_cast<LPARAM>(changeIndex));
  if (row < 0) return;
  list_->SetRowChecked(row, selected);
  list_->SetCell(row, 1, oldText);
  list_->SetCell(row, 2, newText);
  list_->SetCell(row, 3, label);
}

void TChangeForm::SetAll(bool ticked) {
  const int count = list_->RowCount();
  for (int row = 0; row < count; ++row) list_->SetRowChecked(row, ticked);
}

int TChangeForm::ShowModal() {
  result_ = 0;
  HWND ownerWindow = owner_ ? owner_->HandleIfCreated() : nullptr;
  // Modal to the alert: its Yes, No and Details... wait until this closes.
  const bool disabledOwner = ownerWindow && ::IsWindowEnabled(ownerWindow);
  if (disabledOwner) ::EnableWindow(ownerWindow, FALSE);
  window_.CenterOnScreen();
  window_.Show();
  HWND self = window_.HandleIfCreated();
  while (result_ == 0 && ::IsWindow(self)) {
    ProcessMessages();
    if (result_ != 0) break;
    // Blocks until a message arrives; no polling while the user decides.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  if (result_ == 0) result_ = kChangeFormCancel;
  // The owner is enabled again before this window goes, so that the
  // activation returns to it.
  if (disabledOwner && ::IsWindow(ownerWindow)) ::EnableWindow(ownerWindow, TRUE);
  if (::IsWindow(self)) window_.Hide();
  return result_;
}

std::vector<TChangeForm::RowMark> TChangeForm::Marks() {
  std::vector<RowMark> marks;
  const int count = list_->RowCount();
  for (int row = 0; row < count; ++row)
    marks.push_back({static_cast<int>(list_->RowData(row)), list_->RowChecked(row)});
  return marks;
}

}  // namespace sentrova
