// TControl: one object per window or control, built in code.
//
//   TControl form(ControlKind::Form, nullptr, "Sentrova");
//   form.SetSize(300, 120);
//   TControl& ok = form.Add(ControlKind::Button, "OK");
//   ok.SetBounds(110, 60, 80, 24);
//   ok.onClick = [&](TControl&) { form.Hide(); };
//   form.CenterOnScreen();
//   form.Show();
//
// The platform window is made on first demand (the first operation that
// needs it), not at construction; until then every setting is stored and
// applied when the window is made. A window's children get their windows
// together with it. The window finds its object through the window property
// "SELF_"; its class is "obj_" + the platform class ("obj_BUTTON").
//
// Every message of a control is offered first to its hooks, the most
// recently added first; the first hook that handles it ends the offering and
// a hook that throws is passed over. Then the control's own handling runs
// (the events below), then the platform's.
//
// A control, its window and its handlers belong to the thread that made the
// window; call them on that thread only.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "toolkit/canvas.h"
#include "toolkit/kinds.h"

namespace sentrova {

// One window message as hooks see it; a hook that handles the message sets
// the result.
struct TMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
};

// Returns true when it handled the message.
using MessageHook = std::function<bool(TMessage& message)>;

enum class ColumnAlign { Left, Right, Center };
enum class PanelEdge { None, Sunken, Raised, Etched, Black };

// "Use the platform's colour" for SetColor and SetTextColor.
inline constexpr COLORREF kDefaultColor = CLR_INVALID;

namespace handle_traits {
struct Accelerators {
  using pointer = HACCEL;
  static HACCEL Invalid() noexcept { return nullptr; }
  static void Close(HACCEL h) noexcept { ::DestroyAcceleratorTable(h); }
};
}  // namespace handle_traits
using AcceleratorHandle = UniqueHandle<handle_traits::Accelerators>;

class TControl {
 public:
  using Handler = std::function<void(TControl& sender)>;
  using PaintHandler = std::function<void(TControl& sender, TCanvas& canvas)>;
  // Returns true when the key was handled (it then goes no further).
  using KeyHandler = std::function<bool(TControl& sender, int virtualKey)>;
  using RowHandler = std::function<void(TControl& sender, int row)>;
  // Menu and accelerator commands; returns true when handled.
  using CommandHandler = std::function<bool(TControl& sender, int command)>;
  // A key message (WM_KEYDOWN ... WM_SYSDEADCHAR) before it is used; returns
  // true to drop it.
  using KeyPreviewHandler = std::function<bool(TControl& form, const MSG& message)>;

  // A control of `kind` inside `parent` (for App and Form: owned by
  // `parent`'s window, or unowned when null). A new child starts at the
  // parent's margin, 64 x 64, then takes its kind's default size; it
  // inherits the parent's font and colours.
  TControl(ControlKind kind, TControl* parent, std::string caption = {});
  ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  // A child that this control owns and frees with itself.
  TControl& Add(ControlKind kind, std::string caption = {});

  // The object of a window made by the toolkit, else null.
  static TControl* FromHandle(HWND window);

  ControlKind Kind() const { return kind_; }
  TControl* Parent() const { return parent_; }
  // The form a control belongs to: the top-level control above it; for the
  // App window, the form that was active last.
  TControl* FormOf();
  // The control of a form that has (or gets) the keyboard focus.
  TControl* CurrentControl() const { return currentControl_; }

  // The window, made now if it does not exist yet (null if that failed).
  HWND Handle();
  bool HasHandle() const { return handle_ != nullptr; }
  HWND HandleIfCreated() const { return handle_; }
  // A window class name of the control's own (before the window exists);
  // it is registered as a class of the control's kind.
  void SetClassName(std::string name);
  const std::string& ClassName() const { return className_; }

  // Position and size in pixels: children relative to the parent's client
  // area, top-level windows on the screen.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Right() const { return left_ + width_; }
  int Bottom() const { return top_ + height_; }
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  void SetPosition(int left, int top) { SetBounds(left, top, width_, height_); }
  void SetBounds(int left, int top, int width, int height);
  // Ignores a width or a height of 0 or less.
  void SetSize(int width, int height);
  // Centres the window on the whole screen (truncating toward zero).
  void CenterOnScreen();
  // Where new children start.
  int Margin() const { return margin_; }
  void SetMargin(int margin) { margin_ = margin; }

