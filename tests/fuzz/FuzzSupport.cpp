#include "tests/fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

void fuzzFailure(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}
