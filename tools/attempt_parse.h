// attempt_parse.h - the stand-in interceptor's attempt syntax (interceptor_core.h
// describes it), apart from everything that needs the system headers, so that
// the parser also builds natively as a fuzz target (tools/fuzz).
#ifndef TARNWALL_ATTEMPT_PARSE_H
#define TARNWALL_ATTEMPT_PARSE_H

#include <string>
#include <string_view>

#include "tessary_records.h"

namespace interceptor {

struct Attempt {
  int direction = PFW_OUTBOUND;
  int transport = PFW_TCP;
  unsigned port = 0;
  unsigned long address = 0;  // network byte order, as inet_addr gives it
  std::string program;
};

enum class Parsed { kAttempt, kSkip, kError };

// Reads one attempt. On kError, error says what is wrong with the line,
// quoting at most a short excerpt of it. A line holding a NUL byte is refused.
Parsed parse_attempt(std::string_view line, Attempt& out, std::string& error);

// The text with control characters shown as '?': a program name as a line may
// carry it, since control characters would split or garble the connection log.
std::string printable(std::string_view text);

// At most max_chars of the text, control characters shown as '?', and when it
// was longer "... (N bytes)": how messages quote what they were given.
std::string excerpt(std::string_view text, size_t max_chars = 40);

// Dotted form of an address in network byte order.
std::string dotted(unsigned long address);

}  // namespace interceptor

#endif
