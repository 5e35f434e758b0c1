// The stand-in host's picture library: JPEG resources of type 23 measured and
// drawn through the platform's decoder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "platform/handle.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

using SizeFunction = HRESULT(WINAPI*)(HMODULE, const char*, int*, int*);
using DrawFunction = HRESULT(WINAPI*)(HMODULE, const char*, HDC, int, int);

class QbxcommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_.reset(::LoadLibraryA((test::BinDir() + "qbxcomm.dll").c_str()));
    ASSERT_TRUE(library_);
    size_ = reinterpret_cast<SizeFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library_.get(), "GetResourceJPEGPictureSize")));
    draw_ = reinterpret_cast<DrawFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library_.get(), "DrawResourceJPEGPictureSize")));
    ASSERT_NE(size_, nullptr);
    ASSERT_NE(draw_, nullptr);
    self_ = ::GetModuleHandleA(nullptr);
  }

  ModuleHandle library_;
  SizeFunction size_ = nullptr;
  DrawFunction draw_ = nullptr;
  HMODULE self_ = nullptr;
};

// A 24-bit screen-compatible bitmap selected into a memory context.
struct Canvas {
  Canvas(int w, int h) {
    HDC screen = ::GetDC(nullptr);
    dc.reset(::CreateCompatibleDC(screen));
    bitmap.reset(::CreateCompatibleBitmap(screen, w, h));
    ::ReleaseDC(nullptr, screen);
    old = ::SelectObject(dc.get(), bitmap.get());
    RECT all{0, 0, w, h};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() { ::SelectObject(dc.get(), old); }
  MemoryDcHandle dc;
  BitmapHandle bitmap;
  HGDIOBJ old = nullptr;
};

bool Near(COLORREF c, int r, int g, int b) {
  return std::abs(GetRValue(c) - r) < 40 && std::abs(GetGValue(c) - g) < 40 &&
         std::abs(GetBValue(c) - b) < 40;
}

TEST_F(QbxcommTest, ReportsThePictureSizeInPixels) {
  int w = -1, h = -1;
  EXPECT_EQ(size_(self_, "TWOCOLOURS", &w, &h), S_OK);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 20);
}

TEST_F(QbxcommTest, DrawsThePictureAtTheGivenPoint) {
  Canvas canvas(60, 30);
  ASSERT_EQ(draw_(self_, "TWOCOLOURS", canvas.dc.get(), 10, 5), S_OK);
  HDC dc = canvas.dc.get();
  EXPECT_TRUE(Near(::GetPixel(dc, 15, 15), 255, 0, 0));  // left half
  EXPECT_TRUE(Near(::GetPixel(dc, 45, 15), 0, 0, 255));  // right half
  EXPECT_TRUE(Near(::GetPixel(dc, 5, 15), 255, 255, 255));   // left of the picture
  EXPECT_TRUE(Near(::GetPixel(dc, 55, 15), 255, 255, 255));  // right of it
  EXPECT_TRUE(Near(::GetPixel(dc, 30, 2), 255, 255, 255));   // above it
  EXPECT_TRUE(Near(::GetPixel(dc, 30, 27), 255, 255, 255));  // below it
}

TEST_F(QbxcommTest, FailuresCarryTheSignBitAndDrawNothing) {
  int w = 7, h = 7;
  EXPECT_LT(size_(self_, "NOSUCHPICTURE", &w, &h), 0);
  EXPECT_LT(size_(self_, "NOTAPICTURE", &w, &h), 0);
  EXPECT_LT(size_(self_, "", &w, &h), 0);
  EXPECT_LT(size_(self_, nullptr, &w, &h), 0);
  EXPECT_LT(size_(self_, "TWOCOLOURS", nullptr, &h), 0);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 7);

  Canvas canvas(60, 30);
  EXPECT_LT(draw_(self_, "NOTAPICTURE", canvas.dc.get(), 0, 0), 0);
  EXPECT_LT(draw_(self_, "TWOCOLOURS", nullptr, 0, 0), 0);
  EXPECT_TRUE(Near(::GetPixel(canvas.dc.get(), 15, 15), 255, 255, 255));
}

TEST_F(QbxcommTest, TheProductCarriesItsFourBanners) {
  ModuleHandle product(
      ::LoadLibraryExA((test::BinDir() + "sentrova.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(product);
  for (const char* name : {"ASKRESTORE", "ASKHOMEPAGE", "ASKCLOSEIE", "ASKSCHEDULE"}) {
    int w = 0, h = 0;
    EXPECT_EQ(size_(product.get(), name, &w, &h), S_OK) << name;
    EXPECT_EQ(w, 460) << name;
    EXPECT_EQ(h, 140) << name;
  }
}

}  // namespace
}  // namespace sentrova
