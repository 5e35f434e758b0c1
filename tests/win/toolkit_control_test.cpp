// ctest: serial
// Serial: the keys follow the keyboard focus, which a window of another test
// program taking the foreground would take away.
// TControl against real windows: creation on demand, hooks, geometry,
// captions, styles, events, message processing and popup menus.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/visual_styles.h"
#include "support/win_support.h"
#include "toolkit/canvas.h"
#include "toolkit/control.h"
#include "toolkit/menu.h"
#include "toolkit/message_loop.h"

namespace sentrova {
namespace {

std::string ClassOf(HWND window) {
  char text[128] = {};
  ::GetClassNameA(window, text, sizeof text);
  return text;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

RECT ClientRectInParent(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(Control, WindowIsMadeOnFirstDemandAndLinkedThroughSelf) {
  TControl form(ControlKind::Form, nullptr, "Question");
  TControl& yes = form.Add(ControlKind::Button, "Yes");
  yes.SetBounds(120, 80, 120, 22);
  yes.SetCaption("Yes!");
  yes.SetEnabled(false);
  form.SetSize(530, 200);
  EXPECT_FALSE(form.HasHandle());
  EXPECT_FALSE(yes.HasHandle());

  const HWND button = yes.Handle();
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(form.HasHandle()) << "the parent's window comes first";
  EXPECT_EQ(::GetParent(button), form.HandleIfCreated());
  EXPECT_EQ(ClassOf(button), "obj_BUTTON");
  EXPECT_EQ(ClassOf(form.Handle()), "obj_FORM");
  EXPECT_EQ(::GetPropA(button, "SELF_"), &yes);
  EXPECT_EQ(TControl::FromHandle(form.Handle()), &form);
  EXPECT_EQ(TControl::FromHandle(::GetDesktopWindow()), nullptr);

  // What was stored before the window existed is what the window shows.
  EXPECT_EQ(TextOf(button), "Yes!");
  EXPECT_FALSE(::IsWindowEnabled(button));
  const RECT r = ClientRectInParent(button);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_EQ(r.bottom - r.top, 22);
}

TEST(Control, ChildrenGetTheirWindowsWithTheFormAndLoseThemWithIt) {
  auto form = std::make_unique<TControl>(ControlKind::Form, nullptr, "form");
  TControl& label = form->Add(ControlKind::Label, "Heading");
  TControl& list = form->Add(ControlKind::Listview);
  ASSERT_NE(form->Handle(), nullptr);
  EXPECT_TRUE(label.HasHandle());
  EXPECT_TRUE(list.HasHandle());
  EXPECT_EQ(ClassOf(label.Handle()), "obj_STATIC");

  // A control of another owner outlives the window: the platform destroys
  // its window with its parent's and the object lets go of it.
  TControl outside(ControlKind::Button, form.get(), "free");
  const HWND outsideWindow = outside.Handle();
  ASSERT_NE(outsideWindow, nullptr);
  const HWND formWindow = form->Handle();
  form.reset();
  EXPECT_FALSE(::IsWindow(formWindow));
  EXPECT_FALSE(::IsWindow(outsideWindow));
  EXPECT_FALSE(outside.HasHandle());
  EXPECT_EQ(outside.Parent(), nullptr);
}

TEST(Control, AWindowDestroyedByThePlatformIsLetGoAndMadeAgainOnDemand) {
  TControl form(ControlKind::Form, nullptr, "again");
  TControl& ok = form.Add(ControlKind::Button, "OK");
  // Even a hook that claims the window's last message does not keep the link.
  form.AddHook([](TMessage& m) { return m.message == WM_NCDESTROY; });
  const HWND first = form.Handle();
  const HWND firstButton = ok.Handle();
  ASSERT_TRUE(::DestroyWindow(first));
  EXPECT_FALSE(form.HasHandle());
  EXPECT_FALSE(ok.HasHandle());
  EXPECT_EQ(TControl::FromHandle(first), nullptr);

  ok.SetCaption("Again");
  const HWND second = form.Handle();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(ok.HasHandle());
  EXPECT_NE(ok.Handle(), firstButton);
  EXPECT_EQ(TextOf(ok.Handle()), "Again");
  EXPECT_EQ(TextOf(second), "again");
}

TEST(Control, NewChildrenStartAtTheMarginWithTheirKindsSize) {
  TControl form(ControlKind::Form, nullptr, "form");
  form.SetMargin(12);
  struct Expected {
    ControlKind kind;
    int width;
    int height;
  };
  for (const Expected& e : {Expected{ControlKind::Button, 64, 22}, Expected{ControlKind::Checkbox, 72, 64},
                            Expected{ControlKind::Label, 64, 22}, Expected{ControlKind::WordWrapLabel, 64, 44},
                            Expected{ControlKind::Paintbox, 40, 40}, Expected{ControlKind::Panel, 100, 100},
                            Expected{ControlKind::Editbox, 100, 22}}) {
    TControl& child = form.Add(e.kind);
    EXPECT_EQ(child.Left(), 12);
    EXPECT_EQ(child.Top(), 12);
    EXPECT_EQ(child.Width(), e.width);
    EXPECT_EQ(child.Height(), e.height);
  }
  TControl& panel = form.Add(ControlKind::Panel);
  panel.SetPanelEdge(PanelEdge::Sunken);
  EXPECT_NE(::GetWindowLongPtrA(panel.Handle(), GWL_STYLE) & SS_SUNKEN, 0);
  TControl& memo = form.Add(ControlKind::Editbox);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrA(memo.Handle(), GCLP_HCURSOR)),
            ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_IBEAM)));
  memo.SetMultiLine(true);
  EXPECT_EQ(memo.Width(), 200);
  EXPECT_EQ(memo.Height(), 200);
  EXPECT_NE(::GetWindowLongPtrA(memo.Handle(), GWL_STYLE) & ES_MULTILINE, 0);

