#pragma once

#include "support/plainpaths.h"

#include <cstdio>
#include <cstdlib>

// A broken property ends the run as a crash does, so that libFuzzer keeps the input.
inline void require(bool holds, const char *property)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}
