// Painting: the pictures, the owner-drawn buttons and picture controls, the
// form's background and the brush a transparent control fills itself with.
//
// Every Windows from 95 on draws the pictures the same way. A bitmap is
// palettized (4 or 8 bits, perhaps run-length encoded) and loaded as a
// bitmap of the display's format; one with transparent parts marks them
// with the key colour, the last entry of its palette. From it a monochrome
// mask is made once: the mask's white pixels keep what lies below (SRCAND),
// and the picture, black where it is transparent, is laid on with SRCPAINT.
// No alpha blending: Windows 95 and NT 4.0 have none (msimg32 came later).
#include "platform/win32/Win32WindowSystem.h"

#include <algorithm>

#include "platform/win32/Win32Compat.h"

namespace tavrel {
namespace {

// The colour a picture's transparent pixels have (scripts/make-artwork.py).
constexpr COLORREF kKeyColour = RGB(255, 0, 255);

// Whether bitmap resource `id` marks transparent pixels: its palette ends
// with the key colour. Read from the resource itself, which the system
// keeps mapped.
bool HasKeyColour(HINSTANCE module, int id) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* info = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  if (!info || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biBitCount > 8) return false;
  const DWORD used = header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount;
  if (SizeofResource(module, found) < header.biSize + used * sizeof(RGBQUAD)) return false;
  const RGBQUAD& last = info->bmiColors[used - 1];
  return RGB(last.rgbRed, last.rgbGreen, last.rgbBlue) == kKeyColour;
}

// The mask of a keyed bitmap (white where transparent), and the bitmap made
// black there so that it can be OR-ed onto what the mask left.
HBITMAP MakeMask(HBITMAP picture, int width, int height) {
  HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
  if (!mask) return nullptr;
  HDC colour = CreateCompatibleDC(nullptr);
  HDC mono = CreateCompatibleDC(nullptr);
  HGDIOBJ oldColour = SelectObject(colour, picture);
  HGDIOBJ oldMono = SelectObject(mono, mask);
  // Colour to monochrome: the source's background colour becomes white.
  SetBkColor(colour, kKeyColour);
  BitBlt(mono, 0, 0, width, height, colour, 0, 0, SRCCOPY);
  // Monochrome to colour: white becomes the background colour (black, which
  // clears the key), black the text colour (white, which keeps the rest).
  SetBkColor(colour, RGB(0, 0, 0));
  SetTextColor(colour, RGB(255, 255, 255));
  BitBlt(colour, 0, 0, width, height, mono, 0, 0, SRCAND);
  SelectObject(mono, oldMono);
  SelectObject(colour, oldColour);
  DeleteDC(mono);
  DeleteDC(colour);
  return mask;
}

}  // namespace

// ---------------------------------------------------------------------------
// Pictures. A bitmap resource N is drawn for 96 DPI; N + 1000, where the
// program has it, for 192 DPI. The one that needs the least enlarging is
// taken: shrinking a big picture keeps it sharp, enlarging a small one blurs.

const Win32WindowSystem::Bitmap* Win32WindowSystem::BitmapOf(int id) {
  const auto it = bitmaps_.find(id);
  if (it != bitmaps_.end()) return it->second.handle ? &it->second : nullptr;
  Bitmap& bitmap = bitmaps_[id];
  HINSTANCE module = GetModuleHandleA(nullptr);
  // A bitmap of the display's format: the system decodes the palette and
  // the run-length coding, which a DIB section would not take.
  bitmap.handle = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (!bitmap.handle) return nullptr;
  BITMAP info{};
  GetObjectA(bitmap.handle, sizeof info, &info);
  bitmap.width = info.bmWidth;
  bitmap.height = info.bmHeight;
  if (HasKeyColour(module, id)) bitmap.mask = MakeMask(bitmap.handle, bitmap.width, bitmap.height);
  return &bitmap;
}

bool Win32WindowSystem::DrawPicture(HDC dc, int id, const RECT& r) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (id <= 0 || width <= 0 || height <= 0) return false;
  const Bitmap* small = BitmapOf(id);
  if (!small) {
    HICON icon = IconOf(id, std::min(width, height));
    if (!icon) return false;
    DrawIconEx(dc, r.left, r.top, icon, width, height, 0, nullptr, DI_NORMAL);
    return true;
  }
  const Bitmap* big = BitmapOf(id + 1000);
  const Bitmap* use = big && (width > small->width || height > small->height) ? big : small;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, use->handle);
  if (use->mask) {
    // Mask and picture must cover the same pixels: no halftone averaging,
    // which would also blend the cleared key into the edges.
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    HDC mono = CreateCompatibleDC(dc);
    HGDIOBJ oldMono = SelectObject(mono, use->mask);
    StretchBlt(dc, r.left, r.top, width, height, mono, 0, 0, use->width, use->height, SRCAND);
    StretchBlt(dc, r.left, r.top, width, height, memory, 0, 0, use->width, use->height, SRCPAINT);
    SelectObject(mono, oldMono);
    DeleteDC(mono);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    SetStretchBltMode(dc, mode);
  } else {
    // Halftone stretching wants the brush origin set after it.
    SetStretchBltMode(dc, compat::SmoothStretchMode());
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, r.left, r.top, width, height, memory, 0, 0, use->width, use->height, SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  return true;
}

