// What a fuzz target does when an invariant breaks: stop at once, so the fuzzer
// keeps the input that broke it.
#pragma once

inline void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
