// Counting and closing browser windows, over an in-process shell window
// collection of our own: Wine's explorer registers the real collection at run
// time and its Count and Item are not implemented, so the logic is driven
// through the collection interface it consumes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/browser_windows.h"
#include "doubles/automation_bases.h"
#include "platform/com.h"

namespace sentrova {
namespace {

using test::ShellWindowsBase;
using test::WebBrowserBase;

// What happened to the fake windows, in order, across all of them.
struct Journal {
  std::vector<std::string> calls;
};

// A window of the shell window collection: a real (hidden) window of this
// thread stands for its frame, so that a quit message posted to it can be
// looked for. As on Windows, the file browser's folder windows offer the web
// browser interface too; only their program tells them apart.
class FakeBrowser : public WebBrowserBase {
 public:
  FakeBrowser(Journal& journal, std::string name, bool handleFails = false,
              bool barFails = false,
              std::wstring program = L"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE")
      : journal_(journal),
        name_(std::move(name)),
        handleFails_(handleFails),
        barFails_(barFails),
        program_(std::move(program)) {
    window_ = ::CreateWindowExA(0, "STATIC", name_.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
  }
  ~FakeBrowser() override { ::DestroyWindow(window_); }

  HWND window() const { return window_; }

  STDMETHODIMP get_FullName(BSTR* name) override {
    *name = ::SysAllocString(program_.c_str());
    return S_OK;
  }
  STDMETHODIMP get_HWND(SHANDLE_PTR* handle) override {
    journal_.calls.push_back(name_ + ".HWND");
    if (handleFails_) return E_FAIL;
    *handle = reinterpret_cast<SHANDLE_PTR>(window_);
    return S_OK;
  }
  STDMETHODIMP ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) override {
    std::string line = name_ + ".Bar";
    line += clsid && clsid->vt == VT_BSTR ? " " + WideToAnsi(clsid->bstrVal) : " ?";
    line += show && show->vt == VT_BOOL && show->boolVal == VARIANT_FALSE ? " hide" : " ?";
    line += size && size->vt == VT_EMPTY ? " nosize" : " ?";
    journal_.calls.push_back(line);
    return barFails_ ? E_FAIL : S_OK;
  }
  STDMETHODIMP Quit() override {
    journal_.calls.push_back(name_ + ".Quit");
    return S_OK;
  }

 private:
  Journal& journal_;
  std::string name_;
  bool handleFails_;
  bool barFails_;
  std::wstring program_;
  HWND window_ = nullptr;
};

class FakeShellWindows : public ShellWindowsBase {
 public:
  explicit FakeShellWindows(Journal& journal) : journal_(journal) {}
  ~FakeShellWindows() override {
    for (IDispatch* item : items_)
      if (item) item->Release();
  }
  // Takes over the caller's reference; a null item makes Item fail there.
  void Add(IDispatch* item) { items_.push_back(item); }
  void FailCount() { countFails_ = true; }

  STDMETHODIMP get_Count(LONG* count) override {
    if (countFails_) return E_NOTIMPL;
    *count = static_cast<LONG>(items_.size());
    return S_OK;
  }
  STDMETHODIMP Item(VARIANT index, IDispatch** folder) override {
    *folder = nullptr;
    if (index.vt != VT_I4 || index.lVal < 0 || index.lVal >= static_cast<LONG>(items_.size()))
      return E_INVALIDARG;
    journal_.calls.push_back("Item " + std::to_string(index.lVal));
    if (!items_[index.lVal]) return E_FAIL;
    *folder = items_[index.lVal];
    (*folder)->AddRef();
    return S_OK;
  }

 private:
  Journal& journal_;
  std::vector<IDispatch*> items_;
  bool countFails_ = false;
};

// Removes and reports the quit messages waiting for `window` (null: those
// posted to the thread itself).
int TakeQuitMessages(HWND window) {
  int n = 0;
  // (HWND)-1 asks for the messages that belong to no window.
  const HWND filter = window ? window : reinterpret_cast<HWND>(-1);
  MSG msg;
  while (::PeekMessageA(&msg, filter, WM_QUIT, WM_QUIT, PM_REMOVE)) ++n;
  return n;
}

class BrowserWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TakeQuitMessages(nullptr);
    shell_ = ComPtr<FakeShellWindows>::Attach(new FakeShellWindows(journal_));
  }
  FakeBrowser* AddBrowser(const std::string& name, bool handleFails = false,
                          bool barFails = false, std::wstring program = {}) {
    auto* b = program.empty() ? new FakeBrowser(journal_, name, handleFails, barFails)
                              : new FakeBrowser(journal_, name, handleFails, barFails, program);
    b->AddRef();  // kept by the test to look at its window
    kept_.push_back(ComPtr<FakeBrowser>::Attach(b));
    shell_->Add(b);
    return b;
  }
  // A folder window, as Windows lists it: the web browser interface, with
  // the file browser's program.
  FakeBrowser* AddFolder(const std::string& name = "folder") {
    return AddBrowser(name, false, false, L"C:\\Windows\\Explorer.EXE");
  }

