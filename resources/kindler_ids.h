// Resource and control identifiers of Kindler, the setup wizard.
#pragma once

#define IDI_KINDLER 100
#define IDI_LIGHTS  101
#define IDI_RED     102
#define IDI_YELLOW  103
#define IDI_GREEN   104
#define IDB_WIZARD  110

// Always visible.
#define IDC_CMDHELP   1001
#define IDC_CMDBACK   1002
#define IDC_CMDNEXT   1003
#define IDC_CMDCANCEL 1004
#define IDC_IMAGE1    1010
#define IDC_LINE1     1011

#define IDC_LBLPAGE1A    1101
#define IDC_LBLPAGE1B    1102
#define IDC_LBLPAGE1C    1103
#define IDC_LBLPAGE2     1201
#define IDC_LVWPROVIDERS 1202
#define IDC_LBLPAGE3A    1301
#define IDC_IMGLIGHTS    1302
#define IDC_LBLPAGE3C    1303
#define IDC_LBLPAGE3E    1304
#define IDC_LBLPAGE3G    1305
#define IDC_LBLPAGE3H    1306
#define IDC_LBLPAGE4B    1401
#define IDC_IMGRED       1402
#define IDC_LBLPAGE4C    1403
#define IDC_IMGYELLOW    1404
#define IDC_LBLPAGE4D    1405
#define IDC_IMGGREEN     1406
// Group row r (1 to 5): picS r = 1410 + r, lblS r = 1420 + r, option i (0 to 2) of
// optS r = 1500 + 10 * r + i. The label and options are children of the row.
#define IDC_PICS(r)         (1410 + (r))
#define IDC_LBLS(r)         (1420 + (r))
#define IDC_OPTS(r, i)      (1500 + 10 * (r) + (i))
#define IDC_LBLPAGE5A       1601
#define IDC_LBLPAGE5B       1602
#define IDC_LBLPAGE6A       1701
#define IDC_LBLPAGE6B       1702
#define IDC_CHKSTARTEDICTOR 1703
#define IDC_LBLPAGE6C       1704
// Shown on page 6 only when the chosen providers' lists gave no group.
#define IDC_LBLPAGE6D 1705
