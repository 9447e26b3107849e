// Identifiers of Edictor's resources: shared by edictor.rc and the program's code.
#pragma once

#define IDR_MAINFRAME    128  // menu, icon, accelerators, title string
#define IDB_NODES        130  // the twelve tree pictures
#define IDI_LIGHT_GREEN  131
#define IDI_LIGHT_RED    132
#define IDI_LIGHT_YELLOW 133

#define IDD_TREE_FORM       200
#define IDD_ADD_RULE        201
#define IDD_ADD_PROTOCOL    202
#define IDD_ADD_APPLICATION 203
#define IDD_ADD_ADDRESS     204

// The form.
#define IDC_TAB               1000
#define IDC_LIGHT_IN          1001
#define IDC_CAPTION_IN        1002
#define IDC_LIGHT_OUT         1003
#define IDC_CAPTION_OUT       1004
#define IDC_TREE_PROTOCOL_IN  1010
#define IDC_TREE_PROTOCOL_OUT 1011
#define IDC_TREE_ADDRESS_IN   1012
#define IDC_TREE_ADDRESS_OUT  1013
#define IDC_TREE_APP_IN       1014
#define IDC_TREE_APP_OUT      1015
#define IDC_RULE_LIST         1020

// Add Rule.
#define IDC_PROTOCOL_BOX 1100
#define IDC_NEW_PROTOCOL 1101
#define IDC_ADDRESS_BOX  1102
#define IDC_NEW_ADDRESS  1103
#define IDC_APP_BOX      1104
#define IDC_NEW_APP      1105
#define IDC_INBOUND      1106
#define IDC_OUTBOUND     1107
#define IDC_ALLOW        1108
#define IDC_DENY         1109
#define IDC_ASK          1110
#define IDC_LOG          1111

// Add Protocol.
#define IDC_PROTO_NAME 1200
#define IDC_PROTO_PORT 1201
#define IDC_PROTO_SPIN 1202
#define IDC_PROTO_TCP  1203
#define IDC_PROTO_UDP  1204

// Add Application.
#define IDC_APP_NAME        1300
#define IDC_APP_BROWSE      1301
#define IDC_APP_DESCRIPTION 1302

// Add Address.
#define IDC_ADR_NAME    1400
#define IDC_ADR_RESOLVE 1401
#define IDC_ADR_SINGLE  1402
#define IDC_ADR_NETWORK 1403
#define IDC_ADR_FIRST1  1410  // four octet boxes, 1410..1413
#define IDC_ADR_LAST1   1420  // four octet boxes, 1420..1423

#define IDR_CONTEXT         129  // the view's context menu
#define IDB_TOOLBAR         134  // Add, Delete, Lock, Set Timer
#define IDD_ABOUT           205
#define IDD_FEEDBACK        206
#define IDC_FEEDBACK_BROWSE 1500
#define IDC_ABOUT_ICON      1501

// Commands; each has its status-bar prompt and tool tip ("prompt\ntip") in the string table.
#define ID_RULE_ADD          32771
#define ID_APP_EXIT_CMD      32772
#define ID_RULE_DELETE       32773
#define ID_TOOLS_LOCK        32774
#define ID_TOOLS_TIMER       32775
#define ID_HELP_CONTENTS_CMD 32776
#define ID_HELP_INDEX_CMD    32777
#define ID_HELP_CMD          32778
#define ID_HELP_FEEDBACK     32779
#define ID_APP_ABOUT_CMD     32780
#define ID_CONTEXT_HELP_CMD  32781
#define ID_ACTION_DENY       32790
#define ID_ACTION_ASK        32791
#define ID_ACTION_ALLOW      32792
#define ID_CONTEXT_ADD       32793
#define ID_CONTEXT_DELETE    32794
#define ID_TOOLBAR_TOP       32800
#define ID_TOOLBAR_BOTTOM    32801
#define ID_TOOLBAR_LEFT      32802
#define ID_TOOLBAR_RIGHT     32803

// Strings.
#define IDS_DOC_TYPE 61000
