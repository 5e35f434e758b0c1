#include "toolkit/canvas.h"

#include <utility>

namespace sentrova {

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

FontHandle CreateFontFor(const FontSpec& fontSpec) {
  const int dpi = ScreenDpi();
  return FontHandle(::CreateFontA(-::MulDiv(fontSpec.size, dpi, 72), 0, 0, 0,
                                  fontSpec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  fontSpec.name.c_str()));
}

TCanvas::TCanvas(HDC dc) : dc_(dc) {
  if (dc_) savedState_ = ::SaveDC(dc_);
}

TCanvas::TCanvas(HDC dc, HWND releaseTo) : dc_(dc), releaseTo_(releaseTo), ownsDc_(true) {
  if (dc_) savedState_ = ::SaveDC(dc_);
}

TCanvas TCanvas::ForWindow(HWND window) { return TCanvas(::GetDC(window), window); }

TCanvas::TCanvas(TCanvas&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)),
      releaseTo_(std::exchange(other.releaseTo_, nullptr)),
      ownsDc_(std::exchange(other.ownsDc_, false)),
      savedState_(std::exchange(other.savedState_, 0)),
      font_(std::move(other.font_)),
      brush_(std::move(other.brush_)),
      pen_(std::move(other.pen_)) {}

TCanvas::~TCanvas() {
  if (!dc_) return;
  // Put the context's own objects back before ours are deleted.
  if (savedState_) ::RestoreDC(dc_, savedState_);
  if (ownsDc_) ::ReleaseDC(releaseTo_, dc_);
}

void TCanvas::SetFont(const FontSpec& fontSpec) {
  FontHandle font = CreateFontFor(fontSpec);
  if (!font || !dc_) return;
  ::SelectObject(dc_, font.get());
  font_ = std::move(font);
}

void TCanvas::UseFont(HFONT font) {
  if (dc_ && font) ::SelectObject(dc_, font);
}

void TCanvas::SetTextColor(COLORREF color) {
  if (dc_) ::SetTextColor(dc_, color);
}

void TCanvas::SetBrushColor(COLORREF color) {
  BrushHandle brush(::CreateSolidBrush(color));
  if (!brush || !dc_) return;
  ::SelectObject(dc_, brush.get());
  brush_ = std::move(brush);
}

void TCanvas::SetPenColor(COLORREF color) {
  PenHandle pen(::CreatePen(PS_SOLID, 1, color));
  if (!pen || !dc_) return;
  ::SelectObject(dc_, pen.get());
  pen_ = std::move(pen);
}

void TCanvas::SetTransparentText(bool transparent) {
  if (dc_) ::SetBkMode(dc_, transparent ? TRANSPARENT : OPAQUE);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  if (dc_) ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

SIZE TCanvas::Measure(std::string_view text) {
  SIZE size{0, 0};
  if (dc_) ::GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

int TCanvas::TextWidth(std::string_view text) { return Measure(text).cx; }

int TCanvas::TextHeight(std::string_view text) {
  // An empty text still has the line's height.
  return Measure(text.empty() ? std::string_view("Wg") : text).cy;
}

void TCanvas::FillRect(int left, int top, int right, int bottom) {
  if (!dc_) return;
  const RECT r{left, top, right, bottom};
  ::FillRect(dc_, &r, static_cast<HBRUSH>(::GetCurrentObject(dc_, OBJ_BRUSH)));
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (dc_) ::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::Line(int x1, int y1, int x2, int y2) {
  if (!dc_) return;
  ::MoveToEx(dc_, x1, y1, nullptr);
  ::LineTo(dc_, x2, y2);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (dc_ && bitmap.Valid())
    ::BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), bitmap.Dc(), 0, 0, SRCCOPY);
}

void TCanvas::DrawIcon(int x, int y, HICON icon, int size) {
  if (dc_ && icon) ::DrawIconEx(dc_, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
}

COLORREF TCanvas::Pixel(int x, int y) const { return dc_ ? ::GetPixel(dc_, x, y) : CLR_INVALID; }

TBitmap::TBitmap(int width, int height)
    : width_(width > 0 ? width : 0), height_(height > 0 ? height : 0) {
  HDC screen = ::GetDC(nullptr);
  if (screen) {
    dc_.reset(::CreateCompatibleDC(screen));
    if (width_ > 0 && height_ > 0) bitmap_.reset(::CreateCompatibleBitmap(screen, width_, height_));
    ::ReleaseDC(nullptr, screen);
  }
  if (Valid()) previous_ = ::SelectObject(dc_.get(), bitmap_.get());
  canvas_.emplace(Valid() ? dc_.get() : nullptr);
}

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
}

TIcon TIcon::FromResource(const char* name, int size) {
  const int cx = size > 0 ? size : ::GetSystemMetrics(SM_CXICON);
  const int cy = size > 0 ? size : ::GetSystemMetrics(SM_CYICON);
  return TIcon(IconHandle(static_cast<HICON>(
      ::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_ICON, cx, cy, 0))));
}

}  // namespace sentrova