  // Fonts are inherited at creation.
  FontSpec bold{"Tahoma", 10, true};
  form.SetFont(bold);
  EXPECT_EQ(form.Add(ControlKind::Label).Font(), bold);
}

TEST(Control, HooksAreOfferedMostRecentFirstAndAFailingOneIsPassedOver) {
  TControl form(ControlKind::Form, nullptr, "hooks");
  const UINT probe = WM_APP + 5;
  std::vector<std::string> order;
  int keys[4];
  form.AddHook(&keys[0], [&](TMessage& m) {
    if (m.message == probe) order.push_back("first");
    return false;
  });
  form.AddHook(&keys[1], [&](TMessage& m) {
    if (m.message != probe) return false;
    order.push_back("second");
    m.result = 77;
    return true;
  });
  form.AddHook(&keys[2], [&](TMessage& m) -> bool {
    if (m.message != probe) return false;
    order.push_back("failing");
    throw std::runtime_error("hook failed");
  });
  form.AddHook(&keys[3], [&](TMessage& m) {
    if (m.message == probe) order.push_back("latest");
    return false;
  });
  // The same key again is not a second hook.
  form.AddHook(&keys[3], [&](TMessage& m) {
    if (m.message == probe) order.push_back("duplicate");
    return false;
  });

  EXPECT_EQ(form.Send(probe), 77);
  EXPECT_EQ(order, (std::vector<std::string>{"latest", "failing", "second"}));

  order.clear();
  form.RemoveHook(&keys[1]);
  EXPECT_EQ(form.Send(probe), 0) << "unhandled messages get the platform's handling";
  EXPECT_EQ(order, (std::vector<std::string>{"latest", "failing", "first"}));

  // Hooks without a key get one each.
  order.clear();
  const void* a = form.AddHook([&](TMessage& m) {
    if (m.message == probe) order.push_back("a");
    return false;
  });
  const void* b = form.AddHook([&](TMessage& m) {
    if (m.message == probe) order.push_back("b");
    return false;
  });
  EXPECT_NE(a, b);
  form.RemoveHook(b);
  form.Send(probe);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "latest", "failing", "first"}));
}

TEST(Control, AHookMayRemoveItselfAndOthersWhileTheMessageIsOffered) {
  TControl form(ControlKind::Form, nullptr, "removal");
  const UINT probe = WM_APP + 6;
  int older = 0;
  int self = 0;
  const void* olderKey = form.AddHook([&](TMessage& m) {
    older += m.message == probe;
    return false;
  });
  const void* selfKey = nullptr;
  selfKey = form.AddHook([&](TMessage& m) {
    if (m.message != probe) return false;
    ++self;
    form.RemoveHook(olderKey);
    form.RemoveHook(selfKey);
    return false;
  });
  form.Send(probe);
  form.Send(probe);
  EXPECT_EQ(self, 1);
  EXPECT_EQ(older, 0) << "a hook removed during the offering is not called";
}

