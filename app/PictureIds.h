// Resource IDs of the program's pictures: the tray and panel icon and the
// bitmaps of the clock panel and the About window, made by
// scripts/make-artwork.py and stored in platform/win32/res/. Plain #defines
// only, because windres reads this file as well as the C++ compiler. Each
// bitmap comes in two sizes: N is drawn for 96 DPI, N + PICTURE_2X_OFFSET
// for 192 DPI.
#pragma once

// Icon.
#define IDI_STOP 102

// Clock panel.
#define IDB_PANEL 201
#define IDB_TRAY_SEND 202
#define IDB_SMALL_CLOCK 203
#define IDB_HOME 204
#define IDB_SYNC_CLOCK 205
#define IDB_YAK 206

// About window.
#define IDB_ABOUT_BACK 211
#define IDB_ABOUT_PRODUCT 212
#define IDB_ABOUT_SUITE 213
#define IDB_BUTTON_UP 214
#define IDB_BUTTON_DOWN 215

// The 2x variant of bitmap N is resource N + 1000.
#define PICTURE_2X_OFFSET 1000
