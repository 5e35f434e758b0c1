#include "dialogs/ask_question.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "branding/translate.h"
#include "dialogs/ask_layout.h"
#include "dialogs/browser_windows.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "platform/visual_styles.h"
#include "toolkit/canvas.h"
#include "toolkit/control.h"
#include "toolkit/message_loop.h"

namespace sentrova {

namespace {

constexpr int kResultYes = 1;
constexpr int kResultNo = 2;
constexpr int kHeadingFontSize = 10;
constexpr int kButtonFontSize = 8;

// ---- the host's picture library -------------------------------------------

using PictureSizeFunction = HRESULT(WINAPI*)(HMODULE module, const char* name, int* width,
                                             int* height);
using PictureDrawFunction = HRESULT(WINAPI*)(HMODULE module, const char* name, HDC dc, int x,
                                             int y);

struct PictureLibrary {
  PictureSizeFunction size = nullptr;
  PictureDrawFunction draw = nullptr;
  bool usable() const { return size && draw; }
};

// Looked up on first use and kept for the life of the process; a library
// that is missing then means no banners.
const PictureLibrary& Pictures() {
  static const PictureLibrary library = [] {
    PictureLibrary found;
    Guarded([&] {
      HMODULE module = ::LoadLibraryA("qbxcomm.dll");
      if (!module) module = ::LoadLibraryA((ProgramDirectory() + "qbxcomm.dll").c_str());
      if (!module) return;
      found.size = reinterpret_cast<PictureSizeFunction>(
          reinterpret_cast<void*>(::GetProcAddress(module, "GetResourceJPEGPictureSize")));
      found.draw = reinterpret_cast<PictureDrawFunction>(
          reinterpret_cast<void*>(::GetProcAddress(module, "DrawResourceJPEGPictureSize")));
    });
    return found;
  }();
  return library;
}

// A library named in a picture name is needed only for its resources: it is
// mapped as data, so that none of its code runs.
ModuleHandle LoadResourceLibrary(const std::string& file) {
  if (file.empty()) return {};
  ModuleHandle module(::LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module)
    module.reset(::LoadLibraryExA((ProgramDirectory() + file).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE));
  return module;
}

// The banner decoded into a bitmap, or nothing.
std::unique_ptr<TBitmap> LoadPicture(std::string_view pictureName) {
  const PictureLibrary& library = Pictures();
  if (pictureName.empty() || !library.usable()) return nullptr;
  const PictureName name = SplitPictureName(pictureName);
  if (name.resource.empty()) return nullptr;
  ModuleHandle libraryModule;
  HMODULE module = nullptr;
  if (name.ownModule) {
    module = ::GetModuleHandleA(nullptr);
  } else {
    libraryModule = LoadResourceLibrary(name.module);
    module = libraryModule.get();
  }
  if (!module) return nullptr;
  int width = 0, height = 0;
  if (FAILED(library.size(module, name.resource.c_str(), &width, &height)) || width <= 0 ||
      height <= 0)
    return nullptr;
  auto bitmap = std::make_unique<TBitmap>(width, height);
  if (!bitmap->Valid() || FAILED(library.draw(module, name.resource.c_str(), bitmap->Dc(), 0, 0)))
    return nullptr;
  return bitmap;
}

// A caption whose first letter, with Alt, presses its button.
std::string WithMnemonic(const std::string& caption) {
  std::string marked(1, '&');
  marked.append(caption);
  return marked;
}

// Activates the themed controls for the life of one dialog.
class VisualStyleScope {
 public:
  VisualStyleScope() { ActivateVisualStyles(context_); }
  ~VisualStyleScope() { DeactivateVisualStyles(context_); }
  VisualStyleScope(const VisualStyleScope&) = delete;
  VisualStyleScope& operator=(const VisualStyleScope&) = delete;

 private:
  VisualStyleContext context_;
};

}  // namespace

// ---- the dialog -------------------------------------------------------------

// One question window and its controls, from construction to the answer.
class TFormAsk {
 public:
  TFormAsk(std::string_view title, const QuestionOptions& options, std::string helpAddress)
      : window_(ControlKind::Form, nullptr, std::string(title)),
        helpAddress_(std::move(helpAddress)),
        pinned_(options.pinned) {}

