# starting_values.cmake - what a fresh installation puts on the machine.
#
# This is the one place these values are written down. installer.cmake turns it into
# starting_values.nsh (defines and record bytes for makensis) and starting_values.h
# (the same values for the install test), so the installer and its test cannot disagree.
# Records follow tessary.h: 32-bit little-endian integers, NUL-padded fixed text fields.
include_guard(DIRECTORY)

# --- Where things go --------------------------------------------------------------
set(SV_MAKER "Velmora")
set(SV_PRODUCT "Tarnwall")
set(SV_VERSION "1.0")
set(SV_SETUP_FILE "tarnwall-setup.exe")
set(SV_UNINSTALLER "uninstall.exe")
# Below the 64-bit Program Files folder.
set(SV_INSTALL_SUBDIR "Velmora\\Tarnwall")
# Below the common programs folder of the start menu.
set(SV_MENU_FOLDER "Tarnwall")
# Key under HKLM\...\CurrentVersion\Uninstall that lists the product in the control panel.
set(SV_UNINSTALL_KEY_NAME "Velmora Tarnwall")

# Programs, each with its start-menu shortcut name ("" = no shortcut). A program that is
# not built yet is left out of the installer and of the test's expectations.
set(SV_PROGRAMS
  "wayguard.exe|Wayguard"
  "edictor.exe|Edictor"
  "kindler.exe|Kindler"
  "interceptor.exe|"
  "rules.exe|")
set(SV_LIBRARY "tessary.dll")
# "EdictorPath" names this program inside the install folder.
set(SV_EDICTOR_PROGRAM "edictor.exe")

# The connection log lies in a folder every user may write, below the common
# application data folder.
set(SV_LOG_SUBDIR "Velmora\\Tarnwall")
set(SV_LOG_FILE "connections.log")

# Opened by the programs' feedback commands; it lives in the Windows directory.
set(SV_FEEDBACK_FILE "feedback.url")
set(SV_FEEDBACK_URL "https://feedback.example.com/tarnwall")

# --- The starting rule set --------------------------------------------------------
# Wildcard entries: key 0 in each list, any = 1. Their other fields can never match a
# real connection: port 0, address 0.0.0.0, and "*", which no executable can be named.
set(SV_PROTO_ANY_KEY 0)
set(SV_PROTO_ANY_NAME "Any Protocol")
set(SV_PROTO_ANY_TRANSPORT 0)   # PFW_TCP
set(SV_PROTO_ANY_PORT 0)

set(SV_ADR_ANY_KEY 0)
set(SV_ADR_ANY_NAME "Any Address")
set(SV_ADR_ANY_LOW 0)           # network byte order
set(SV_ADR_ANY_HIGH 0)
set(SV_ADR_ANY_TYPE 0)          # PFW_SINGLE_ADDRESS

set(SV_APP_ANY_KEY 0)
set(SV_APP_ANY_NAME "*")
set(SV_APP_ANY_DESCRIPTION "Any Application")

set(SV_RULE_SET_NAME "Default")

# Default rules: protocol key, address key, application key, direction, action, log.
# Inbound first, then outbound: they must be the first two rule values written.
set(SV_RULE_INBOUND  0 0 0 0 1 1)   # inbound, PFW_DENY, logged
set(SV_RULE_OUTBOUND 0 0 0 1 2 1)   # outbound, PFW_ASK, logged

# --- Options (PFW_OPTIONS) --------------------------------------------------------
set(SV_OPT_LOCK_STATUS 0)       # unlocked
set(SV_OPT_PASSWORD "")         # stored scrambled, so its bytes are not zero
set(SV_OPT_RUN_MODE 0)          # PFW_MODE_FILTER
set(SV_OPT_LOG_FULLY_ARMED 1)
set(SV_OPT_LOG_STAND_BY 0)
set(SV_OPT_TIMER_ACTIVE 0)
set(SV_OPT_TIMER_COUNTDOWN 0)
set(SV_OPT_LOG_ALLOW 1)
set(SV_OPT_LOG_DENY 1)
