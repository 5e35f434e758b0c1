#include "cleanup/cookies_form.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>

#include "branding/translate.h"
#include "cleanup/cookie_keep_list.h"
#include "cleanup/ie_cache.h"
#include "cleanup/tool_window.h"
#include "platform/foreground.h"
#include "platform/guard.h"

namespace sentrova {

namespace {

// Outer size of the dialog; the layout below is in its client area and
// measures widths from the outer width.
constexpr int kFormWidth = 450;
constexpr int kFormHeight = 480;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 25;
constexpr int kListTop = 155;
constexpr int kListHeight = 200;
constexpr int kFieldWidth = 320;
constexpr int kFieldHeight = 20;

constexpr int kWaitWidth = 250;
constexpr int kWaitHeight = 60;
constexpr int kWaitTextWidth = 230;
constexpr int kWaitTextHeight = 15;

constexpr char kCaption[] = "Sentrova - Customize Cookies";

// The request that ShowCookiesDialog posts to the dialog's window.
constexpr UINT kOpenRequest = WM_APP + 0x2C;

// The window of the live dialog; ShowCookiesDialog posts to it from any
// thread, so it is published here rather than read through the object.
std::atomic<HWND> g_requestWindow{nullptr};

std::string StatusCaption(CookieStatus status) { return TranslateText(StatusText(status)); }

}  // namespace

TWaitForm::TWaitForm(TControl* owner) : form_(ControlKind::Form, owner, "Sentrova") {
  // A dialog frame without title bar, in the task bar, on top.
  form_.SetStyle(WS_POPUP | WS_DLGFRAME | WS_CLIPSIBLINGS);
  form_.ModifyExStyle(WS_EX_APPWINDOW, 0);
  form_.SetTopmost(true);
  form_.SetIconFromResource("MAINICON");
  form_.SetFont({"MS Sans Serif", 8, false});
  const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  form_.SetCursor(wait);
  form_.SetSize(kWaitWidth, kWaitHeight);
  form_.CenterOnScreen();

  TControl& text = form_.Add(ControlKind::Label, "Cookies scan in progress...");
  text.ModifyStyle(SS_CENTER, SS_TYPEMASK);
  text.SetCursor(wait);
  RECT client{0, 0, kWaitWidth, kWaitHeight};
  if (HWND window = form_.Handle()) ::GetClientRect(window, &client);
  text.SetBounds((client.right - kWaitTextWidth) / 2, (client.bottom - kWaitTextHeight) / 2,
                 kWaitTextWidth, kWaitTextHeight);
}

void TWaitForm::Show() {
  form_.Show();
  if (HWND window = form_.Handle()) {
    ForceForegroundWindow(window);
    ::UpdateWindow(window);
  }
}

TCookiesForm::TCookiesForm(TControl* owner, std::unique_ptr<KeepListStore> store,
                           UrlCacheCalls* cache)
    : owner_(owner),
      store_(std::move(store)),
      cache_(cache),
      requestWindow_(g_requestWindow, [this](UINT message) {
        if (message == kOpenRequest) Open();
      }) {}

TCookiesForm::~TCookiesForm() = default;

void TCookiesForm::Build() {
  // Made aside and kept only once complete: a failed build is made again at
  // the next opening.
  std::unique_ptr<TControl> made = MakeToolWindow(owner_, kCaption, kFormWidth, kFormHeight);
  TControl& form = *made;
  // Alt+F4 cancels instead of destroying the dialog, which lives as long as
  // the process.
  form.onClose = [this](TControl&) { Cancel(); };

  const int textWidth = kFormWidth - 40;
  TControl& intro = form.Add(
      ControlKind::WordWrapLabel,
      TranslateText("You can select which cookies are to be kept or deleted during Clean Up.") +
          " " +
          TranslateText("To keep or delete a cookie, select the cookie and then click 'Keep' or "
                        "'Delete' to change the status.") +
          " " + TranslateText("Cookies with a Keep status will not be deleted."));
  intro.SetBounds(kMargin, 8, textWidth, 65);
  TControl& addHint =
      form.Add(ControlKind::WordWrapLabel,
                TranslateText("You may manually add cookies using field below.") + " " +
                    TranslateText("Type complete address and than press 'Add' button."));
  addHint.SetBounds(kMargin, 90, textWidth, 30);

  field_ = &form.Add(ControlKind::Editbox);
  field_->SetBounds(kMargin, 120, kFieldWidth, kFieldHeight);
  field_->onChange = [this](TControl& field) {
    add_->SetEnabled(AddButtonEnabled(field.Caption()));
  };
  add_ = &form.Add(ControlKind::Button, "Add");
  const int addLeft = field_->Right() + kMargin;
  add_->SetBounds(addLeft, field_->Top() - 1, kFormWidth - 25 - addLeft, kFieldHeight + 2);
  add_->SetEnabled(false);
  add_->onClick = [this](TControl&) { AddTypedHost(); };

  const int listWidth = kFormWidth - 32;
  list_ = &form.Add(ControlKind::Listview);
  list_->SetBounds(kMargin, kListTop, listWidth, kListHeight);
  list_->SetListExStyle(LVS_EX_FULLROWSELECT);
  list_->AddColumn(TranslateText("Website"), ColumnAlign::Left, 300);
  list_->AddColumn(TranslateText("Status"), ColumnAlign::Left, listWidth - 315);
  list_->onRowChanged = [this](TControl&, int) { RefreshRowButtons(); };

  const int rowTop = list_->Bottom() + 10;
  auto button = [&](const char* caption, int left, int top, auto handler) {
    TControl& b = form.Add(ControlKind::Button, TranslateText(caption));
    b.SetBounds(left, top, kButtonWidth, kButtonHeight);
    b.onClick = [this, handler](TControl&) { handler(); };
    return &b;
  };
  keep_ = button("Keep", kMargin, rowTop, [this] { SetSelectedStatus(CookieStatus::Keep); });
  delete_ = button("Delete", keep_->Right() + 5, rowTop,
                   [this] { SetSelectedStatus(CookieStatus::Delete); });
  const int deleteAllLeft = list_->Right() - kButtonWidth;
  deleteAll_ =
      button("Delete All", deleteAllLeft, rowTop, [this] { SetAllStatuses(CookieStatus::Delete); });
  keepAll_ = button("Keep All", deleteAllLeft - 5 - kButtonWidth, rowTop,
                    [this] { SetAllStatuses(CookieStatus::Keep); });
  const int okTop = rowTop + kButtonHeight + 12;
  ok_ = button("OK", keepAll_->Left(), okTop, [this] { SaveKeepList(); });
  button("Cancel", deleteAll_->Left(), okTop, [this] { Cancel(); });
  RefreshAllButtons();
  form_ = std::move(made);
}

void TCookiesForm::Open() {
  // The dialog's windows are made on its first opening.
  if (!form_) Build();
  if (form_->Visible()) {
    form_->Show();
    ForceForegroundWindow(form_->Handle());
    return;
  }
  Guarded([&] {
    TWaitForm wait(owner_);
    wait.Show();
    ScanCookieHosts();
    Guarded([&] { wait.Window().Hide(); });
  });
  form_->CenterOnScreen();
  form_->Show();
  ForceForegroundWindow(form_->Handle());
}

std::optional<std::vector<std::string>> CookieCacheHosts() {
  return CookieCacheHosts(SystemUrlCache());
}

std::optional<std::vector<std::string>> CookieCacheHosts(UrlCacheCalls& calls) {
  TIECache cache(calls);
  if (!cache.LibraryFound()) return std::nullopt;
  cache.SetSearchPattern(TSearchPattern::spCookies);
  using O = TFilterOption;
  cache.SetFilterOptions(
      {O::NORMAL_ENTRY, O::STABLE_ENTRY, O::STICKY_ENTRY, O::COOKIE_ENTRY, O::SPARSE_ENTRY});
  std::vector<std::string> hosts;
  // A walk that gave up part-way is not the whole cache: the rows stay.
  if (cache.ForEachEntry([&](const TEntryInfo& entry) {
        hosts.push_back(CookieHostOf(entry.SourceUrlName));
      }) != kCacheOk) {
    return std::nullopt;
  }
  return hosts;
}

void TCookiesForm::ScanCookieHosts() {
  if (!form_) Build();
  // The wait cursor stays over the dialog until the scan ends: the dialog
  // answers every WM_SETCURSOR with it meanwhile.
  const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  form_->SetCursor(wait);
  const HCURSOR previous = ::SetCursor(wait);
  Guarded([&] {
    const std::optional<std::string> keepText = GuardedOr(
        std::optional<std::string>(), [&] { return store_ ? store_->Read() : std::nullopt; });
    const auto hosts = GuardedOr(std::optional<std::vector<std::string>>(), [&] {
      return cache_ != nullptr ? CookieCacheHosts(*cache_) : CookieCacheHosts();
    });
    const bool rebuilt = hosts.has_value();
    rows_.Build(keepText, hosts);
    if (rebuilt) {
      list_->ClearRows();
      for (size_t i = 0; i < rows_.Rows().size(); ++i) {
        const int row = list_->AddRow(rows_.Rows()[i].host);
        if (row >= 0) ShowRow(row);
      }
    }
  });
  RefreshAllButtons();
  form_->SetCursor(nullptr);
  ::SetCursor(previous != nullptr && previous != wait
                  ? previous
                  : ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

// The list row shows the model's row: its status as text and as the row's value.
void TCookiesForm::ShowRow(int row) {
  const CookieStatus status = rows_.Rows()[static_cast<size_t>(row)].status;
  list_->SetCell(row, 1, StatusCaption(status));
  list_->SetRowData(row, static_cast<LPARAM>(status));
}

void TCookiesForm::AddTypedHost() {
  const int row = rows_.AddTyped(field_->Caption());
  if (row < 0) return;
  if (list_->InsertRow(row, rows_.Rows()[static_cast<size_t>(row)].host) == row) ShowRow(row);
  keepAll_->SetEnabled(true);
  deleteAll_->SetEnabled(true);
}

void TCookiesForm::RefreshRowButtons() {
  const RowButtons buttons = rows_.ButtonsFor(list_->FirstSelectedRow());
  keep_->SetEnabled(buttons.keep);
  delete_->SetEnabled(buttons.remove);
}

void TCookiesForm::RefreshAllButtons() {
  RefreshRowButtons();
  keepAll_->SetEnabled(rows_.AllButtonsEnabled());
  deleteAll_->SetEnabled(rows_.AllButtonsEnabled());
  ok_->SetEnabled(rows_.CanSave());
}

void TCookiesForm::SetSelectedStatus(CookieStatus status) {
  const int row = list_->FirstSelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= rows_.Rows().size()) return;
  rows_.SetStatus(row, status);
  ShowRow(row);
  RefreshRowButtons();
}

void TCookiesForm::SetAllStatuses(CookieStatus status) {
  rows_.SetAll(status);
  for (size_t i = 0; i < rows_.Rows().size(); ++i) ShowRow(static_cast<int>(i));
}

void TCookiesForm::SaveKeepList() {
  // Rows built without the stored keep-list must not replace it.
  if (rows_.CanSave()) {
    Guarded([&] {
      if (store_) store_->Write(rows_.KeepText());
    });
  }
  form_->Hide();
}

void TCookiesForm::Cancel() {
  if (form_) form_->Hide();
}

bool ShowCookiesDialog() {
  return GuardedOr(false, [] {
    return TRequestWindow::PostTo(g_requestWindow, kOpenRequest);
  });
}

}  // namespace sentrova
