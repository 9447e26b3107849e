// interceptor.exe - a console stand-in for the connection interceptor. It takes
// connection attempts as arguments or as lines on standard input, decides each
// one from the rule set and the run mode, prints the decision, and feeds the
// monitor's lamps and connection log. See interceptor_core.h for the syntax and
// the decision table, interceptor_courier.h for what the monitor is told.
//
// Each decision is printed as one line, "log: sent" meaning the line was put in
// the mailbox and the monitor told. Whether the monitor took it shows while the
// next attempts are decided; a line it did not take is reported by a line
// starting "note:".
//
// Exit codes: 0 every attempt decided; 1 wrong usage; 2 the rule store is not
// available; 3 some lines were rejected (the others were decided).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "interceptor_session.h"

using namespace interceptor;

namespace {

const char kUsage[] =
    "usage: interceptor [--explain] [--answer-ms N] [attempt ...]\n"
    "  attempt: <in|out> <tcp|udp> <port> <a.b.c.d> <program>, e.g. \"out tcp 80 192.168.1.5 IEXPLORE.EXE\"\n"
    "  Each argument is one attempt; without attempts they are read from standard input, one per line\n"
    "  (blank lines and lines starting with # are skipped).\n"
    "  --explain       also print every candidate the rule lookup weighs, and the winner\n"
    "  --answer-ms N   how long the monitor has to take a line before it is offered again\n"
    "                  (three offers in all, then the line is taken back); default 2000\n";

// One input line, however long; false at the end of input.
bool read_line(FILE* in, std::string& line) {
  line.clear();
  char chunk[512];
  while (fgets(chunk, sizeof chunk, in)) {
    line += chunk;
    if (!line.empty() && line.back() == '\n') return true;
  }
  return !line.empty();
}

}  // namespace

int main(int argc, char** argv) {
  bool explain_each = false;
  DWORD answer_ms = Courier::kDefaultAnswerMs;
  std::vector<std::string> attempts;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--explain")) explain_each = true;
    else if (!strcmp(argv[i], "--answer-ms") && i + 1 < argc) {
      char* end = nullptr;
      unsigned long ms = strtoul(argv[++i], &end, 10);
      if (!*argv[i] || *end || ms == 0 || ms > 600000) {
        fprintf(stderr, "interceptor: --answer-ms wants milliseconds from 1 to 600000\n");
        return 1;
      }
      answer_ms = (DWORD)ms;
    }
    else if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h") || !strcmp(argv[i], "/?")) {
      fputs(kUsage, stdout);
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      fprintf(stderr, "interceptor: unknown option %s\n%s", argv[i], kUsage);
      return 1;
    } else attempts.push_back(argv[i]);
  }

  Session session;
  std::string error;
  if (!session.open(error, answer_ms)) {
    fprintf(stderr, "interceptor: %s\n", error.c_str());
    return 2;
  }

  int rejected = 0;
  long number = 0;
  int taken_back = 0;
  // A line's answer comes in while later attempts are decided; one the monitor
  // did not take is reported when that is known.
  auto report_taken_back = [&] {
    for (; taken_back < session.taken_back(); taken_back++)
      puts("note: the monitor did not take the last line sent; it was taken back");
  };
  auto one = [&](const std::string& text) {
    number++;
    Attempt attempt;
    switch (parse_attempt(text, attempt, error)) {
      case Parsed::kSkip:
        return;
      case Parsed::kError:
        rejected++;
        fprintf(stderr, "interceptor: %s %ld rejected: %s\n", attempts.empty() ? "line" : "argument", number,
                error.c_str());
        return;
      case Parsed::kAttempt:
        break;
    }
    Outcome outcome = session.handle(attempt);
    report_taken_back();
    if (explain_each)
      fputs(format_explanation(explain(session.roots(), attempt), attempt, outcome.rule_key).c_str(), stdout);
    puts(Session::summary(attempt, outcome).c_str());
  };

  if (!attempts.empty()) {
    for (const std::string& a : attempts) one(a);
  } else {
    std::string line;
    while (read_line(stdin, line)) one(line);
  }
  session.settle();
  report_taken_back();
  fflush(stdout);
  session.close();
  return rejected ? 3 : 0;
}
