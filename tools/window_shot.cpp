// window_shot.exe <part of a title> [--shot <picture.bmp>] [--seconds <n>]: for the main
// job's scripts. Waits until a visible top-level window whose title holds the text is
// there, then, with --shot, saves a picture of the screen once that window has painted,
// caption included. Exit code 0 when the window came (and the picture was saved), 1 when
// it did not come within the seconds given (30 when none are), 2 for a usage error.
//
//   window_shot --list    the titles of the visible top-level windows, one a line.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "screenshot.h"

namespace {

const char* kUsage = "usage: window_shot <part of a title> [--shot <picture.bmp>] [--seconds <n>] | --list\n";

struct Search {
  const char* part;
  HWND found;
};

std::string title_of(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK find(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || title_of(window).find(s->part) == std::string::npos) return TRUE;
  s->found = window;
  return FALSE;
}

BOOL CALLBACK list(HWND window, LPARAM) {
  std::string title = title_of(window);
  if (IsWindowVisible(window) && !title.empty()) printf("%s\n", title.c_str());
  return TRUE;
}

HWND wait_for(const char* part, DWORD ms) {
  Search s{part, nullptr};
  for (DWORD start = GetTickCount();;) {
    EnumWindows(find, reinterpret_cast<LPARAM>(&s));
    if (s.found || GetTickCount() - start >= ms) return s.found;
    MsgWaitForMultipleObjectsEx(0, nullptr, 50, 0, 0);  // a gap between looks, not a wait for anything
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--list") == 0) {
    EnumWindows(list, 0);
    return 0;
  }
  if (argc < 2 || argv[1][0] == '\0') {
    fputs(kUsage, stderr);
    return 2;
  }
  const char* part = argv[1];
  const char* shot = nullptr;
  long seconds = 30;
  for (int i = 2; i < argc; i++) {
    if (strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
      shot = argv[++i];
    } else if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      seconds = strtol(argv[++i], &end, 10);
      if (!end || *end || seconds <= 0 || seconds > 3600) {
        fprintf(stderr, "window_shot: --seconds takes a whole number from 1 to 3600, not \"%s\"\n", argv[i]);
        return 2;
      }
    } else {
      fputs(kUsage, stderr);
      return 2;
    }
  }
  HWND window = wait_for(part, static_cast<DWORD>(seconds) * 1000);
  if (!window) {
    fprintf(stderr, "window_shot: no window titled \"...%s...\" appeared within %ld seconds\n", part, seconds);
    return 1;
  }
  if (!shot) return 0;
  if (!winui::SaveScreenshot(window, shot, true)) {
    fprintf(stderr, "window_shot: the window \"%s\" did not finish painting; picture %s is as it last was\n",
            title_of(window).c_str(), shot);
    return 1;
  }
  return 0;
}
