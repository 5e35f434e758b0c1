// Captions, fonts and colours of TControl, and the text kinds (labels,
// panels, edit boxes).
#include "toolkit/control.h"

#include <algorithm>

#include "toolkit/rules.h"

namespace sentrova {

std::string TControl::Caption() const {
  if (!handle_) return caption_;
  const int length = ::GetWindowTextLengthA(handle_);
  std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  const int copied = ::GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

void TControl::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (!handle_) return;
  ::SetWindowTextA(handle_, caption_.c_str());
  if (autoSize_) FitToCaption();
  if (onCaptionChanged) onCaptionChanged(*this);
}

void TControl::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  if (autoSize_) FitToCaption();
}

void TControl::FitToCaption() {
  const std::string text = Caption();
  const Extent size = AutoSizeExtent(kind_, TextWidth(text), TextHeight(text));
  SetSize(size.width, size.height);
}

void TControl::SetFont(const FontSpec& font) {
  font_ = font;
  if (!fontHandle_) return;  // made with the window
  sentrova::FontHandle previous = std::move(fontHandle_);
  if (handle_) ::SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(PlatformFont()), TRUE);
  if (autoSize_) FitToCaption();
}

HFONT TControl::PlatformFont() {
  if (!fontHandle_) fontHandle_ = CreateFontFor(font_);
  return fontHandle_.get();
}

int TControl::TextWidth(const std::string& text) {
  TCanvas canvas = TCanvas::ForWindow(handle_);
  canvas.UseFont(PlatformFont());
  return canvas.TextWidth(text);
}

int TControl::TextHeight(const std::string& text) {
  TCanvas canvas = TCanvas::ForWindow(handle_);
  canvas.UseFont(PlatformFont());
  return canvas.TextHeight(text);
}

bool TControl::ColorChild(TMessage& m) {
  TControl* child = FromHandle(reinterpret_cast<HWND>(m.lParam));
  if (!child || (child->color_ == kDefaultColor && child->textColor_ == kDefaultColor))
    return false;
  HDC dc = reinterpret_cast<HDC>(m.wParam);
  if (child->textColor_ != kDefaultColor) ::SetTextColor(dc, child->textColor_);
  const COLORREF back =
      child->color_ != kDefaultColor ? child->color_ : ::GetSysColor(COLOR_BTNFACE);
  ::SetBkColor(dc, back);
  if (!child->brush_) child->brush_.reset(::CreateSolidBrush(back));
  m.result = reinterpret_cast<LRESULT>(child->brush_.get());
  return true;
}

void TControl::SetColor(COLORREF color) {
  color_ = color;
  brush_.reset();
  if (handle_) ::InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::SetTextColor(COLORREF color) {
  textColor_ = color;
  if (handle_) ::InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::SetPanelEdge(PanelEdge edge) {
  DWORD style = style_ & ~(SS_TYPEMASK | SS_SUNKEN);
  DWORD exStyle = exStyle_ & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE);
  switch (edge) {
    case PanelEdge::None:
      break;
    case PanelEdge::Sunken:
      style |= SS_SUNKEN;
      break;
    case PanelEdge::Raised:
      exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case PanelEdge::Etched:
      style |= SS_ETCHEDFRAME;
      break;
    case PanelEdge::Black:
      style |= SS_BLACKFRAME;
      break;
  }
  SetStyle(style);
  SetExStyle(exStyle);
}

void TControl::SetMultiLine(bool multiLine) {
  if (kind_ != ControlKind::Editbox || multiLine_ == multiLine) return;
  multiLine_ = multiLine;
  if (multiLine) SetSize(kMultiLineEditSize, kMultiLineEditSize);
  ApplyStyle();
}

}  // namespace sentrova
