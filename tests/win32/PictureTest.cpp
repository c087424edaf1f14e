// The pictures as the window system draws them: a picture with transparent
// parts lets what lies below show there and only there, on every display
// depth, without alpha blending; an opaque one covers its rectangle.
#include <gtest/gtest.h>

#include <set>

#include "app/PictureIds.h"
#include "platform/Forms.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WindowSystem.h"
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kKey = RGB(255, 0, 255);

struct Coverage {
  int clear = 0, covered = 0, mixed = 0, key = 0;
  std::set<COLORREF> colours;
};

// Draws picture `id` at size x size over green and over blue and sorts the
// pixels: clear (each ground shows as it is), covered (the same picture
// pixel over both), or mixed (the ground leaks into the picture's colour).
Coverage DrawOverTwoGrounds(Win32WindowSystem& system, int id, int width, int height) {
  Canvas green(width, height, kGreen), blue(width, height, kBlue);
  EXPECT_TRUE(system.DrawPicture(green.dc(), id, green.All()));
  EXPECT_TRUE(system.DrawPicture(blue.dc(), id, blue.All()));
  Coverage c;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF g = green.At(x, y), b = blue.At(x, y);
      if (g == kKey || b == kKey) ++c.key;
      if (g == kGreen && b == kBlue) ++c.clear;
      else if (g == b) ++c.covered, c.colours.insert(g);
      else ++c.mixed;
    }
  return c;
}

class PictureTest : public ::testing::Test {
 protected:
  Win32WindowSystem system;
};

TEST_F(PictureTest, ATransparentPictureShowsTheGroundWhereItIsClearAndItselfElsewhere) {
  for (int id : {IDB_YAK, IDB_SYNC_CLOCK}) {
    SCOPED_TRACE(id);
    Canvas green(32, 32, kGreen);
    ASSERT_TRUE(system.DrawPicture(green.dc(), id, green.All()));
    EXPECT_EQ(kGreen, green.At(0, 0)) << "the corner is clear";
    EXPECT_NE(kGreen, green.At(16, 16)) << "the middle is drawn";

    const Coverage c = DrawOverTwoGrounds(system, id, 32, 32);
    EXPECT_EQ(0, c.key) << "no key colour left on the screen";
    EXPECT_EQ(0, c.mixed) << "the ground never tints the picture";
    EXPECT_GT(c.clear, 32 * 32 / 10);
    EXPECT_GT(c.covered, 32 * 32 / 3);
  }
}

TEST_F(PictureTest, TheTitleStripButtonsAreGlyphsOnAClearGround) {
  for (int id : {IDB_TRAY_SEND, IDB_SMALL_CLOCK, IDB_HOME}) {
    SCOPED_TRACE(id);
    const Coverage c = DrawOverTwoGrounds(system, id, 10, 11);
    EXPECT_EQ(0, c.key);
    EXPECT_EQ(0, c.mixed);
    EXPECT_GT(c.clear, 0);
    EXPECT_GT(c.covered, 0);
  }
}

// At 192 DPI the picture drawn for it is taken: it has more colours than
// the 96-DPI one could give, enlarged, and it keeps its clear parts.
TEST_F(PictureTest, TwiceTheSizeDrawsThePictureMadeForIt) {
  const Coverage small = DrawOverTwoGrounds(system, IDB_ABOUT_PRODUCT, 48, 48);
  const Coverage big = DrawOverTwoGrounds(system, IDB_ABOUT_PRODUCT, 96, 96);
  EXPECT_EQ(0, big.key);
  EXPECT_EQ(0, big.mixed);
  EXPECT_GT(big.clear, 0);
  EXPECT_GT(big.colours.size(), small.colours.size());
}

TEST_F(PictureTest, AnOpaquePictureCoversItsWholeRectangle) {
  for (int id : {IDB_PANEL, IDB_BUTTON_UP, IDB_ABOUT_BACK}) {
    SCOPED_TRACE(id);
    const Coverage c = DrawOverTwoGrounds(system, id, 60, 20);
    EXPECT_EQ(60 * 20, c.covered);
  }
}

TEST_F(PictureTest, AnUnknownPictureDrawsNothing) {
  Canvas green(8, 8, kGreen);
  EXPECT_FALSE(system.DrawPicture(green.dc(), 4242, green.All()));
  EXPECT_EQ(kGreen, green.At(4, 4));
}

// Through a form: its back colour shows through an image control's clear
// parts, as the form paints its background and what lies behind a control.
class GroundForm : public Form {
 public:
  GroundForm() : Form("GroundForm"), yak(*this, 601, ControlKind::Image, "yak", {300, 300, 480, 480}) {
    SetWidth(1500);
    SetHeight(1200);
    SetBackColor(0x0000C800);  // 0x00BBGGRR: green
    yak.SetPicture(IDB_YAK);
  }
  Control yak;
};

TEST(PictureFormTest, TheFormsColourShowsThroughAnImagesClearParts) {
  InstallWin32Platform();
  GroundForm form;
  form.Show();
  HWND hwnd = reinterpret_cast<HWND>(form.hwnd());
  auto* peer = reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  ASSERT_NE(nullptr, peer);
  const auto& system = static_cast<const Win32WindowSystem&>(peer->System());
  const int left = system.ToPixels(300), size = system.ToPixels(480);
  Canvas canvas(system.ToPixels(1500), system.ToPixels(1200), kBlue);
  RECT all;
  GetClientRect(hwnd, &all);
  peer->PaintBehind(canvas.dc(), all, nullptr);

  EXPECT_EQ(kGreen, canvas.At(2, 2)) << "the form's colour";
  EXPECT_EQ(kGreen, canvas.At(left, left)) << "the image's clear corner";
  EXPECT_EQ(kGreen, canvas.At(left + size - 1, left)) << "the image's clear corner";
  const COLORREF middle = canvas.At(left + size / 2, left + size / 2);
  EXPECT_NE(kGreen, middle);
  EXPECT_NE(kBlue, middle);
  EXPECT_NE(kKey, middle);
  form.Unload();
}

}  // namespace
}  // namespace tavrel
