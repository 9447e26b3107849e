// interceptor_core.h - the stand-in connection interceptor's pure parts: the
// attempt syntax, the decision table, and the traffic line.
//
// Attempt syntax, one per argument or per input line:
//
//   <direction> <transport> <port> <address> <program>
//
//   direction  in | inbound | out | outbound        (any letter case)
//   transport  tcp | udp                             (any letter case)
//   port       decimal 0 to 65535
//   address    remote IPv4 address, dotted decimal a.b.c.d, each part 0 to 255
//   program    the rest of the line, outer blanks removed, optionally in double
//              quotes; compared with application entries byte for byte, so give
//              it as they store it (for example IEXPLORE.EXE)
//
// Blank lines and lines starting with '#' are skipped.
//
// Decision (run mode x rule action):
//
//   run mode     rule action     decision   line written when
//   Block        any, or none    deny       log_fully_armed and log_deny
//   Stand By     any, or none    allow      log_stand_by and log_allow
//   Filter       allow           allow      the rule's log flag and log_allow
//   Filter       deny            deny       the rule's log flag and log_deny
//   Filter       ask             the user's the rule's log flag and log_allow or
//                                answer     log_deny, as the answer went
//   Filter       none            deny       log_deny
//   other mode   any, or none    deny       log_deny
//
// An ask rule in Filter mode puts the question to the user through the monitor
// (interceptor_asker.h): the line says "ask:allow" or "ask:deny" as the user
// answered, "ask:allow (remembered)" or "ask:deny (remembered)" when the
// monitor answered from its memory of an earlier answer to the same
// connection, without a prompt, "ask:timeout" when no answer came in time, and "ask:deny" when no
// monitor could be asked; all but ask:allow deny. An unknown run mode or action denies: a stand-in that is
// unsure stops the connection. In Block and Stand By the mode decides, not the
// rule, so the mode's switch stands in for the rule's log flag.
//
// Traffic line (at most 199 characters, ending in a line feed):
//
//   2024-05-01 13:45:07 out TCP/80 192.168.1.5 IEXPLORE.EXE allow mode=filter rule=7:2,0,3,1
//
// rule= gives the governing rule's key and, after the colon, its key text (the
// name of its registry value), or "none". The program name is the one field of
// open length; it is cut so the line fits, and control characters in it are
// shown as '?', so one attempt is one line.
#ifndef TARNWALL_INTERCEPTOR_CORE_H
#define TARNWALL_INTERCEPTOR_CORE_H

#include <string>
#include <string_view>

#include "attempt_parse.h"
#include "tessary.h"

namespace interceptor {

// The four logging switches of the global state block.
struct Switches {
  int log_fully_armed = 0;
  int log_stand_by = 0;
  int log_allow = 0;
  int log_deny = 0;
};
Switches current_switches();

struct Decision {
  bool allow = false;
  const char* word = "deny";  // "allow", "deny" or "ask:...", as the line shows it
  const char* why = "";       // what decided: "block mode", "stand-by mode", "rule", "no rule", ...
  bool log = false;           // whether a traffic line goes to the monitor
  bool ask = false;           // an ask rule in Filter mode: the user is to be asked
};

// rule: the governing rule's copy, or null when the lookup found none. An ask
// rule in Filter mode gives ask set and, until answered, "ask:deny" as when no
// monitor can be asked.
Decision decide(int run_mode, const PFW_RULE* rule, const Switches& switches);

// The decision once the user was asked: answer PFW_ALLOW or PFW_DENY, or -1
// when no answer came in time; PFW_ALLOW or PFW_DENY with kRememberedAnswer
// when the monitor answered from memory.
constexpr int kNoAnswer = -1;
constexpr int kRememberedAnswer = 0x100;
Decision answered(const PFW_RULE& rule, int answer, const Switches& switches);

// "filter", "block", "standby", or the number of an unknown mode.
std::string mode_word(int run_mode);

// The traffic line for one decided attempt, its line feed included; at most
// PFW_TRAFFIC_SIZE - 1 characters. rule_key is -1 when no rule governs.
std::string traffic_line(const SYSTEMTIME& when, const Attempt& attempt, const Decision& decision, int run_mode,
                         int rule_key, const PFW_RULE* rule);

// The name in capitals, as Windows capitalises file names (CharUpperBuffA).
std::string capitals(std::string_view name);

// "out TCP/80 192.168.1.5 IEXPLORE.EXE": the attempt as the other outputs name it.
std::string describe(const Attempt& attempt);

}  // namespace interceptor

#endif
