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

// A web browser window: a real (hidden) window of this thread stands for the
// browser's frame, so that the quit message posted to it can be looked for.
class FakeBrowser : public WebBrowserBase {
 public:
  FakeBrowser(Journal& journal, std::string name, bool handleFails = false,
              bool barFails = false)
      : journal_(journal), name_(std::move(name)), handleFails_(handleFails), barFails_(barFails) {
    window_ = ::CreateWindowExA(0, "STATIC", name_.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
  }
  ~FakeBrowser() override { ::DestroyWindow(window_); }

  HWND window() const { return window_; }

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
  HWND window_ = nullptr;
};

// A file browser window: in the collection, but without the web browser
// interface. Any use of it beyond asking for interfaces is recorded.
class FakeFolderWindow : public IDispatch {
 public:
  explicit FakeFolderWindow(Journal& journal) : journal_(journal) {}
  virtual ~FakeFolderWindow() = default;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return Touched(); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Touched(); }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Touched(); }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return Touched();
  }

 private:
  HRESULT Touched() {
    journal_.calls.push_back("folder.touched");
    return E_NOTIMPL;
  }
  Journal& journal_;
  ULONG refs_ = 1;
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
                          bool barFails = false) {
    auto* b = new FakeBrowser(journal_, name, handleFails, barFails);
    b->AddRef();  // kept by the test to look at its window
    kept_.push_back(ComPtr<FakeBrowser>::Attach(b));
    shell_->Add(b);
    return b;
  }
  void AddFolder() { shell_->Add(new FakeFolderWindow(journal_)); }

  ComApartment apartment_{COINIT_APARTMENTTHREADED};
  Journal journal_;
  ComPtr<FakeShellWindows> shell_;
  std::vector<ComPtr<FakeBrowser>> kept_;
};

TEST_F(BrowserWindowsTest, CountsWebAndFileBrowserWindowsAlike) {
  AddBrowser("a");
  AddFolder();
  AddBrowser("b");
  AddFolder();
  EXPECT_EQ(CountBrowserWindows(shell_.get()), 4);
  EXPECT_EQ(CountBrowserWindows(nullptr), 0);
}

TEST_F(BrowserWindowsTest, CountIsZeroWhenTheCollectionCannotCount) {
  AddBrowser("a");
  shell_->FailCount();
  EXPECT_EQ(CountBrowserWindows(shell_.get()), 0);
}

TEST_F(BrowserWindowsTest, ClosesBrowsersLastToFirstAndLeavesFileBrowsersAlone) {
  FakeBrowser* a = AddBrowser("a");
  AddFolder();
  FakeBrowser* b = AddBrowser("b");

  CloseBrowserWindows(shell_.get(), "");

  const std::vector<std::string> expected = {"Item 2", "b.HWND", "b.Quit", "Item 1",
                                             "Item 0", "a.HWND", "a.Quit"};
  EXPECT_EQ(journal_.calls, expected);
  EXPECT_EQ(TakeQuitMessages(a->window()), 1);
  EXPECT_EQ(TakeQuitMessages(b->window()), 1);
}

TEST_F(BrowserWindowsTest, HidesTheNamedBarBeforeQuitting) {
  AddBrowser("a");
  const std::string bar = "{4D5C8C2A-D075-11D0-B416-00C04FB90376}";
  CloseBrowserWindows(shell_.get(), bar);
  const std::vector<std::string> expected = {"Item 0", "a.HWND", "a.Bar " + bar + " hide nosize",
                                             "a.Quit"};
  EXPECT_EQ(journal_.calls, expected);
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
