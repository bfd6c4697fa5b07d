// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small test runner for the programs that run under Wine, where the Qt test library of
// the Linux build is not available. It prints one line a test and "N passed, N failed".

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace minitest {

struct TestCase
{
    const char *name;
    void (*run)();
};

inline std::vector<TestCase> &testCases()
{
    static std::vector<TestCase> all;
    return all;
}

inline bool &currentFailed()
{
    static bool failed = false;
    return failed;
}

struct Registrar
{
    Registrar(const char *name, void (*run)()) { testCases().push_back({name, run}); }
};

inline void fail(const char *file, int line, const std::string &what)
{
    currentFailed() = true;
    std::printf("   %s(%d): %s\n", file, line, what.c_str());
}

template <class A, class B>
bool compare(const A &actual, const B &expected, const char *file, int line, const char *text)
{
    if (actual == expected)
        return true;
    std::ostringstream out;
    out << text << "\n      actual:   " << actual << "\n      expected: " << expected;
    fail(file, line, out.str());
    return false;
}

inline int runAll()
{
    int passed = 0;
    int failed = 0;
    for (const TestCase &test : testCases()) {
        currentFailed() = false;
        test.run();
        std::printf("%s: %s\n", currentFailed() ? "FAIL!" : "PASS ", test.name);
        ++(currentFailed() ? failed : passed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace minitest

#define MINI_TEST(name)                                                                            \
    static void name();                                                                            \
    static const minitest::Registrar name##Registrar(#name, name);                                 \
    static void name()

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            minitest::fail(__FILE__, __LINE__, #condition);                                        \
            return;                                                                                \
        }                                                                                          \
    } while (false)

#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        if (!minitest::compare((actual), (expected), __FILE__, __LINE__,                           \
                               #actual " == " #expected))                                          \
            return;                                                                                \
    } while (false)
