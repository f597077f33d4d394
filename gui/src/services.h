#pragma once

#include "modulerunner.h"
#include "prompts.h"

namespace haldorin {

// What the windows need from outside: someone to ask, a way to run modules
// and how often to look at a running one. Owned by main (or by a test).
struct Services {
    UserPrompts* prompts = nullptr;
    ModuleRunner* runner = nullptr;
    int runTickMs = kRunTickMs;
};

} // namespace haldorin
