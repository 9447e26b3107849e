// Resource and control identifiers of Wayguard, the connection monitor. Shared by
// resources/wayguard.rc and the monitor's code; the numbers are the ones the other
// programs and the documentation use, so they never change.
#pragma once

// Dialog templates
#define IDD_MONITOR 102
#define IDD_OPTIONS 103
#define IDD_UNLOCK  130
#define IDD_STARTUP 138
#define IDD_ABOUT   141
// The two connection prompts: carried here, put to work by the prompt code.
#define IDD_PROMPT_REQUEST  160  // "Tarnwall": a connection request, Allow or Deny
#define IDD_PROMPT_NEW_RULE 161  // "Configure new rule"

// Icons and bitmaps
#define IDI_STANDBY   134
#define IDI_FILTER    135
#define IDI_BLOCK     136
#define IDI_UNLOCKED  139
#define IDI_TIMER     140
#define IDI_LOCKED    145
#define IDI_OPTIONS   154
#define IDB_LOGO      142
#define IDB_LAMP_DARK 143
#define IDB_LAMP_LIT  144

// Menu
#define IDR_TRAY_MENU   137
#define ID_MODE_FILTER  32771
#define ID_MODE_STANDBY 32772
#define ID_MODE_BLOCK   32773
#define ID_ADVANCED     32775
#define ID_SHOW_MONITOR 32776
#define ID_ABOUT        32777
#define ID_EDICTOR      32778

// Monitor window controls
#define IDC_STANDBY      1054
#define IDC_FILTER       1055
#define IDC_BLOCK        1056
#define IDC_LAMP_RIGHT   1057
#define IDC_LAMP_LEFT    1058
#define IDC_LOCK         1023
#define IDC_TIMER        1024
#define IDC_OPTIONS      1028
#define IDC_LOCK_STATUS  1030
#define IDC_TIMER_STATUS 1051

// Options dialog controls
#define IDC_TAB              1036
#define IDC_FILENAME_LABEL   1037
#define IDC_FILENAME         1032
#define IDC_BROWSE           1046
#define IDC_LOG_FULLY_ARMED  1033
#define IDC_LOG_STAND_BY     1034
#define IDC_CURRENT_LABEL    1042
#define IDC_CURRENT_PASSWORD 1038
#define IDC_NEW_LABEL        1043
#define IDC_NEW_PASSWORD     1039
#define IDC_AGAIN_LABEL      1044
#define IDC_AGAIN_PASSWORD   1040
#define IDC_CHANGE_PASSWORD  1045
#define IDC_TIMER_LABEL      1050
#define IDC_MINUTES          1047
#define IDC_MINUTES_LABEL    1049
#define IDC_SET_TIMER        1048

// Unlock dialog
#define IDC_UNLOCK_PASSWORD 1031

// Connection prompt controls
#define IDC_PROMPT_ADD_RULE    1009
#define IDC_PROMPT_DENY        1010
#define IDC_PROMPT_APPLICATION 1013
#define IDC_PROMPT_SERVICE     1014
#define IDC_PROMPT_ADDRESS     1015
#define IDC_PROMPT_DIRECTION   1016
#define IDC_PROMPT_LIFE        1017  // how long the answer holds
#define IDC_RULE_HEADING       1061
#define IDC_RULE_APPLICATION   1062
#define IDC_RULE_PROTOCOL      1063
#define IDC_RULE_ADDRESS       1064