  // The caption; for an edit box, the text as the user left it.
  std::string Caption() const;
  // Stored, given to the window, then the caption-changed handler runs
  // (only when the window exists).
  void SetCaption(std::string caption);
  // When on, the control fits its size to its caption now and after every
  // caption change.
  void SetAutoSize(bool autoSize);
  bool AutoSize() const { return autoSize_; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const;
  // Makes the control visible; a top-level window then comes to the
  // foreground.
  void Show();
  // Visible, without activation and without changing the stacking order.
  void ShowNoActivate();
  void Hide();
  void SetTopmost(bool topmost);
  bool Topmost() const { return (exStyle_ & WS_EX_TOPMOST) != 0; }
  // The window icon from an icon resource of the executable; false (and no
  // icon) when it lacks one of that name.
  bool SetIconFromResource(const char* name);
  // A shared icon (LoadIcon(nullptr, IDI_WARNING)); not destroyed here.
  void SetSharedIcon(HICON icon);
  HICON Icon() const { return bigIcon_; }
  void SetCursor(HCURSOR cursor) { cursor_ = cursor; }

  // Style bits, applied at once to an existing window (which is redrawn
  // with its new frame). WS_VISIBLE follows Show and Hide, not these.
  DWORD Style() const { return style_; }
  DWORD ExStyle() const { return exStyle_; }
  void SetStyle(DWORD style);
  void SetExStyle(DWORD exStyle);
  void ModifyStyle(DWORD add, DWORD remove) { SetStyle((style_ & ~remove) | add); }
  void ModifyExStyle(DWORD add, DWORD remove) { SetExStyle((exStyle_ & ~remove) | add); }

  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& font);
  HFONT PlatformFont();  // made on first use
  // A text's size in the control's font (one line).
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  COLORREF Color() const { return color_; }
  COLORREF TextColor() const { return textColor_; }
  void SetColor(COLORREF color);  // background of text and form
  void SetTextColor(COLORREF color);

  // Kind specific settings.
  void SetPanelEdge(PanelEdge edge);           // Panel
  void SetMultiLine(bool multiLine);           // Editbox: 200 x 200 when switched on
  // Button: the form's default button. Enter presses it unless the focus
  // is on another push button (which Enter then presses), and it shows the
  // default-button look while the focus is on no other push button: the
  // look follows the focus, as in the platform's dialogs.
  void SetDefaultButton(bool isDefault);
  // Button: the form's cancel button, which Escape presses. A form without
  // one takes Escape as a close request when it has an onClose handler.
  void SetCancelButton(bool isCancel);
  // Forms: the buttons marked so among their controls, else null.
  TControl* DefaultButton();
  TControl* CancelButton();
  bool IsPushButton() const;
  bool Checked() const;                        // Checkbox
  void SetChecked(bool checked);

  // A child becomes its form's current control and takes the keyboard
  // focus; a top-level window comes to the foreground instead.
  void Focus();

  // Sends to the window, making it first if needed.
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Asks the window to close (WM_CLOSE).
  void Close();

  // Hooks, keyed by their owner (usually `this` of the object adding it);
  // a key already present is not added again.
  void AddHook(const void* key, MessageHook hook);
  // A hook with a key of its own, which is returned for RemoveHook.
  const void* AddHook(MessageHook hook);
  void RemoveHook(const void* key);
  bool HasHook(const void* key) const;

  // Keyboard shortcuts offered by the accelerator variant of message
  // processing; commands arrive at onCommand.
  void SetAccelerators(const std::vector<ACCEL>& entries);
  HACCEL Accelerators() const { return accelerators_.get(); }

  // Event slots, each optional.
  Handler onClick;           // buttons, check boxes, labels, list rows
  Handler onChange;          // edit text, check box state
  Handler onCaptionChanged;  // after SetCaption on an existing window
  Handler onClose;           // WM_CLOSE; when set, the window is not destroyed
  PaintHandler onPaint;      // Paintbox (and any control that wants to draw itself)
  KeyHandler onKeyDown;
  RowHandler onRowChanged;   // list view: a row's state (selection, check box) changed
  CommandHandler onCommand;  // menu and accelerator commands
  // Forms: every key message for the form or one of its controls, as the
  // toolkit's message processing takes it, before keyboard navigation and
  // dispatch (see DialogNavigation); returns true to drop the message.
  KeyPreviewHandler onKeyPreview;

