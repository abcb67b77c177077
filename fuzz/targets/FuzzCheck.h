#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the process where an invariant breaks, in every build type (assert would vanish).
#define VORLITH_FUZZ_CHECK(condition)                                                          \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)
