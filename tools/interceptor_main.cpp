// interceptor.exe - a console stand-in for the connection interceptor. It takes
// connection attempts as arguments or as lines on standard input, decides each
// one from the rule set and the run mode, prints the decision, and feeds the
// monitor's lamps and connection log. See interceptor_core.h for the syntax and
// the decision table, interceptor_courier.h for what the monitor is told.
//
// Threads share the work: this one reads the attempts, two decide them, and a
// delivering thread lamps, deposits and prints each, so rule lookups run while
// the line before waits for the mailbox. A short ring between them keeps the
// attempts' order, on standard output as in the monitor's log, and bounds what
// is held; the run mode and switches are still read as each attempt is decided.
//
// An attempt that an ask rule governs (Filter mode) is put to the user through
// the monitor as soon as it is decided (interceptor_asker.h) and waits for the
// answer off the ring, so it holds up no other attempt. Order kept: attempts
// not asked are delivered in input order; an asked one is delivered when its
// answer comes or its time is up, never before any attempt that came before it.
//
// Each decision is printed as one line, "log: sent" meaning the line was put in
// the mailbox and the monitor told. Whether the monitor took it shows while the
// next attempts are decided; a line it did not take is reported by a line
// starting "note:".
//
// Exit codes: 0 every attempt decided; 1 wrong usage or no attempt at all; 2 the rule store is not
// available; 3 some lines were rejected (the others were decided).
#include <stdio.h>
#include <stdlib.h>
#include <fcntl.h>
#include <io.h>
#include <string.h>

#include <string>
#include <vector>

#include "interceptor_handoff.h"
#include "interceptor_session.h"

using namespace interceptor;

namespace {

const char kUsage[] =
    "usage: interceptor [--explain] [--answer-ms N] [--ask-ms N] [attempt ...]\n"
    "       interceptor --rules\n"
    "  attempt: <in|out> <tcp|udp> <port> <a.b.c.d> <program>, e.g. \"out tcp 80 192.168.1.5 IEXPLORE.EXE\"\n"
    "  Each argument is one attempt; without attempts they are read from standard input, one per line\n"
    "  (blank lines and lines starting with # are skipped). A program name that finds only a rule for\n"
    "  any application is looked up again in capitals.\n"
    "  --rules         print the rule set, one rule per line, and decide nothing\n"
    "  --explain       also print every candidate the rule lookup weighs, and the winner\n"
    "  --answer-ms N   how long the monitor has to take a line before it is offered again\n"
    "                  (three offers in all, then the line is taken back); default 2000\n"
    "  --ask-ms N      how long an attempt that an ask rule governs waits for the user's answer\n"
    "                  through the monitor before it is denied (ask:timeout); default 30000\n";

// Lines longer than this are refused whole: no attempt comes near it, and a
// stream without line feeds must not be gathered into memory without end.
constexpr size_t kLongestLine = 4096;

// Standard input read as bytes: in text mode a Ctrl-Z would end the input
// unseen, and fgets would cut a line at a NUL byte.
class LineReader {
 public:
  explicit LineReader(FILE* in) : in_(in) { _setmode(_fileno(in), _O_BINARY); }
  // One line without its line feed; too_long when it was cut at kLongestLine
  // (the rest of it is skipped). False at the end of input.
  bool next(std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    bool any = false;
    for (;;) {
      if (pos_ == end_) {
        end_ = fread(buffer_, 1, sizeof buffer_, in_);
        pos_ = 0;
        if (end_ == 0) return any;
      }
      any = true;
      const char* start = buffer_ + pos_;
      const char* feed = (const char*)memchr(start, '\n', end_ - pos_);
      size_t n = feed ? (size_t)(feed - start) : end_ - pos_;
      size_t room = kLongestLine - line.size();
      if (n > room) too_long = true;
      line.append(start, n < room ? n : room);
      pos_ += n + (feed ? 1 : 0);
      if (feed) return true;
    }
  }

 private:
  FILE* in_;
  char buffer_[8192];
  size_t pos_ = 0, end_ = 0;
};

// Attempts taken in but not yet delivered: enough to ride out a slow line
// without letting decisions run far ahead of what the monitor has seen.
constexpr size_t kQueued = 64;
// Two lookups at once give about half as many again as one; more threads only
// crowd the two processors the server and the monitor share.
constexpr int kDeciders = 2;

// One input line on its way, in input order.
struct Work {
  bool rejected = false;
  Attempt attempt;
  Outcome outcome;
  std::string text;    // the explanation, if asked for; or why the line was rejected
  bool asked = false;  // the user is being asked through the monitor
  Asker::Question question;
};

}  // namespace