TEST(Control, AHookMayRewriteAMessageBeforeTheDefaultHandling) {
  TControl form(ControlKind::Form, nullptr, "rewrite");
  bool closed = false;
  form.onClose = [&](TControl&) { closed = true; };
  form.AddHook(&form, [](TMessage& m) {
    if (m.message == WM_ENDSESSION) m.message = WM_CLOSE;
    return false;
  });
  form.Send(WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(closed);
}

TEST(Control, CentringTruncatesTowardZeroAndGoesNegativeWhenWider) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  TControl form(ControlKind::Form, nullptr, "centred");
  form.SetSize(531, 201);
  form.CenterOnScreen();
  EXPECT_EQ(form.Left(), (screenWidth - 531) / 2);
  EXPECT_EQ(form.Top(), (screenHeight - 201) / 2);

  form.SetSize(screenWidth + 101, 100);
  form.CenterOnScreen();
  EXPECT_EQ(form.Left(), -50);  // -101 / 2, truncated toward zero
  RECT r;
  ASSERT_TRUE(::GetWindowRect(form.Handle(), &r));
  EXPECT_EQ(r.left, -50);
  EXPECT_EQ(r.right - r.left, screenWidth + 101);

  form.SetSize(0, -4);
  EXPECT_EQ(form.Width(), screenWidth + 101) << "a size of 0 or less is ignored";
  EXPECT_EQ(form.Height(), 100);
  form.SetSize(300, 0);
  EXPECT_EQ(form.Width(), 300);
  EXPECT_EQ(form.Height(), 100);
}

TEST(Control, CaptionIsStoredBeforeTheWindowAndChangesAnnounceThemselves) {
  TControl form(ControlKind::Form, nullptr);
  std::vector<std::string> announced;
  form.onCaptionChanged = [&](TControl& sender) { announced.push_back(TextOf(sender.Handle())); };
  form.SetCaption("Sentrova - Clean Up");
  EXPECT_FALSE(form.HasHandle());
  EXPECT_TRUE(announced.empty()) << "no window, no announcement";
  EXPECT_EQ(form.Caption(), "Sentrova - Clean Up");

  EXPECT_EQ(TextOf(form.Handle()), "Sentrova - Clean Up");
  form.SetCaption("Sentrova - Detected Changes");
  EXPECT_EQ(announced, (std::vector<std::string>{"Sentrova - Detected Changes"}));

  // An edit box's caption is what the user left in it.
  TControl& edit = form.Add(ControlKind::Editbox, "typed");
  ::SetWindowTextA(edit.Handle(), "www.example.com");
  EXPECT_EQ(edit.Caption(), "www.example.com");
}

TEST(Control, AutoSizeFollowsTheCaption) {
  TControl form(ControlKind::Form, nullptr, "auto");
  TControl& label = form.Add(ControlKind::Label, "Short");
  label.SetAutoSize(true);
  EXPECT_FALSE(label.HasHandle()) << "measuring needs no window";
  TCanvas canvas = TCanvas::ForWindow(label.Handle());
  canvas.UseFont(label.PlatformFont());
  EXPECT_EQ(label.Width(), canvas.TextWidth("Short"));
  EXPECT_EQ(label.TextWidth("Short"), canvas.TextWidth("Short"));
  const int shortWidth = label.Width();
  label.SetCaption("A much longer caption than before");
  EXPECT_EQ(label.Width(), canvas.TextWidth("A much longer caption than before"));
  EXPECT_GT(label.Width(), shortWidth);

  // A bigger font measures wider.
  TControl& heading = form.Add(ControlKind::Label, "Short");
  heading.SetFont(FontSpec{"MS Sans Serif", 10, true});
  EXPECT_GT(heading.TextWidth("Short"), shortWidth);
}

