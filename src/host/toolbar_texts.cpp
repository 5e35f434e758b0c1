#include "host/toolbar_texts.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <stdexcept>

#include "branding/translate.h"
#include "platform/guard.h"
#include "platform/handle.h"

namespace sentrova {

namespace {

constexpr int kButtonSize = 16;
// Larger images are not turned into button images.
constexpr int kMaxImageSide = 1024;

std::mutex textsMutex;
ToolbarTexts texts;

// One BMP file: the file header, the info header (with its colour masks or
// palette, if any) and the rows as GetDIBits wrote them.
std::vector<uint8_t> BmpFile(const BITMAPINFOHEADER& header, const void* extra, size_t extraSize,
                             const std::vector<uint8_t>& rows) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof header + extraSize);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + rows.size());
  std::vector<uint8_t> out(file.bfSize);
  uint8_t* p = out.data();
  std::memcpy(p, &file, sizeof file);
  std::memcpy(p + sizeof file, &header, sizeof header);
  if (extraSize > 0) std::memcpy(p + sizeof file + sizeof header, extra, extraSize);
  std::memcpy(p + file.bfOffBits, rows.data(), rows.size());
  return out;
}

// The BUTTON bitmap drawn onto a new bitmap of `bitCount` bits per pixel
// (0: the screen's format), returned as a BMP file.
std::vector<uint8_t> ButtonBmp(HBITMAP source, int width, int height, int bitCount) {
  struct ScreenDc {
    HDC dc = ::GetDC(nullptr);
    ~ScreenDc() {
      if (dc) ::ReleaseDC(nullptr, dc);
    }
    HDC get() const { return dc; }
  } screen;
  MemoryDcHandle from(::CreateCompatibleDC(screen.get()));
  MemoryDcHandle to(::CreateCompatibleDC(screen.get()));
  if (!from || !to) throw std::runtime_error("no device context");
  BitmapHandle target;
  if (bitCount == 32) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB};
    void* bits = nullptr;
    target.reset(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  } else {
    target.reset(::CreateCompatibleBitmap(screen.get(), width, height));
    bitCount = ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES);
    // Palette screens are written as true colour.
    if (bitCount != 16 && bitCount != 24 && bitCount != 32) bitCount = 24;
  }
  if (!target) throw std::runtime_error("no bitmap");
  HGDIOBJ oldFrom = ::SelectObject(from.get(), source);
  HGDIOBJ oldTo = ::SelectObject(to.get(), target.get());
  const BOOL drawn = ::BitBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, SRCCOPY);
  ::SelectObject(from.get(), oldFrom);
  ::SelectObject(to.get(), oldTo);
  if (!drawn) throw std::runtime_error("not drawn");

  BITMAPINFOHEADER header{sizeof header, width, height, 1, static_cast<WORD>(bitCount), BI_RGB};
  const size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
  header.biSizeImage = static_cast<DWORD>(stride * height);
  std::vector<uint8_t> rows(header.biSizeImage);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  info.header = header;
  if (::GetDIBits(to.get(), target.get(), 0, static_cast<UINT>(height), rows.data(),
                  reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != height) {
    throw std::runtime_error("no pixels");
  }
  return BmpFile(header, nullptr, 0, rows);
}

ToolbarCaptions TranslatedCaptions() {
  ToolbarCaptions c;
  c.productName = TranslateText("Sentrova");
  c.cleanUpNow = TranslateText("Clean Up Now");
  c.settings = TranslateText("Settings");
  c.removeIcon = TranslateText("Remove Icon");
  c.help = TranslateText("Help");
  c.about = TranslateText("About");
  c.trayTip = TranslateText("Sentrova");
  c.cleanUpSettings = TranslateText("Clean Up Settings");
  c.securityMonitoring = TranslateText("Security Monitoring");
  return c;
}

}  // namespace

std::string BuildMenuText(const ToolbarCaptions& c) {
  return c.cleanUpNow + "=CLEAN\n-\n" + c.settings + "=OPT\n" + c.help + "=HELP\n" + c.about +
         "=ABOUT";
}

std::string BuildSettingsPageList(const ToolbarCaptions& c, std::string_view exePath) {
  const std::string prefix = "=res://" + std::string(exePath) + "/";
  return c.productName + prefix + "opt_general\r\n" + c.cleanUpSettings + prefix +
         "opt_cleanup\r\n" + c.securityMonitoring + prefix + "opt_security";
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

void BuildToolbarTexts() {
  ToolbarTexts made;
  made.captions = TranslatedCaptions();
  made.menuText = BuildMenuText(made.captions);
  Guarded([&] {
    BitmapHandle button(static_cast<HBITMAP>(::LoadImageA(
        ::GetModuleHandleA(nullptr), "BUTTON", IMAGE_BITMAP, kButtonSize, kButtonSize, 0)));
    if (!button) return;
    BITMAP info{};
    ::GetObjectA(button.get(), sizeof info, &info);
    if (info.bmWidth <= 0 || info.bmHeight <= 0 || info.bmWidth > kMaxImageSide ||
        info.bmHeight > kMaxImageSide) {
      return;
    }
    Guarded([&] { made.buttonImage = ButtonBmp(button.get(), info.bmWidth, info.bmHeight, 32); });
    Guarded([&] {
      made.buttonImageText = HexText(ButtonBmp(button.get(), info.bmWidth, info.bmHeight, 0));
    });
  });
  std::lock_guard<std::mutex> lock(textsMutex);
  texts = std::move(made);
}

ToolbarTexts CurrentToolbarTexts() {
  std::lock_guard<std::mutex> lock(textsMutex);
  return texts;
}

void ReleaseToolbarImages() {
  std::lock_guard<std::mutex> lock(textsMutex);
  texts.buttonImage.clear();
  texts.buttonImage.shrink_to_fit();
}

}  // namespace sentrova