  // List view (Listview kind). Rows and columns count from 0.
  void SetListExStyle(DWORD exStyle);  // LVS_EX_CHECKBOXES, LVS_EX_FULLROWSELECT...
  // Appends a column; the width applies when positive. Returns its index.
  int AddColumn(const std::string& caption, ColumnAlign align = ColumnAlign::Left, int width = 0);
  int ColumnCount() const { return columnCount_; }
  // Append or insert a row; the new row's index, negative on failure. A
  // state image of 0 leaves the row's state image as the list makes it.
  int AddRow(const std::string& text, int image = -1, int stateImage = 0, LPARAM data = 0);
  int InsertRow(int index, const std::string& text);
  int RowCount();
  bool DeleteRow(int row);
  bool ClearRows();
  // A row's column: its text, and for column 0 also the image and state
  // image when given (not negative).
  bool SetCell(int row, int column, const std::string& text, int image = -1, int stateImage = -1);
  std::string CellText(int row, int column);
  LPARAM RowData(int row);
  bool SetRowData(int row, LPARAM data);
  // The check box is the row's state image: 1 empty, 2 ticked.
  bool RowChecked(int row);
  bool SetRowChecked(int row, bool checked);
  int FirstSelectedRow();  // negative when none is selected
  bool SelectRow(int row);

  // Keeps track of the object's life for holders of a plain pointer.
  std::weak_ptr<const bool> LifeToken() const { return alive_; }

 private:
  struct HookSlot {
    const void* key;
    MessageHook hook;
    bool removed = false;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND CreateWindowNow();
  void CreateChildWindows();
  void TakeSiblingOrder();
  void ApplyAfterCreation();
  void Bind(HWND window);
  void Unbind();
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool OfferToHooks(TMessage& message);
  bool HandleOwn(TMessage& message);
  bool HandleChildCommand(int code);
  bool HandleChildNotify(const NMHDR& header, LRESULT& result);
  bool ColorChild(TMessage& message);
  bool NextControl(TMessage& message);
  void FitToCaption();
  TControl* FindButton(bool TControl::*mark);
  void ShowDefaultLook(bool shown);
  void FollowFocus(TControl* focused);
  void ApplyStyle();
  void ApplyIcons();
  DWORD WindowStyle() const;
  void Unlink(TControl* child);

  ControlKind kind_;
  TControl* parent_;
  std::vector<TControl*> children_;               // every child, owned or not
  std::vector<std::unique_ptr<TControl>> owned_;  // children made by Add
  HWND handle_ = nullptr;
  std::atomic<DWORD> windowThread_{0};  // the thread that made the window
  WNDPROC baseProc_ = nullptr;
  std::string className_;
  std::string caption_;
  int left_ = 0;
  int top_ = 0;
  int width_ = kNewControlSize;
  int height_ = kNewControlSize;
  int margin_ = 8;
  bool enabled_ = true;
  bool visible_;
  bool autoSize_ = false;
  bool checked_ = false;
  bool multiLine_ = false;
  bool defaultChoice_ = false;  // buttons: Enter's button when no push button has the focus
  bool cancelChoice_ = false;   // buttons: Escape's button
  DWORD style_;
  DWORD exStyle_;
  FontSpec font_;
  FontHandle fontHandle_;
  COLORREF color_ = kDefaultColor;
  COLORREF textColor_ = kDefaultColor;
  BrushHandle brush_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  IconHandle ownedBigIcon_;
  IconHandle ownedSmallIcon_;
  HCURSOR cursor_ = nullptr;
  TControl* currentControl_ = nullptr;  // forms
  // The App window: the last form of the App window's own thread that was
  // activated (other threads' forms are never recorded here).
  std::atomic<TControl*> currentForm_{nullptr};
  AcceleratorHandle accelerators_;
  std::vector<std::shared_ptr<HookSlot>> hooks_;
  DWORD listExStyle_ = 0;
  int columnCount_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The process's application window (the first live App control), or null.
TControl* Application();

}  // namespace sentrova
