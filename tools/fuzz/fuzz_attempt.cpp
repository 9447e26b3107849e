// libFuzzer target for the interceptor's attempt parser (tools/attempt_parse.h),
// built natively with clang, ASan and UBSan (tools/fuzz/run.sh). Whatever the
// line: an attempt read from it has a direction and transport of the known
// codes, a port up to 65535 and a non-empty program without control
// characters; an error names what is wrong in a message of bounded length; and
// the attempt written out again in the syntax reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../attempt_parse.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line((const char*)data, size);
  interceptor::Attempt a;
  std::string error;
  switch (interceptor::parse_attempt(line, a, error)) {
    case interceptor::Parsed::kSkip:
      return 0;
    case interceptor::Parsed::kError:
      // Quoting at most an excerpt of the words: never the whole of a long line.
      check(!error.empty() && error.size() < 200);
      return 0;
    case interceptor::Parsed::kAttempt:
      break;
  }
  check(a.direction == PFW_INBOUND || a.direction == PFW_OUTBOUND);
  check(a.transport == PFW_TCP || a.transport == PFW_UDP);
  check(a.port <= 65535 && a.address <= 0xFFFFFFFFul && !a.program.empty());
  for (char c : a.program) check((unsigned char)c >= 0x20 && c != 0x7F);
  std::string again = std::string(a.direction == PFW_INBOUND ? "in " : "out ") +
                      (a.transport == PFW_UDP ? "udp " : "tcp ") + std::to_string(a.port) + " " +
                      interceptor::dotted(a.address) + " \"" + a.program + "\"";
  interceptor::Attempt b;
  check(interceptor::parse_attempt(again, b, error) == interceptor::Parsed::kAttempt);
  check(b.direction == a.direction && b.transport == a.transport && b.port == a.port && b.address == a.address &&
        b.program == a.program);
  return 0;
}