TEST(Control, StylesTopmostAndIconApplyToTheExistingWindow) {
  TControl form(ControlKind::Form, nullptr, "styles");
  form.SetTopmost(true);
  const HWND window = form.Handle();
  EXPECT_NE(::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  form.SetTopmost(false);
  EXPECT_EQ(::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  ASSERT_NE(::GetWindowLongPtrA(window, GWL_STYLE) & WS_SYSMENU, 0);
  form.ModifyStyle(0, WS_SYSMENU);
  EXPECT_EQ(::GetWindowLongPtrA(window, GWL_STYLE) & WS_SYSMENU, 0);
  form.ModifyExStyle(WS_EX_CONTEXTHELP, 0);
  EXPECT_NE(::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);

  TControl& ok = form.Add(ControlKind::Button, "OK");
  ok.SetDefaultButton(true);
  EXPECT_EQ(::GetWindowLongPtrA(ok.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  ok.SetDefaultButton(false);
  EXPECT_EQ(::GetWindowLongPtrA(ok.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

  EXPECT_FALSE(form.SetIconFromResource("NOSUCHICON"));
  EXPECT_EQ(form.Send(WM_GETICON, ICON_BIG), 0) << "a missing resource leaves no icon";
  EXPECT_TRUE(form.SetIconFromResource("TESTICON"));
  EXPECT_NE(form.Send(WM_GETICON, ICON_BIG), 0);
  EXPECT_NE(form.Send(WM_GETICON, ICON_SMALL), 0);

  // A new icon replaces the old one in the window before the old one is
  // destroyed: the window never holds a destroyed icon.
  int replacedDead = 0, replaced = 0;
  form.AddHook([&](TMessage& m) {
    if (m.message != WM_SETICON) return false;
    const auto old = reinterpret_cast<HICON>(::SendMessageA(m.window, WM_GETICON, m.wParam, 0));
    ICONINFO info{};
    if (old && ::GetIconInfo(old, &info)) {
      ::DeleteObject(info.hbmColor);
      ::DeleteObject(info.hbmMask);
      ++replaced;
    } else if (old) {
      ++replacedDead;
    }
    return false;
  });
  EXPECT_TRUE(form.SetIconFromResource("TESTICON"));
  EXPECT_EQ(replaced, 2);
  EXPECT_EQ(replacedDead, 0);
}

// Which platform button a toolkit button is built on follows the activation
// context of the moment its window is made (themed inside the manifest's
// context), whichever button came first.
TEST(Control, ButtonsAreThemedWhereTheStylesAreActiveWhicheverCameFirst) {
  TControl form(ControlKind::Form, nullptr, "themes");
  TControl& classic = form.Add(ControlKind::Button, "classic");
  ASSERT_NE(classic.Handle(), nullptr);
  VisualStyleContext styles;
  ActivateVisualStyles(styles, 6);
  ASSERT_TRUE(styles.activated);
  TControl& themed = form.Add(ControlKind::Button, "themed");
  ASSERT_NE(themed.Handle(), nullptr);
  DeactivateVisualStyles(styles);
  constexpr UINT kGetIdealSize = 0x1601;  // BCM_GETIDEALSIZE: the themed button's own
  SIZE size{};
  EXPECT_NE(themed.Send(kGetIdealSize, 0, reinterpret_cast<LPARAM>(&size)), 0);
  EXPECT_EQ(classic.Send(kGetIdealSize, 0, reinterpret_cast<LPARAM>(&size)), 0);
  EXPECT_EQ(ClassOf(themed.Handle()), "obj_BUTTON");
}

TEST(Control, CursorAndColoursAnswerTheirMessages) {
  TControl form(ControlKind::Form, nullptr, "colours");
  const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  form.SetCursor(wait);
  EXPECT_EQ(form.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                      MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(::GetCursor(), wait);

  TControl& plain = form.Add(ControlKind::Label, "plain");
  TControl& coloured = form.Add(ControlKind::Label, "coloured");
  coloured.SetTextColor(RGB(200, 0, 0));
  coloured.SetColor(RGB(255, 255, 255));
  HDC dc = ::GetDC(form.Handle());
  const LRESULT brush =
      form.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(coloured.Handle()));
  EXPECT_NE(brush, 0);
  EXPECT_EQ(::GetTextColor(dc), RGB(200, 0, 0));
  EXPECT_EQ(::GetBkColor(dc), RGB(255, 255, 255));
  LOGBRUSH info{};
  ASSERT_NE(::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof info, &info), 0);
  EXPECT_EQ(info.lbColor, RGB(255, 255, 255));
  ::SetTextColor(dc, RGB(1, 2, 3));
  form.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(plain.Handle()));
  EXPECT_NE(::GetTextColor(dc), RGB(200, 0, 0)) << "a control without colours keeps the platform's";
  ::ReleaseDC(form.Handle(), dc);
}

TEST(Control, ShowHideAndShowWithoutActivating) {
  TControl first(ControlKind::Form, nullptr, "first");
  TControl second(ControlKind::Form, nullptr, "second");
  first.SetBounds(10, 10, 200, 100);
  second.SetBounds(300, 10, 200, 100);
  EXPECT_FALSE(first.Visible());
  first.Show();
  EXPECT_TRUE(::IsWindowVisible(first.Handle()));
  ASSERT_TRUE(test::WaitFor([&] { return ::GetForegroundWindow() == first.Handle(); }, 5000));

  second.ShowNoActivate();
  EXPECT_TRUE(::IsWindowVisible(second.Handle()));
  EXPECT_EQ(::GetForegroundWindow(), first.Handle());
  EXPECT_TRUE(second.Visible());

  first.Hide();
  EXPECT_FALSE(::IsWindowVisible(first.Handle()));
  EXPECT_FALSE(first.Visible());
}

TEST(Control, FocusMakesTheCurrentControl) {
  TControl form(ControlKind::Form, nullptr, "focus");
  TControl& yes = form.Add(ControlKind::Button, "Yes");
  TControl& no = form.Add(ControlKind::Button, "No");
  no.SetLeft(100);
  form.Show();
  no.Focus();
  EXPECT_EQ(form.CurrentControl(), &no);
  EXPECT_EQ(::GetFocus(), no.Handle());
  yes.Focus();
  EXPECT_EQ(form.CurrentControl(), &yes);
  EXPECT_EQ(::GetFocus(), yes.Handle());
  EXPECT_EQ(yes.FormOf(), &form);
}

TEST(Control, ClicksChecksAndKeysReachTheirHandlers) {
  TControl form(ControlKind::Form, nullptr, "events");
  TControl& button = form.Add(ControlKind::Button, "Go");
  TControl& box = form.Add(ControlKind::Checkbox, "Again");
  box.SetChecked(true);
  int clicks = 0;
  int changes = 0;
  std::vector<int> keys;
  button.onClick = [&](TControl&) { ++clicks; };
  box.onChange = [&](TControl&) { ++changes; };
  button.onKeyDown = [&](TControl&, int key) {
    keys.push_back(key);
    return key == VK_ESCAPE;
  };
  form.Show();
  EXPECT_EQ(::SendMessageA(box.Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);

  button.Send(BM_CLICK);
  EXPECT_EQ(clicks, 1);
  box.Send(BM_CLICK);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(box.Checked());

  button.Send(WM_KEYDOWN, VK_ESCAPE, 0);
  button.Send(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(keys, (std::vector<int>{VK_ESCAPE, VK_RETURN}));
}

TEST(Control, AHandlerMayFreeItsOwnForm) {
  auto form = std::make_unique<TControl>(ControlKind::Form, nullptr, "freed");
  TControl& button = form->Add(ControlKind::Button, "Close");
  button.onClick = [&](TControl&) { form.reset(); };
  form->Show();
  const HWND buttonWindow = button.Handle();
  ::SendMessageA(buttonWindow, BM_CLICK, 0, 0);
  EXPECT_EQ(form, nullptr);
  EXPECT_FALSE(::IsWindow(buttonWindow));
}

TEST(Control, PaintboxDrawsThroughItsCanvas) {
  TControl form(ControlKind::Form, nullptr, "paint");
  TControl& box = form.Add(ControlKind::Paintbox);
  int paints = 0;
  COLORREF seen = CLR_INVALID;
  box.onPaint = [&](TControl&, TCanvas& canvas) {
    ++paints;
    canvas.SetBrushColor(RGB(200, 30, 40));
    canvas.FillRect(0, 0, 40, 40);
    seen = canvas.Pixel(5, 5);
  };
  form.Show();
  ::InvalidateRect(box.Handle(), nullptr, TRUE);
  ::UpdateWindow(box.Handle());
  EXPECT_GE(paints, 1);
  // A window on Xvfb may be clipped by nothing else, so the drawn pixel
  // reads back from the paint context.
  EXPECT_EQ(seen, RGB(200, 30, 40));
}

TEST(Canvas, BitmapCanvasDrawsAndMeasures) {
  TBitmap bitmap(60, 20);
  ASSERT_TRUE(bitmap.Valid());
  TCanvas& canvas = bitmap.Canvas();
  canvas.SetBrushColor(RGB(0, 128, 255));
  canvas.FillRect(0, 0, 60, 20);
  EXPECT_EQ(canvas.Pixel(59, 19), RGB(0, 128, 255));
  canvas.SetPenColor(RGB(255, 0, 0));
  canvas.Line(0, 10, 60, 10);
  EXPECT_EQ(canvas.Pixel(30, 10), RGB(255, 0, 0));

  canvas.SetFont(FontSpec{"Tahoma", 8, false});
  const int narrow = canvas.TextWidth("Yes");
  canvas.SetFont(FontSpec{"Tahoma", 16, true});
  EXPECT_GT(canvas.TextWidth("Yes"), narrow);
  EXPECT_GT(canvas.TextHeight(""), 0);

  TBitmap copy(60, 20);
  copy.Canvas().Draw(0, 0, bitmap);
  EXPECT_EQ(copy.Canvas().Pixel(30, 10), RGB(255, 0, 0));
  EXPECT_EQ(copy.Canvas().Pixel(2, 2), RGB(0, 128, 255));

  EXPECT_TRUE(TIcon::FromResource("TESTICON").Valid());
  EXPECT_FALSE(TIcon::FromResource("NOSUCHICON").Valid());
}

TEST(MessageProcessing, OneMessagePerCallAndTheQuitMessageIsNotDispatched) {
  TControl form(ControlKind::Form, nullptr, "loop");
  std::vector<WPARAM> seen;
  form.AddHook(&form, [&](TMessage& m) {
    if (m.message == WM_APP) seen.push_back(m.wParam);
    return m.message == WM_APP;
  });
  ProcessMessages();  // whatever creating the window queued
  ::PostMessageA(form.Handle(), WM_APP, 1, 0);
  ::PostMessageA(form.Handle(), WM_APP, 2, 0);
  EXPECT_TRUE(ProcessMessage());
  EXPECT_EQ(seen, (std::vector<WPARAM>{1}));
  EXPECT_TRUE(ProcessMessage());
  EXPECT_EQ(seen, (std::vector<WPARAM>{1, 2}));
  ProcessMessages();
  EXPECT_FALSE(ProcessMessage()) << "an empty queue gives nothing";

  EXPECT_FALSE(QuitReceived());
  ::PostQuitMessage(3);
  EXPECT_TRUE(ProcessMessage());
  int code = 0;
  EXPECT_TRUE(QuitReceived(&code));
  EXPECT_EQ(code, 3);
}

TEST(MessageProcessing, AcceleratorsOfTheControlAndItsFormComeBeforeDispatch) {
  TControl form(ControlKind::Form, nullptr, "keys");
  TControl& button = form.Add(ControlKind::Button, "Go");
  std::vector<int> commands;
  int keysDispatched = 0;
  form.onCommand = [&](TControl&, int command) {
    commands.push_back(command);
    return true;
  };
  button.onCommand = form.onCommand;
  button.onKeyDown = [&](TControl&, int) {
    ++keysDispatched;
    return true;
  };
  form.SetAccelerators({ACCEL{FVIRTKEY, VK_F5, 42}});
  button.SetAccelerators({ACCEL{FVIRTKEY, VK_F6, 43}});
  form.Show();
  ProcessMessages();

  ::PostMessageA(button.Handle(), WM_KEYDOWN, VK_F5, 0);
  EXPECT_TRUE(ProcessMessage(button));
  ::PostMessageA(button.Handle(), WM_KEYDOWN, VK_F6, 0);
  EXPECT_TRUE(ProcessMessage(button));
  EXPECT_EQ(commands, (std::vector<int>{42, 43}));
  EXPECT_EQ(keysDispatched, 0) << "a key an accelerator took is not dispatched";

  // Without accelerators the key reaches the control.
  ::PostMessageA(button.Handle(), WM_KEYDOWN, VK_F5, 0);
  EXPECT_TRUE(ProcessMessage());
  EXPECT_EQ(keysDispatched, 1);
  EXPECT_EQ(commands.size(), 2u);
}

TEST(MessageProcessing, ModalLoopRunsUntilItsFlagIsSet) {
  TControl form(ControlKind::Form, nullptr, "Modal loop test");
  TControl& ok = form.Add(ControlKind::Button, "OK");
  int result = 0;
  ok.onClick = [&](TControl&) { result = 1; };
  form.Show();
  std::atomic<bool> gaveUp{false};
  const DWORD loopThread = ::GetCurrentThreadId();
  std::thread driver([&] {
    HWND window = nullptr;
    if (!test::WaitFor([&] { return (window = ::FindWindowA(nullptr, "Modal loop test")) != nullptr; },
                       10000)) {
      gaveUp = true;
      ::PostThreadMessageA(loopThread, WM_NULL, 0, 0);  // the loop waits for a message
      return;
    }
    ::Sleep(200);  // the loop is waiting by now (or soon): a message wakes it
    ::PostMessageA(::GetWindow(window, GW_CHILD), BM_CLICK, 0, 0);
  });
  RunModalLoop([&] { return result != 0 || gaveUp; });
  driver.join();
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(result, 1);

  // A quit message ends the loop before its flag is set, and is put back
  // for the caller's own loop.
  result = 0;
  ::PostQuitMessage(5);
  RunModalLoop([&] { return result != 0; });
  EXPECT_EQ(result, 0);
  MSG quit{};
  EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 5u);
}

// Keys posted to the focused control and taken by the toolkit's message
// processing, as the user's keys are: where the focus goes, what is clicked.
TEST(MessageProcessing, FormsTakeTabArrowsAndMnemonicsButLeaveEnterAndEscape) {
  // A text, an edit box, a check box, then a group of three buttons.
  TControl form(ControlKind::Form, nullptr, "keyboard");
  std::vector<TControl*> c;
  std::string clicked;
  std::vector<WPARAM> keysAtControls;
  for (auto [kind, caption] : {std::pair{ControlKind::Label, "Name:"}, {ControlKind::Editbox, "x"},
                               {ControlKind::Checkbox, "&Keep"}, {ControlKind::Button, "&Add"},
                               {ControlKind::Button, "&Remove"}, {ControlKind::Button, "Close"}}) {
    c.push_back(&form.Add(kind, caption));
    c.back()->SetBounds(90 * static_cast<int>(c.size()), 10, 80, 22);
    c.back()->onClick = [&](TControl& b) { clicked = b.Caption(); };
    c.back()->onKeyDown = [&](TControl&, int key) {
      keysAtControls.push_back(static_cast<WPARAM>(key));
      return true;
    };
  }
  c[3]->ModifyStyle(WS_GROUP, 0);
  form.SetSize(600, 80);
  c[4]->Handle();  // made before its siblings, yet in its place in the focus order
  form.Show();
  c[1]->Focus();
  ProcessMessages();

  struct Step {
    UINT message;
    WPARAM key;
    bool shift;
    int focus;  // afterwards
    const char* clicked;
  };
  const Step steps[] = {
      {WM_KEYDOWN, VK_TAB, false, 2, ""},  {WM_KEYDOWN, VK_TAB, false, 3, ""},
      {WM_KEYDOWN, VK_TAB, true, 2, ""},   {WM_KEYDOWN, VK_TAB, true, 1, ""},
      {WM_KEYDOWN, VK_TAB, true, 5, ""},   // wraps around, past the text
      {WM_KEYDOWN, VK_RIGHT, false, 3, ""},  {WM_KEYDOWN, VK_DOWN, false, 4, ""},
      {WM_KEYDOWN, VK_UP, false, 3, ""},     {WM_KEYDOWN, VK_UP, false, 5, ""},  // within the group
      {WM_KEYDOWN, VK_TAB, false, 1, ""},
      {WM_KEYDOWN, VK_RIGHT, false, 1, ""},  // the edit box keeps its arrows
      {WM_KEYDOWN, VK_TAB, false, 2, ""},
      {WM_KEYDOWN, VK_DOWN, false, 1, ""},   // the text's group, which skips the text
      {WM_SYSCHAR, 'r', false, 4, "&Remove"}, {WM_SYSCHAR, 'K', false, 2, "&Keep"},  // Alt
      {WM_KEYDOWN, VK_RETURN, false, 2, ""}, {WM_KEYDOWN, VK_ESCAPE, false, 2, ""},
  };
  BYTE keys[256] = {};
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "message " << step.message << " key " << step.key
                                    << (step.shift ? " with Shift" : ""));
    clicked.clear();
    keys[VK_SHIFT] = step.shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageA(::GetFocus(), step.message, step.key, step.message == WM_SYSCHAR ? 1 << 29 : 1);
    ProcessMessages();
    EXPECT_EQ(::GetFocus(), c[step.focus]->Handle());
    EXPECT_EQ(clicked, step.clicked);
  }
  keys[VK_SHIFT] = 0;
  ::SetKeyboardState(keys);
  EXPECT_TRUE(c[2]->Checked());
  EXPECT_EQ(keysAtControls, (std::vector<WPARAM>{VK_RIGHT, VK_RETURN, VK_ESCAPE}))
      << "only the edit box's arrow, Enter and Escape reach the controls' key handlers";
}

// Picks the first item of the popup menu that appears, from another thread.
std::thread ChooseFirstMenuItem(std::atomic<bool>& found) {
  return std::thread([&found] {
    HWND menu = nullptr;
    found = test::WaitFor([&] { return (menu = ::FindWindowA("#32768", nullptr)) != nullptr; }, 10000);
    if (!found) return;
    ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  });
}

TEST(Menu, PopupReturnsTheChoiceAndSendsItToTheOwner) {
  TControl app(ControlKind::App, nullptr, "VRX");
  app.SetBounds(0, 0, 100, 50);
  std::vector<int> commands;
  app.onCommand = [&](TControl&, int command) {
    commands.push_back(command);
    return true;
  };
  TMenu menu(&app);
  ASSERT_TRUE(menu.AddItem(1, "Clean Up Now"));
  ASSERT_TRUE(menu.AddSeparator());
  ASSERT_TRUE(menu.AddItem(5, "Remove Icon"));
  EXPECT_EQ(menu.ItemCount(), 3);
  int popups = 0;
  menu.onPopup = [&](TMenu& m) {
    ++popups;
    m.SetItemEnabled(5, true);
  };
  app.Show();

  std::atomic<bool> found{false};
  std::thread driver = ChooseFirstMenuItem(found);
  const int chosen = menu.Popup(50, 50);
  driver.join();
  ASSERT_TRUE(found);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(commands, (std::vector<int>{1}));
}

TEST(Menu, WithoutAnOwnerTheChoiceIsOnlyReturned) {
  TMenu menu;
  menu.AddItem(3, "Help");
  menu.AddItem(4, "About");
  std::atomic<bool> found{false};
  std::thread driver = ChooseFirstMenuItem(found);
  const int chosen = menu.Popup(40, 40);
  driver.join();
  ASSERT_TRUE(found);
  EXPECT_EQ(chosen, 3);
}

TEST(App, SystemMenuKeepsMoveAndCloseAndFocusGoesToTheCurrentForm) {
  TControl app(ControlKind::App, nullptr, "VRX");
  ASSERT_EQ(Application(), &app);
  HMENU system = ::GetSystemMenu(app.Handle(), FALSE);
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(::GetMenuState(system, SC_SIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(::GetMenuState(system, SC_MINIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(::GetMenuState(system, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(::GetMenuState(system, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_NE(::GetMenuState(system, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(::GetWindowLongPtrA(app.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

  TControl form(ControlKind::Form, &app, "dialog");
  TControl& ok = form.Add(ControlKind::Button, "OK");
  form.Show();
  ok.Focus();
  ASSERT_TRUE(test::WaitFor([&] { return app.FormOf() == &form; }, 5000)) << "activation makes the current form";
  app.Show();
  ::SetFocus(app.Handle());
  EXPECT_EQ(::GetFocus(), ok.Handle()) << "the application window passes the focus on";
  EXPECT_EQ(::GetWindow(form.Handle(), GW_OWNER), app.Handle());
}

TEST(Control, OwnClassNameIsRegisteredForTheKind) {
  TControl app(ControlKind::App, nullptr, "VRX");
  app.SetClassName("VRXWndClass");
  app.SetStyle(0);
  EXPECT_EQ(ClassOf(app.Handle()), "VRXWndClass");
  EXPECT_EQ(::FindWindowA("VRXWndClass", "VRX"), app.Handle());
  EXPECT_FALSE(::IsWindowVisible(app.Handle()));
}

}  // namespace
}  // namespace sentrova