  ComApartment apartment_{COINIT_APARTMENTTHREADED};
  Journal journal_;
  ComPtr<FakeShellWindows> shell_;
  std::vector<ComPtr<FakeBrowser>> kept_;
};

TEST_F(BrowserWindowsTest, CountsInternetExplorerWindowsOnly) {
  AddBrowser("a");
  AddFolder();
  AddBrowser("b", false, false, L"c:\\program files\\internet explorer\\iexplore.exe");
  AddFolder();
  EXPECT_EQ(CountBrowserWindows(shell_.get()), 2);
  EXPECT_EQ(CountBrowserWindows(nullptr), 0);
}

TEST_F(BrowserWindowsTest, NoBrowserOpenCountsNothingWithFolderWindowsOpen) {
  AddFolder();
  AddFolder("other");
  EXPECT_EQ(CountBrowserWindows(shell_.get()), 0);
}

TEST_F(BrowserWindowsTest, CountIsZeroWhenTheCollectionCannotCount) {
  AddBrowser("a");
  shell_->FailCount();
  EXPECT_EQ(CountBrowserWindows(shell_.get()), 0);
}

TEST_F(BrowserWindowsTest, ClosesBrowsersLastToFirstAndTheFolderWindowStaysOpen) {
  FakeBrowser* a = AddBrowser("a");
  FakeBrowser* folder = AddFolder();
  FakeBrowser* b = AddBrowser("b");

  CloseBrowserWindows(shell_.get(), "{0}");

  const std::vector<std::string> expected = {
      "Item 2", "b.HWND", "b.Bar {0} hide nosize", "b.Quit", "Item 1",
      "Item 0", "a.HWND", "a.Bar {0} hide nosize", "a.Quit"};
  EXPECT_EQ(journal_.calls, expected);
  EXPECT_EQ(TakeQuitMessages(a->window()), 1);
  EXPECT_EQ(TakeQuitMessages(b->window()), 1);
  EXPECT_EQ(TakeQuitMessages(folder->window()), 0);
}

TEST_F(BrowserWindowsTest, EveryFailureInsideTheLoopIsPassedOver) {
  FakeBrowser* a = AddBrowser("a");
  shell_->Add(nullptr);  // Item fails at index 1
  AddBrowser("c", /*handleFails=*/true, /*barFails=*/true);

  CloseBrowserWindows(shell_.get(), "{0}");

  const std::vector<std::string> expected = {"Item 2", "c.HWND", "c.Bar {0} hide nosize",
                                             "c.Quit", "Item 1", "Item 0",
                                             "a.HWND", "a.Bar {0} hide nosize", "a.Quit"};
  EXPECT_EQ(journal_.calls, expected);
  EXPECT_EQ(TakeQuitMessages(a->window()), 1);
  // The window whose handle could not be read gets no quit message, and
  // none lands in this thread's own queue, where it would end our loop.
  EXPECT_EQ(TakeQuitMessages(nullptr), 0);
}

TEST_F(BrowserWindowsTest, NothingHappensWhenTheCollectionCannotCount) {
  AddBrowser("a");
  shell_->FailCount();
  CloseBrowserWindows(shell_.get(), "");
  EXPECT_TRUE(journal_.calls.empty());
  CloseBrowserWindows(nullptr, "");
}

// The wrappers over the platform's own collection: Wine's explorer serves it,
// but its Count and Item are not implemented, which must read as "no
// windows" and close nothing, not as garbage or a failure.
TEST(PlatformShellWindows, WineCollectionCountsNothingAndClosesNothing) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  EXPECT_EQ(CountBrowserWindows(), 0);
  CloseBrowserWindows("{4D5C8C2A-D075-11D0-B416-00C04FB90376}");
  MSG msg;
  EXPECT_FALSE(::PeekMessageA(&msg, reinterpret_cast<HWND>(-1), WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace sentrova
