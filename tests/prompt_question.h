// prompt_question.h - a connection request as the interceptor puts it to the monitor.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tessary.h"

// Network byte order, as inet_addr gives it.
inline uint32_t DottedAddress(const char* text) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d);
  return a | (b << 8) | (c << 16) | (d << 24);
}

inline PFW_PROMPT_REQUEST question(const char* program, unsigned port = 8080, const char* address = "10.0.0.9",
                                   const char* service = "Alt Web") {
  PFW_PROMPT_REQUEST q = {};
  strncpy(q.program, program, sizeof q.program - 1);
  strncpy(q.protocol_name, service, sizeof q.protocol_name - 1);
  q.direction = PFW_OUTBOUND;
  q.transport = PFW_TCP;
  q.port = port;
  q.address = DottedAddress(address);
  return q;
}