  // Builds the window and its controls, laid out, hidden.
  void Build(const std::string& heading, std::string_view message, std::string_view pictureName,
             const QuestionOptions& options, bool checkboxState, std::string_view checkboxCaption,
             std::string_view thirdCaption, const AskAction& thirdAction) {
    window_.SetTopmost(true);
    window_.SetSharedIcon(::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING)));
    if (!helpAddress_.empty()) window_.ModifyExStyle(WS_EX_CONTEXTHELP, 0);
    window_.onClose = [this](TControl&) { Answer(kResultNo); };
    window_.AddHook(this, [this](TMessage& m) { return OnFormMessage(m); });
    // Within the guard's second no key reaches the dialog at all: a key meant
    // for another window must neither answer (Enter, Escape, Space on the
    // focused button) nor move through the dialog. Enter and Escape after it
    // are the toolkit's: Enter presses the focused button, else the default
    // one, and Escape presses "No".
    window_.onKeyPreview = [this](TControl&, const MSG&) { return KeysGuarded(); };
    if (!window_.Handle()) throw std::runtime_error("no window");
    ::SetPropA(::GetDesktopWindow(), kLastQuestionWindowProperty, window_.Handle());

    AskLayoutInput input;
    picture_ = LoadPicture(pictureName);
    if (picture_) input.picture = AskRect{0, 0, picture_->Width(), picture_->Height()};
    input.dpi = ScreenDpi();
    const std::string boxCaption = checkboxCaption.empty()
                                       ? TranslateText("Please do not show me this dialog again.")
                                       : std::string(checkboxCaption);
    {
      TCanvas canvas = TCanvas::ForWindow(window_.Handle());
      canvas.UseFont(window_.PlatformFont());
      if (!message.empty()) {
        input.hasMessage = true;
        input.messageTextWidth = canvas.TextWidth(message);
        input.messageTextHeight = canvas.TextHeight(message);
        input.messageCarriageReturns = CountCarriageReturns(message);
      }
      input.checkboxTextWidth = canvas.TextWidth(boxCaption);
    }
    const bool third = !thirdCaption.empty() && static_cast<bool>(thirdAction);
    input.checkbox = options.checkbox;
    input.thirdButton = third;
    const AskLayout layout = ComputeAskLayout(input);

    if (picture_) {
      // A one-pixel black frame around the picture.
      pictureFrame_ = &window_.Add(ControlKind::Panel);
      pictureFrame_->SetPanelEdge(PanelEdge::Black);
      Place(*pictureFrame_, *layout.pictureFrame);
      pictureArea_ = &pictureFrame_->Add(ControlKind::Paintbox);
      pictureArea_->SetBounds(1, 1, picture_->Width(), picture_->Height());
      pictureArea_->onPaint = [this](TControl&, TCanvas& canvas) { canvas.Draw(0, 0, *picture_); };
    }

    TControl& headingLabel = window_.Add(ControlKind::Label, heading);
    FontSpec bold = window_.Font();
    bold.size = kHeadingFontSize;
    bold.bold = true;
    headingLabel.SetFont(bold);
    Place(headingLabel, layout.heading);

    if (layout.message) {
      TControl& body = window_.Add(ControlKind::WordWrapLabel, std::string(message));
      Place(body, *layout.message);
    }

    if (layout.checkbox) {
      checkbox_ = &window_.Add(ControlKind::Checkbox, boxCaption);
      checkbox_->SetChecked(checkboxState);
      Place(*checkbox_, *layout.checkbox);
    }

    FontSpec buttonFont = window_.Font();
    buttonFont.size = kButtonFontSize;
    // Alt+Y and Alt+N answer as well.
    yes_ = &window_.Add(ControlKind::Button, WithMnemonic(TranslateText("Yes")));
    no_ = &window_.Add(ControlKind::Button, WithMnemonic(TranslateText("No")));
    yes_->onClick = [this](TControl&) { Answer(kResultYes); };
    no_->onClick = [this](TControl&) { Answer(kResultNo); };
    Place(*yes_, layout.yes);
    yes_->ModifyStyle(WS_GROUP, 0);  // the arrow keys move among the buttons
    Place(*no_, layout.no);
    yes_->SetFont(buttonFont);
    no_->SetFont(buttonFont);
    if (layout.third) {
      third_ = &window_.Add(ControlKind::Button, std::string(thirdCaption));
      third_->SetFont(buttonFont);
      Place(*third_, *layout.third);
      // A copy: the action must outlive nothing of the caller's but this call.
      third_->onClick = [action = thirdAction](TControl& pressed) { action(pressed); };
    }
    if (options.infoOnly) {
      yes_->Hide();
      no_->SetCaption(TranslateText("OK"));
    }
    no_->SetCancelButton(true);

