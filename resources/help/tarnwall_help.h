// tarnwall_help.h - the help file the programs open, and its topics' map numbers
// for WinHelp(window, path, HELP_CONTEXT, number). HELP_CONTENTS shows the
// contents topic. The numbers are the ones resources/help/Tarnwall.txt gives.
#ifndef TARNWALL_HELP_H
#define TARNWALL_HELP_H

// Lies in the Windows directory: GetWindowsDirectoryA, then "\" and this name.
#define TARNWALL_HELP_FILE_NAME "Tarnwall.hlp"

#define IDH_TARNWALL_CONTENTS 1
#define IDH_TARNWALL_WAYGUARD 2
#define IDH_TARNWALL_EDICTOR  3
#define IDH_TARNWALL_KINDLER  4

// Edictor's windows: the default rules above the trees, each tab's pair of trees, the list.
#define IDH_EDICTOR_DEFAULT_RULES     10
#define IDH_EDICTOR_PROTOCOL_TREES    11
#define IDH_EDICTOR_ADDRESS_TREES     12
#define IDH_EDICTOR_APPLICATION_TREES 13
#define IDH_EDICTOR_RULE_LIST         14
#define IDH_EDICTOR_CONTEXT_MENU      15

// Edictor's dialogs.
#define IDH_EDICTOR_ADD_RULE        20
#define IDH_EDICTOR_ADD_PROTOCOL    21
#define IDH_EDICTOR_ADD_APPLICATION 22
#define IDH_EDICTOR_ADD_ADDRESS     23

// Edictor's menu commands.
#define IDH_EDICTOR_CMD_EXIT        30
#define IDH_EDICTOR_CMD_ADD_RULE    31
#define IDH_EDICTOR_CMD_DELETE_RULE 32
#define IDH_EDICTOR_CMD_LOCK        33
#define IDH_EDICTOR_CMD_TIMER       34
#define IDH_EDICTOR_CMD_CONTENTS    35
#define IDH_EDICTOR_CMD_INDEX       36
#define IDH_EDICTOR_CMD_HELP        37
#define IDH_EDICTOR_CMD_FEEDBACK    38
#define IDH_EDICTOR_CMD_ABOUT       39

#endif
