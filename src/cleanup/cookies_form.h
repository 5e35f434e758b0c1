// The Customize Cookies dialog (TCookiesForm) and the small window that
// stands while it scans the cookie cache (TWaitForm).
//
// The dialog's windows belong to the thread that creates the dialog object:
// the program's main thread, which pumps their messages in its run loop. The
// host's "COOKIES" command arrives on a COM call thread, which pumps nothing,
// so ShowCookiesDialog only posts a request to a window of the dialog and
// returns; the main thread then scans the cache and shows the dialog.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cleanup/cookie_rows.h"
#include "cleanup/url_cache_calls.h"
#include "platform/handle.h"
#include "toolkit/control.h"
#include "toolkit/request_window.h"

namespace sentrova {

// Where the keep-list lives: the host's setting "UserCookies". The program
// gives the dialog one over its own connection to the host's configuration
// service.
class KeepListStore {
 public:
  virtual ~KeepListStore() = default;
  // The stored text; nothing when it cannot be read.
  virtual std::optional<std::string> Read() = 0;
  // Stores the text (notifying the host); false when it was not stored.
  virtual bool Write(const std::string& text) = 0;
};

// "Cookies scan in progress...": a small topmost window without title bar,
// with the wait cursor over it. Hidden until Show; freed with the object.
class TWaitForm {
 public:
  explicit TWaitForm(TControl* owner);
  // Shows the window, brings it to the front and paints it at once.
  void Show();
  TControl& Window() { return form_; }

 private:
  TControl form_;
};

class TCookiesForm {
 public:
  // The dialog of the calling thread (its windows are owned by `owner`'s
  // window, or unowned for null), hidden; it becomes the dialog that
  // ShowCookiesDialog opens. Its window for open requests is made now, the
  // dialog's own windows on the first opening.
  // Its rows come from the browser's cookie cache, or from `cache` when given
  // (which must outlive the dialog).
  TCookiesForm(TControl* owner, std::unique_ptr<KeepListStore> store,
               UrlCacheCalls* cache = nullptr);
  ~TCookiesForm();
  TCookiesForm(const TCookiesForm&) = delete;
  TCookiesForm& operator=(const TCookiesForm&) = delete;

  // On the dialog's thread: a hidden dialog rebuilds its rows behind the
  // wait window, is centred and shown; a visible one only comes to the front.
  void Open();
  // Rebuilds the rows from the keep-list and the cookie cache.
  void ScanCookieHosts();
  // The handlers of the dialog's controls.
  void AddTypedHost();
  void RefreshRowButtons();
  void SetSelectedStatus(CookieStatus status);  // Keep, Delete
  void SetAllStatuses(CookieStatus status);     // Keep All, Delete All
  void SaveKeepList();                          // OK
  void Cancel();

  // The dialog's window; null before the first opening.
  TControl* Window() { return form_.get(); }
  const TCookieRows& Rows() const { return rows_; }

 private:
  void Build();
  void ShowRow(int row);
  void RefreshAllButtons();

  TControl* owner_;
  std::unique_ptr<TControl> form_;
  TControl* field_ = nullptr;
  TControl* add_ = nullptr;
  TControl* list_ = nullptr;
  TControl* keep_ = nullptr;
  TControl* delete_ = nullptr;
  TControl* keepAll_ = nullptr;
  TControl* deleteAll_ = nullptr;
  TControl* ok_ = nullptr;
  TCookieRows rows_;
  std::unique_ptr<KeepListStore> store_;
  UrlCacheCalls* cache_;
  TRequestWindow requestWindow_;
};

// The host names of the cookies in the browser's URL cache, in cache order
// (repeats included); nothing when the cache library cannot be found.
std::optional<std::vector<std::string>> CookieCacheHosts();
std::optional<std::vector<std::string>> CookieCacheHosts(UrlCacheCalls& calls);

// Asks the dialog's thread to open the live dialog and returns at once; from
// any thread. False (and nothing done) while no dialog exists. Errors are
// swallowed.
bool ShowCookiesDialog();

}  // namespace sentrova
