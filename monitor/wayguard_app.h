// Wayguard's own constants: its names, the captions of its windows and message boxes, the
// About box's texts and the splash. Dialogs take these from here rather than from the
// monitor window's header; the resource script takes the texts it shows from here too.
#pragma once

// "Only one monitor runs": the name of the monitor's winui::InstanceClaim.
#define WAYGUARD_INSTANCE_NAME   "PFW_WAYGUARD_INSTANCE"
#define WAYGUARD_TITLE           "Tarnwall Wayguard"
#define WAYGUARD_ABOUT_CAPTION   "About Tarnwall"
#define WAYGUARD_ABOUT_RELEASE   "Connection monitor, release 1.0"
#define WAYGUARD_ABOUT_COPYRIGHT "Copyright (C) Velmora. All rights reserved."

#ifndef RC_INVOKED
#include <windows.h>

namespace wayguard {

// The monitor window's title (template 102) and the About box's first line.
inline constexpr const char* kMonitorTitle = WAYGUARD_TITLE;
inline constexpr const char* kAboutCaption = WAYGUARD_ABOUT_CAPTION;
// The caption of the monitor's own message boxes (lock, password, timer, options).
inline constexpr const char* kCaption = "Wayguard";
// The caption of the prompt and of the message boxes it shows.
inline constexpr const char* kPromptCaption = "Tarnwall";

// The About box shows as a splash this long at start, while the message loop runs.
inline constexpr DWORD kSplashMs = 2000;

// The help file: the Windows directory followed by "\Tarnwall.hlp".
const char* HelpFilePath();

}  // namespace wayguard
#endif