int main(int argc, char** argv) {
  bool explain_each = false, list_rules = false;
  DWORD answer_ms = Courier::kDefaultAnswerMs, ask_ms = Asker::kDefaultTimeoutMs;
  std::vector<std::string> attempts;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--explain"))
      explain_each = true;
    else if (!strcmp(argv[i], "--rules"))
      list_rules = true;
    else if ((!strcmp(argv[i], "--answer-ms") || !strcmp(argv[i], "--ask-ms")) && i + 1 < argc) {
      const char* option = argv[i];
      char* end = nullptr;
      unsigned long ms = strtoul(argv[++i], &end, 10);
      if (!*argv[i] || *end || ms == 0 || ms > 600000) {
        fprintf(stderr, "interceptor: %s wants milliseconds from 1 to 600000\n", option);
        return 1;
      }
      (!strcmp(option, "--ask-ms") ? ask_ms : answer_ms) = (DWORD)ms;
    } else if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h") || !strcmp(argv[i], "/?")) {
      fputs(kUsage, stdout);
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      fprintf(stderr, "interceptor: unknown option %s\n%s", argv[i], kUsage);
      return 1;
    } else
      attempts.push_back(argv[i]);
  }
  bool from_arguments = !attempts.empty();

  Session session;
  std::string error;
  if (!session.open(error, answer_ms, ask_ms)) {
    fprintf(stderr, "interceptor: %s\n", error.c_str());
    return 2;
  }

  if (list_rules) {
    fputs(session.rule_set().c_str(), stdout);
    return 0;
  }

  int rejected = 0;
  long number = 0;
  int taken_back = 0;
  // A line's answer comes in while later attempts are delivered; one the
  // monitor did not take is reported when that is known.
  auto report_taken_back = [&] {
    for (; taken_back < session.taken_back(); taken_back++)
      puts("note: the monitor did not take the last line sent; it was taken back");
  };
  // Lines are delivered and printed by the delivering thread in input order,
  // and by the asker's thread as answers come in: one at a time.
  CRITICAL_SECTION delivering;
  InitializeCriticalSection(&delivering);
  auto deliver_now = [&](Work& w) {
    EnterCriticalSection(&delivering);
    if (w.rejected) {
      fputs(w.text.c_str(), stderr);
    } else {
      session.deliver(w.outcome);
      report_taken_back();
      fputs(w.text.c_str(), stdout);
      puts(Session::summary(w.attempt, w.outcome).c_str());
    }
    LeaveCriticalSection(&delivering);
  };
  Ordered<Work> pipeline(
      kQueued, kDeciders,
      [&](Work& w) {
        w.outcome = session.decide(w.attempt);
        // Asked as soon as decided, so the monitor is told while earlier lines are delivered.
        if (w.outcome.decision.ask) w.asked = session.ask(w.attempt, w.question);
        if (!w.asked && w.question.refused) w.outcome.decision.why = w.question.refused;
        if (explain_each) {
          Attempt looked = Session::looked_up(w.attempt, w.outcome);
          w.text = format_explanation(explain(session.roots(), looked), looked, w.outcome.rule_key) +
                   Session::program_form(w.attempt, w.outcome);
        }
      },
      [&](Work& w) {
        if (!w.asked) return deliver_now(w);
        // An attempt waiting for its answer holds up no other: it is delivered
        // when the answer comes, after every attempt before it in the input.
        session.asker().wait_async(w.question, [&, w](int answer) mutable {
          session.answer(w.attempt, w.outcome, answer);
          deliver_now(w);
        });
      });
  long decided = 0;
  // Each line gets its own verdict, quoting at most a short excerpt of a bad one.
  auto one = [&](const std::string& text, bool too_long) {
    number++;
    Work w;
    Parsed parsed = too_long ? Parsed::kError : parse_attempt(text, w.attempt, error);
    if (too_long) error = "longer than " + std::to_string(kLongestLine) + " bytes";
    switch (parsed) {
      case Parsed::kSkip:
        return;
      case Parsed::kError:
        rejected++;
        w.rejected = true;
        w.text = std::string("interceptor: ") + (from_arguments ? "argument " : "line ") + std::to_string(number) +
                 " rejected: " + error + " (\"" + excerpt(text) + "\")\n";
        pipeline.submit(std::move(w), false);
        return;
      case Parsed::kAttempt:
        decided++;
        pipeline.submit(std::move(w));
        return;
    }
  };

  if (from_arguments) {
    for (const std::string& a : attempts) one(a, false);
  } else {
    LineReader reader(stdin);
    std::string line;
    bool too_long = false;
    while (reader.next(line, too_long)) one(line, too_long);
  }
  pipeline.finish();
  session.asker().finish();
  session.settle();
  report_taken_back();
  fflush(stdout);
  session.close();
  if (!decided && !rejected) {
    // Nothing to decide, "--explain" alone or an empty argument: say how it is used.
    fprintf(stderr, "interceptor: no connection attempt given\n%s", kUsage);
    return 1;
  }
  return rejected ? 3 : 0;
}