// ---------------------------------------------------------------------------
// The form's background: its colour, its picture and its picture controls.

LRESULT Win32FormPeer::OnEraseBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  PaintBehind(dc, client, nullptr);
  return TRUE;
}

void Win32FormPeer::PaintBehind(HDC dc, const RECT& r, const Win32ControlPeer* above) {
  FillRect(dc, &r, brush_);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  if (form_.Picture()) {
    RECT client;
    GetClientRect(hwnd_, &client);
    system_.DrawPicture(dc, form_.Picture(), client);
  }
  for (Win32ControlPeer* peer : order_) {
    if (peer == above) break;
    if (!peer->IsPicture() || !peer->hwnd() || !IsWindowVisible(peer->hwnd())) continue;
    const RECT pr = peer->FormRect();
    RECT overlap;
    if (!IntersectRect(&overlap, &pr, &r)) continue;
    const Control& control = peer->Model();
    if (control.Kind() == ControlKind::PictureBox) {
      HBRUSH fill = CreateSolidBrush(ToColorRef(control.BackColor()));
      FillRect(dc, &pr, fill);
      DeleteObject(fill);
    }
    system_.DrawPicture(dc, control.Picture(), pr);
  }
  RestoreDC(dc, saved);
}

void Win32FormPeer::BackgroundChanged() {
  for (Win32ControlPeer* peer : order_) peer->ApplyBackground();
}

// ---------------------------------------------------------------------------
// Controls.

HBRUSH Win32ControlPeer::OnCtlColor(HDC dc) {
  SetTextColor(dc, ToColorRef(control_.ForeColor()));
  // A transparent control's background is painted when it is erased
  // (PaintBackground); the control fills nothing itself.
  if (control_.Transparent()) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, ToColorRef(control_.BackColor()));
  return brush_;
}

// What lies behind a transparent control, drawn straight into its
// background when it is erased: text and check marks then stand on the
// picture as if the control had no background at all. Not through a
// pattern brush of that picture: Windows 9x takes only the top left 8x8
// pixels of a pattern and tiles them.
void Win32ControlPeer::PaintBackground(HDC dc) {
  const RECT r = FormRect();
  POINT origin;
  SetViewportOrgEx(dc, -r.left, -r.top, &origin);
  form_.PaintBehind(dc, r, this);
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

void Win32ControlPeer::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (control_.Kind() == ControlKind::Button) DrawButton(item);
  else DrawPicture(item);
}

void Win32ControlPeer::DrawButton(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  const bool pressed = item.itemState & ODS_SELECTED;
  FillRect(item.hDC, &r, brush_);
  DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (pressed) OffsetRect(&r, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  // The system's grey text is hard to read on the program's light button
  // colours; a darker grey still says "not now".
  SetTextColor(item.hDC, (item.itemState & ODS_DISABLED) ? RGB(96, 96, 96) : ToColorRef(control_.ForeColor()));
  HGDIOBJ old = SelectObject(item.hDC, form_.System().FontOf(control_.Font()));
  DrawTextA(item.hDC, control_.Caption().c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&r, -3, -3);
    DrawFocusRect(item.hDC, &r);
  }
}

// A picture box shows its back colour, an image lets what lies behind it
// show; both draw their picture, a bitmap or an icon, at the control's size.
void Win32ControlPeer::DrawPicture(const DRAWITEMSTRUCT& item) {
  const RECT r = FormRect();
  POINT origin;
  SetViewportOrgEx(item.hDC, -r.left, -r.top, &origin);
  form_.PaintBehind(item.hDC, r, this);
  if (control_.Kind() == ControlKind::PictureBox) {
    HBRUSH fill = CreateSolidBrush(ToColorRef(control_.BackColor()));
    FillRect(item.hDC, &r, fill);
    DeleteObject(fill);
  }
  form_.System().DrawPicture(item.hDC, control_.Picture(), r);
  SetViewportOrgEx(item.hDC, origin.x, origin.y, nullptr);
}

}  // namespace tavrel
