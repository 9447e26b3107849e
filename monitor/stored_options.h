// The stored options record ("Options" in the registry) is always changed whole: read it,
// change a field or two, write it back. A record that cannot be read is left alone rather
// than replaced by one made from zeros, which would lose the password and every switch.
#pragma once
#include "tessary.h"

namespace wayguard {

template <typename Change>
bool ChangeStoredOptions(Change change) {
  PFW_OPTIONS options{};
  if (!PFW_GetOptionsFromRegistry(&options)) return false;
  change(options);
  return PFW_SetOptionsInRegistry(options) != 0;
}

}  // namespace wayguard
