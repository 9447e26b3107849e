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
    int lines = GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (lines != height) pixels.clear();
    return pixels;
}

// A window's painting reaches the screen some time after its WM_PAINT: Wine copies
// each window's surface to the display when its thread next waits for messages.
// Waiting for no message lets that copy happen now.
void LetPaintingReachTheScreen() { MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE); }

// How many times the picture is read again while it still changes, and how far apart.
constexpr int kMostReadings = 20;
constexpr DWORD kReadingGapMs = 25;

}  // namespace

bool SaveScreenshot(HWND window, const char* bmpPath) {
    RECT area;
    if (window) {
        if (!GetWindowRect(window, &area)) return false;
    } else {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    if (window) {
        // Let the window finish painting before it is read off the screen.
        UpdateWindow(window);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    // The picture is taken once two readings agree: painting that is still on its
    // way to the screen shows as a change between them. Bounded, so a window that
    // never stops changing (a blinking caret) is taken as it last was.
    BITMAPINFOHEADER info;
    LetPaintingReachTheScreen();
    std::vector<BYTE> pixels = Capture(area, info);
    for (int reading = 1; reading < kMostReadings && !pixels.empty(); reading++) {
        MsgWaitForMultipleObjectsEx(0, nullptr, kReadingGapMs, 0, 0);  // wakes for nothing: a gap
        LetPaintingReachTheScreen();
        std::vector<BYTE> again = Capture(area, info);
        bool settled = again == pixels;
        pixels = std::move(again);
        if (settled) break;
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
    return std::fclose(out) == 0 && ok;
}

}  // namespace winui
