// The Clean Up Preview window (TPreviewForm): what a clean-up of the selected
// items would remove, item by item, before the user starts one.
//
// Like the Customize Cookies dialog, the window belongs to the thread that
// makes the preview object: the program's main thread, which pumps its
// messages in its run loop. The host's "PREVIEW" command arrives on a COM
// call thread, so ShowCleanPreview only posts a request; the main thread then
// opens the window, and the count runs on a worker thread of its own, so the
// window stays responsive while the folders and caches are walked.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cleanup/clean_report.h"
#include "platform/handle.h"
#include "toolkit/control.h"
#include "toolkit/request_window.h"

namespace sentrova {

// Counts what a pass over the selected items would remove, without removing
// anything; called on the preview's worker thread. It may throw: the window
// then says that nothing could be counted.
using PreviewCount = std::function<CleanReport()>;

// The name of an item as the Clean Up page words it; the key itself for an
// item the page does not show.
std::string CleanItemName(const std::string& key);

class TPreviewForm {
 public:
  // The preview of the calling thread (its window owned by `owner`'s window,
  // or unowned for null); it becomes the preview that ShowCleanPreview opens.
  // The window is made at each opening and goes when it closes.
  TPreviewForm(TControl* owner, PreviewCount count);
  // Closes an open window; a count still running finds it gone.
  ~TPreviewForm();
  TPreviewForm(const TPreviewForm&) = delete;
  TPreviewForm& operator=(const TPreviewForm&) = delete;

  // On the window's thread: opens the window and starts a count; an open
  // window only comes to the front.
  void Open();
  // "Clean Up Now": starts an interactive clean-up, then closes.
  void CleanUpNow();
  // "Close", Escape: closes without a clean-up.
  void Close();

  // The open window; null while none is open.
  TControl* Window() { return form_.get(); }

 private:
  // One count: the worker's result, and the window it is posted to (cleared
  // when the window closes first).
  struct Job;
  void Build();
  void StartCount();
  void ShowResult();

  TControl* owner_;
  PreviewCount count_;
  std::unique_ptr<TControl> form_;
  TControl* status_ = nullptr;
  TControl* list_ = nullptr;
  std::shared_ptr<Job> job_;
  TRequestWindow requestWindow_;
};

// Asks the preview's thread to open the window and returns at once; from any
// thread. False (and nothing done) while no preview exists.
bool ShowCleanPreview();

}  // namespace sentrova
