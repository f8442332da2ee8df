#pragma once
// How a fuzz target reports a broken expectation: the reason on stderr, then
// abort(), which libFuzzer (and the corpus replay) records as a crash.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace varnox::fuzz {

[[noreturn]] inline void Fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz expectation broken: %s\n", what.c_str());
    std::abort();
}

inline void Expect(bool condition, const std::string& what)
{
    if (!condition)
        Fail(what);
}

}  // namespace varnox::fuzz
