// winui::InstanceClaim - "only one of this program runs" as one atomic step: a named
// mutex that the running instance owns for its whole life. Taken first thing, before any
// window; a start that finds it owned ends. A claim whose owner was killed comes back
// abandoned, which is the next start's to take, so a killed program never locks out the
// next one; nothing but the owner's end ever releases it.
#pragma once
#include <windows.h>

namespace winui {

class InstanceClaim {
 public:
  explicit InstanceClaim(const char* name);
  ~InstanceClaim();
  InstanceClaim(const InstanceClaim&) = delete;
  InstanceClaim& operator=(const InstanceClaim&) = delete;
  bool owned() const { return owned_; }

 private:
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

}  // namespace winui
