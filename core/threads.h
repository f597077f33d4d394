// How many threads a program's parallel phases use.
#pragma once

namespace haldor {

// The processor's threads, at most `most`, and at most N when the
// environment sets HALDOR_THREADS=N (the benchmarks time one thread with it).
// Always at least 1.
unsigned worker_threads(unsigned most);

}  // namespace haldor
