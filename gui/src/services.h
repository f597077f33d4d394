#pragma once

#include "modulerunner.h"
#include "prompts.h"

namespace haldorin {

// What the windows need from outside: someone to ask, a way to run modules
// and how long to wait for them. Owned by main (or by a test).
struct Services {
    UserPrompts* prompts = nullptr;
    ModuleRunner* runner = nullptr;
    int runWaitMs = kRunWaitMs;
};

} // namespace haldorin
