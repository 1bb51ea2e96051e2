#pragma once
// Runs part of a test in a new process of its own: for state the whole process shares and that
// only grows (the resampler's filter tables), whose first steps a test must see from the start
// however many tests ran before it in the same process. GoogleTest's death-test machinery
// starts the test binary anew for just this test and runs `body` there; the part fails when
// anything in it failed, and shows the failures (the new process writes them to its error
// output, which is what GoogleTest passes back).

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace audiotest {

template <class Body>
void inFreshProcess(Body&& body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            testing::TestPartResultArray results;
            {
                testing::ScopedFakeTestPartResultReporter reporter(
                    testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
                body();
            }
            int failed = 0;
            for (int i = 0; i < results.size(); ++i) {
                const testing::TestPartResult& r = results.GetTestPartResult(i);
                if (!r.failed()) continue;
                ++failed;
                std::fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?",
                             r.line_number(), r.message());
            }
            std::fflush(nullptr);
            std::_Exit(failed > 0 ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace audiotest
