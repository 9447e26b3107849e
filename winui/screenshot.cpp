#include "screenshot.h"

#include <cstdio>
#include <vector>

namespace winui {

namespace {

// The screen's pixels in `area`, bottom-up 24-bit rows; empty when they could not be read.
std::vector<BYTE> Capture(const RECT& area, BITMAPINFOHEADER& info) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, old);

  info = BITMAPINFOHEADER{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = ((width * 3) + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
  int lines = GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (lines != height) pixels.clear();
  return pixels;
}

// A window's painting reaches the screen some time after its WM_PAINT: Wine copies
// each window's surface to the display when its thread next waits for messages.
// Waiting for no message lets that copy happen now.
// Painting this thread still owes (a control invalidated by a posted message) is done
// first; no other message is taken, so no test or program step runs from here.
void LetPaintingReachTheScreen() {
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); i++) DispatchMessageA(&msg);
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// How long a picture may take to settle, read every kReadingGapMs: a window that is
// not painted by then (or never stops changing, like a blinking caret) is taken as it
// last was, and the call says so.
constexpr int kMostReadings = 200;
constexpr DWORD kReadingGapMs = 25;

// The caption band of `window` inside `area` (both in screen co-ordinates), as rows and
// columns of the captured picture; empty when the window has no caption.
struct Band {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
};

Band CaptionBand(HWND window, const RECT& area) {
  Band band;
  if (!window) return band;
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  // A caption without a title or buttons may well be one flat colour when painted.
  if ((style & WS_CAPTION) != WS_CAPTION || (!(style & WS_SYSMENU) && GetWindowTextLengthA(window) == 0)) return band;
  WINDOWINFO info{};
  info.cbSize = sizeof info;
  if (!GetWindowInfo(window, &info)) return band;
  const bool tool = (info.dwExStyle & WS_EX_TOOLWINDOW) != 0;
  const int height = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION) - 1;
  band.left = static_cast<int>(info.rcWindow.left + info.cxWindowBorders - area.left);
  band.right = static_cast<int>(info.rcWindow.right - info.cxWindowBorders - area.left);
  band.top = static_cast<int>(info.rcWindow.top + info.cyWindowBorders - area.top);
  band.bottom = band.top + height;
  return band;
}

// A caption that has reached the screen shows its title, buttons or shading: more than
// one colour. One that has not is a bar of one colour (black, where nothing was drawn).
bool CaptionPainted(const std::vector<BYTE>& pixels, const BITMAPINFOHEADER& info, const Band& band) {
  if (band.empty()) return true;
  const int width = info.biWidth, height = info.biHeight;
  const size_t stride = ((static_cast<size_t>(width) * 3) + 3) & ~static_cast<size_t>(3);
  const BYTE* first = nullptr;
  for (int y = band.top; y < band.bottom; y++) {
    if (y < 0 || y >= height) continue;
    const BYTE* row = pixels.data() + static_cast<size_t>(height - 1 - y) * stride;  // bottom-up rows
    for (int x = band.left; x < band.right; x++) {
      if (x < 0 || x >= width) continue;
      const BYTE* p = row + static_cast<size_t>(x) * 3;
      if (!first)
        first = p;
      else if (p[0] != first[0] || p[1] != first[1] || p[2] != first[2])
        return true;
    }
  }
  return false;
}

}  // namespace

bool SaveScreenshot(HWND window, const char* bmpPath, bool wholeScreen) {
  HWND subject = window ? GetAncestor(window, GA_ROOT) : nullptr;
  if (window && !subject) return false;
  RECT area;
  if (window && !wholeScreen) {
    if (!GetWindowRect(window, &area)) return false;
  } else {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  if (window) {
    // Let the window finish painting before it is read off the screen, its frame
    // and caption too.
    RedrawWindow(subject, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }

  // The picture is taken once two readings agree and the caption shows: painting
  // that is still on its way to the screen shows as a change between readings, or
  // as a caption of one colour. Bounded by kMostReadings.
  const Band caption = CaptionBand(subject, area);
  BITMAPINFOHEADER info;
  LetPaintingReachTheScreen();
  std::vector<BYTE> pixels = Capture(area, info);
  bool settled = false;
  for (int reading = 1; reading < kMostReadings && !pixels.empty() && !settled; reading++) {
    MsgWaitForMultipleObjectsEx(0, nullptr, kReadingGapMs, 0, 0);  // wakes for nothing: a gap
    LetPaintingReachTheScreen();
    std::vector<BYTE> again = Capture(area, info);
    settled = again == pixels && CaptionPainted(again, info, caption);
    pixels = std::move(again);
  }
  if (pixels.empty()) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = std::fopen(bmpPath, "wb");
  if (!out) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return std::fclose(out) == 0 && ok && settled;
}

}  // namespace winui
