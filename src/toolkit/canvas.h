// Drawing: TCanvas over a device context with the font, brush and pen it
// carries, TBitmap (an off-screen picture with its own canvas) and TIcon.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/handle.h"

namespace sentrova {

// A font as the toolkit describes it; size in points.
struct FontSpec {
  std::string name = "MS Sans Serif";
  int size = 8;
  bool bold = false;

  bool operator==(const FontSpec&) const = default;
};

// Creates the platform font for a font description at the screen's resolution.
FontHandle CreateFontFor(const FontSpec& fontSpec);
// The screen's resolution in dots per inch (96 when it cannot be read), by
// which font sizes become pixels.
int ScreenDpi();

class TBitmap;

class TCanvas {
 public:
  // Draws on a device context that someone else owns (a paint message's).
  explicit TCanvas(HDC dc);
  // Draws on a window's client area; the context is released with the canvas.
  static TCanvas ForWindow(HWND window);
  TCanvas(TCanvas&& other) noexcept;
  TCanvas& operator=(TCanvas&&) = delete;
  TCanvas(const TCanvas&) = delete;
  ~TCanvas();

  HDC Handle() const { return dc_; }

  // Tools. The canvas owns the font and brush it creates and puts the
  // context's own objects back when it is destroyed.
  void SetFont(const FontSpec& fontSpec);
  void UseFont(HFONT font);  // borrowed: stays the caller's
  void SetTextColor(COLORREF color);
  void SetBrushColor(COLORREF color);
  void SetPenColor(COLORREF color);
  void SetTransparentText(bool transparent);

  // Output.
  void TextOut(int x, int y, std::string_view text);
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text);
  void FillRect(int left, int top, int right, int bottom);  // with the brush
  void Rectangle(int left, int top, int right, int bottom);  // pen outline, brush inside
  void Line(int x1, int y1, int x2, int y2);
  void Draw(int x, int y, const TBitmap& bitmap);
  void DrawIcon(int x, int y, HICON icon, int size = 0);  // 0: the icon's own size
  COLORREF Pixel(int x, int y) const;

 private:
  TCanvas(HDC dc, HWND releaseTo);
  SIZE Measure(std::string_view text);

  HDC dc_ = nullptr;
  HWND releaseTo_ = nullptr;  // GetDC's window: ReleaseDC on destruction
  bool ownsDc_ = false;
  int savedState_ = 0;
  FontHandle font_;
  BrushHandle brush_;
  PenHandle pen_;
};

// An off-screen picture compatible with the screen, with a canvas on it.
class TBitmap {
 public:
  TBitmap(int width, int height);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  bool Valid() const { return bitmap_.valid() && dc_.valid(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  HBITMAP Handle() const { return bitmap_.get(); }
  HDC Dc() const { return dc_.get(); }
  TCanvas& Canvas() { return *canvas_; }

 private:
  int width_;
  int height_;
  MemoryDcHandle dc_;
  BitmapHandle bitmap_;
  HGDIOBJ previous_ = nullptr;
  std::optional<TCanvas> canvas_;
};

// An icon the toolkit owns.
class TIcon {
 public:
  TIcon() = default;
  explicit TIcon(IconHandle icon) : icon_(std::move(icon)) {}

  // An icon resource of the running executable at the given size (0: the
  // system's large icon size). Empty when the executable lacks it.
  static TIcon FromResource(const char* name, int size = 0);

  bool Valid() const { return icon_.valid(); }
  HICON Handle() const { return icon_.get(); }
  IconHandle Release() { return IconHandle(icon_.release()); }

 private:
  IconHandle icon_;
};

}  // namespace sentrova
