#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace haldor::fuzz {

void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace haldor::fuzz