    window_.SetSize(layout.windowWidth, layout.windowHeight);
    window_.CenterOnScreen();
    defaultButton_ = (options.yesDefault && !options.infoOnly) ? yes_ : no_;
    defaultButton_->SetDefaultButton(true);
  }

  // Shows the window and waits for an answer; true for "Yes".
  bool Run() {
    // The focus goes to the default button before the window appears and
    // again after it is activated (activation gives the focus to the form).
    defaultButton_->Focus();
    shownAt_ = ::GetTickCount64();
    window_.Show();
    window_.SetSize(window_.Width(), window_.Height());
    ::RedrawWindow(window_.Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    defaultButton_->Focus();
    // A window destroyed behind our back (a parent thread tearing down) ends
    // the wait as well, with the answer decided so far. Its destruction
    // reaches this thread as messages, so the blocking wait sees it.
    const HWND window = window_.HandleIfCreated();
    RunModalLoop([&] { return result_ != 0 || !::IsWindow(window); });
    return result_ == kResultYes;
  }

  bool HasCheckbox() const { return checkbox_ != nullptr; }
  bool CheckboxState() const { return checkbox_ && checkbox_->Checked(); }
  bool AnsweredYes() const { return result_ == kResultYes; }

  void Dismiss() {
    if (window_.HasHandle()) window_.Hide();
  }

 private:
  // The first answer stands: a close message that was queued behind a click
  // of "Yes" does not turn it into "No".
  void Answer(int code) {
    if (result_ == 0) result_ = code;
  }

  static void Place(TControl& control, const AskRect& r) {
    control.SetBounds(r.left, r.top, r.width, r.height);
  }

  bool KeysGuarded() const { return shownAt_ == 0 || InKeyGuard(::GetTickCount64() - shownAt_); }

  bool OnFormMessage(TMessage& m) {
    switch (m.message) {
      case WM_SYSCOMMAND:
        if ((m.wParam & 0xFFF0) == SC_CONTEXTHELP && !helpAddress_.empty()) {
          // The help button opens the address; the question stays.
          const std::string address = helpAddress_;
          Guarded([&] {
            ComApartment apartment(COINIT_APARTMENTTHREADED);
            OpenInNewBrowser(address);
          });
          m.result = 0;
          return true;
        }
        return false;
      case WM_MOVING:
        if (!pinned_) return false;
        ::GetWindowRect(m.window, reinterpret_cast<RECT*>(m.lParam));
        m.result = TRUE;
        return true;
      case WM_WINDOWPOSCHANGING:
        if (!pinned_ || shownAt_ == 0) return false;
        reinterpret_cast<WINDOWPOS*>(m.lParam)->flags |= SWP_NOMOVE;
        return false;  // the platform's handling still runs
      default:
        return false;
    }
  }

  TControl window_;
  TControl* yes_ = nullptr;
  TControl* no_ = nullptr;
  TControl* third_ = nullptr;
  TControl* checkbox_ = nullptr;
  TControl* pictureArea_ = nullptr;
  std::unique_ptr<TBitmap> picture_;
  unsigned long long shownAt_ = 0;  // tick count; 0 until shown
  TControl* pictureFrame_ = nullptr;
  std::string helpAddress_;
  bool pinned_;
  TControl* defaultButton_ = nullptr;
  int result_ = 0;
};

bool AskQuestion(std::string_view title, std::string_view heading, std::string_view message,
                 std::string_view helpAddress, std::string_view pictureName, bool& checkboxFlag,
                 std::string_view checkboxCaption, std::string_view thirdCaption,
                 const AskAction& thirdAction) {
  return GuardedOr(false, [&] {
    Pictures();
    std::string caption(title);
    if (!TakeAlwaysShowMark(caption) &&
        // The host's value, in the 32-bit view where the host keeps it.
        ReadRegInteger(HKEY_LOCAL_MACHINE, "Software\\Quillbox\\", "AFA_DONE", 0,
                       KEY_WOW64_32KEY) == 0)
      return false;
    std::string headingText;
    const QuestionOptions options = ReadQuestionOptions(heading, headingText);
    if (headingText.empty()) return false;

    VisualStyleScope styles;
    auto form = std::make_unique<TFormAsk>(caption, options, std::string(helpAddress));
    bool answer = false;
    Guarded([&] {
      form->Build(headingText, message, pictureName, options, checkboxFlag, checkboxCaption,
                  thirdCaption, thirdAction);
      answer = form->Run();
      if (form->HasCheckbox()) checkboxFlag = form->CheckboxState();
    });
    if (!answer) answer = form->AnsweredYes();
    Guarded([&] { form->Dismiss(); });
    form.reset();
    return answer;
  });
}

bool AskQuestionSimple(std::string_view title, std::string_view heading, std::string_view message,
                       std::string_view helpAddress, std::string_view pictureName,
                       bool& checkboxFlag) {
  return AskQuestion(title, heading, message, helpAddress, pictureName, checkboxFlag);
}

}  // namespace sentrova
