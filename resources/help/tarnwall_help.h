// tarnwall_help.h - the help file the programs open, and its topics' map numbers
// for WinHelp(window, path, HELP_CONTEXT, number). HELP_CONTENTS shows the
// contents topic. The numbers are the ones resources/help/Tarnwall.txt gives.
#ifndef TARNWALL_HELP_H
#define TARNWALL_HELP_H

// Lies in the Windows directory: GetWindowsDirectoryA, then "\" and this name.
#define TARNWALL_HELP_FILE_NAME "Tarnwall.hlp"

#define IDH_TARNWALL_CONTENTS 1
#define IDH_TARNWALL_WAYGUARD 2
#define IDH_TARNWALL_EDICTOR 3
#define IDH_TARNWALL_KINDLER 4

#endif
