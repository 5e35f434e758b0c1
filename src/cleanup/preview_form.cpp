#include "cleanup/preview_form.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "branding/translate.h"
#include "cleanup/tool_window.h"
#include "platform/foreground.h"
#include "platform/guard.h"
#include "state/program_actions.h"

namespace sentrova {

namespace {

// Outer size of the window and its layout, as the Detected Changes window.
constexpr int kFormWidth = 500;
constexpr int kFormHeight = 352;
constexpr int kListTop = 26;
constexpr int kButtonTop = 289;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

constexpr char kCaption[] = "Sentrova - Clean Up Preview";
constexpr char kCounting[] = "Counting what a clean-up would remove...";
constexpr char kCounted[] = "A clean-up now would remove:";
constexpr char kNothingSelected[] = "No item is selected for clean-up.";
constexpr char kNotCounted[] = "What a clean-up would remove could not be counted.";

// Posted to the request window: open the window (from ShowCleanPreview), and
// a count has ended (from the worker).
constexpr UINT kOpenRequest = WM_APP + 0x2D;
constexpr UINT kCountDone = WM_APP + 0x2E;

// The request window of the live preview, published for other threads.
std::atomic<HWND> g_requestWindow{nullptr};

struct ItemName {
  const char* key;
  const char* name;
};
// The Clean Up page's words for its items.
constexpr ItemName kItemNames[] = {
    {"IE_BAR", "URL previously typed into Address Bar"},
    {"IE_HIST", "Visited website history"},
    {"IE_TEMP", "Temporary Internet Files (e.g. websites, pictures, ...)"},
    {"IE_FILLFORM", "Form data that is inserted automatically"},
    {"IE_FILLPASS", "User names and passwords"},
    {"IE_COOKIES", "Stored cookies"},
    {"WIN_DOC", "Recently opened documents history (My Recent Documents)"},
    {"WIN_RECYCLE", "Recycle Bin"},
    {"WIN_TEMP", "Windows temporary files stored in the Temp directory"},
    {"WIN_DOWN", "Downloaded Program Files folder"},
    {"WIN_RUN", "Words you entered into Start -> Run column"},
    {"WIN_SEARCH", "Words you entered into Start -> Search column"},
};

}  // namespace

std::string CleanItemName(const std::string& key) {
  for (const ItemName& item : kItemNames) {
    if (key == item.key) return item.name;
  }
  return key;
}

struct TPreviewForm::Job {
  std::mutex mutex;
  HWND window = nullptr;  // null once the window has gone
  bool done = false;
  std::optional<CleanReport> report;  // empty when the count failed
};

TPreviewForm::TPreviewForm(TControl* owner, PreviewCount count)
    : owner_(owner),
      count_(std::move(count)),
      requestWindow_(g_requestWindow, [this](UINT message) {
        if (message == kOpenRequest) Open();
        if (message == kCountDone) ShowResult();
      }) {}

TPreviewForm::~TPreviewForm() {
  Guarded([&] { Close(); });
}

void TPreviewForm::Build() {
  std::unique_ptr<TControl> made = MakeToolWindow(owner_, kCaption, kFormWidth, kFormHeight);
  TControl& form = *made;
  form.onClose = [this](TControl&) { Close(); };

  status_ = &form.Add(ControlKind::Label, TranslateText(kCounting));
  status_->SetBounds(6, 7, 480, 15);
  list_ = &form.Add(ControlKind::Listview);
  list_->SetBounds(3, kListTop, 488, kButtonTop - 6 - kListTop);
  list_->SetListExStyle(LVS_EX_FULLROWSELECT);
  list_->AddColumn(TranslateText("Item"), ColumnAlign::Left, 300);
  list_->AddColumn(TranslateText("Found"), ColumnAlign::Right, 70);
  list_->AddColumn(TranslateText("Size"), ColumnAlign::Right, 90);

  // The buttons end where the list ends.
  TControl& cleanUp = form.Add(ControlKind::Button, TranslateText("Clean Up Now"));
  cleanUp.SetBounds(list_->Right() - 2 * kButtonWidth - 10, kButtonTop, kButtonWidth + 5,
                    kButtonHeight);
  cleanUp.ModifyStyle(WS_GROUP, 0);
  cleanUp.SetDefaultButton(true);
  cleanUp.onClick = [this](TControl&) { CleanUpNow(); };
  TControl& close = form.Add(ControlKind::Button, TranslateText("Close"));
  close.SetBounds(cleanUp.Right() + 5, kButtonTop, kButtonWidth, kButtonHeight);
  close.SetCancelButton(true);
  close.onClick = [this](TControl&) { Close(); };
  form_ = std::move(made);
}

void TPreviewForm::Open() {
  if (form_) {
    form_->Show();
    ForceForegroundWindow(form_->Handle());
    return;
  }
  Build();
  form_->Show();
  ForceForegroundWindow(form_->Handle());
  StartCount();
}

void TPreviewForm::StartCount() {
  auto job = std::make_shared<Job>();
  job->window = requestWindow_.Handle();
  job_ = job;
  const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_APPSTARTING));
  form_->SetCursor(wait);
  list_->SetCursor(wait);
  // The worker keeps the job and a copy of the count, never the window.
  std::thread([job, count = count_] {
    std::optional<CleanReport> report =
        GuardedOr(std::optional<CleanReport>(), [&]() -> std::optional<CleanReport> {
          if (!count) return std::nullopt;
          return count();
        });
    std::lock_guard<std::mutex> lock(job->mutex);
    job->report = std::move(report);
    job->done = true;
    if (job->window != nullptr) ::PostMessageA(job->window, kCountDone, 0, 0);
  }).detach();
}

void TPreviewForm::ShowResult() {
  if (!form_ || !job_) return;
  std::optional<CleanReport> report;
  {
    std::lock_guard<std::mutex> lock(job_->mutex);
    if (!job_->done) return;
    report = std::move(job_->report);
  }
  form_->SetCursor(nullptr);
  list_->SetCursor(nullptr);
  list_->ClearRows();
  if (!report) {
    status_->SetCaption(TranslateText(kNotCounted));
    return;
  }
  status_->SetCaption(TranslateText(report->items.empty() ? kNothingSelected : kCounted));
  auto addRow = [&](const std::string& name, uint64_t count, uint64_t bytes) {
    const int row = list_->AddRow(name);
    if (row < 0) return;
    list_->SetCell(row, 1, std::to_string(count));
    list_->SetCell(row, 2, SizeText(bytes));
  };
  for (const ItemTally& item : report->items) addRow(TranslateText(CleanItemName(item.key)), item.count, item.bytes);
  addRow(TranslateText("Total"), report->TotalCount(), report->TotalBytes());
}

void TPreviewForm::CleanUpNow() {
  Actions().StartCleanUp(true);
  Close();
}

void TPreviewForm::Close() {
  if (job_) {
    std::lock_guard<std::mutex> lock(job_->mutex);
    job_->window = nullptr;
  }
  job_.reset();
  status_ = nullptr;
  list_ = nullptr;
  // The window may be closing from one of its own handlers, which the
  // toolkit allows to free it.
  form_.reset();
}

bool ShowCleanPreview() {
  return GuardedOr(false, [] {
    return TRequestWindow::PostTo(g_requestWindow, kOpenRequest);
  });
}

}  // namespace sentrova
