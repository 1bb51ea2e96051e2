// Libraries loaded at their first use: found, missing, or without a function the program calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "util/dynlib.h"

// Declared only: a function no library has, for the table below.
extern "C" int vx_dynlib_test_missing_function(int);

namespace {

using velorixa::util::Load;
using velorixa::util::LoadOrAbort;

#define VX_LIBC_FUNCTIONS(X) X(0, strlen)
VX_DYNLIB_TABLE(Libc, VX_LIBC_FUNCTIONS)

#define VX_BROKEN_FUNCTIONS(X) X(0, strlen) X(0, vx_dynlib_test_missing_function)
VX_DYNLIB_TABLE(Broken, VX_BROKEN_FUNCTIONS)

// Two libraries: a function of the second.
#define VX_SECOND_FUNCTIONS(X) X(1, strlen)
VX_DYNLIB_TABLE(Second, VX_SECOND_FUNCTIONS)

struct Case {
    const char* what;
    const char* soname;
    bool broken;        // the table with a function that no library has
    const char* error;  // empty: loads
};

TEST(DynLib, LoadsOrNamesTheLibraryAndWhatIsMissing) {
    const Case cases[] = {
        {"libc", "libc.so.6", false, ""},
        {"Nothing", "libvelorixa-no-such.so.0", false,
         "cannot load Nothing: libvelorixa-no-such.so.0: cannot open shared object file"},
        {"libc", "libc.so.6", true, "cannot load libc: vx_dynlib_test_missing_function"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.soname);
        if (c.broken) {
            const auto loaded = Load<Broken>(c.what, {c.soname});
            EXPECT_EQ(loaded.error, c.error);
            // Nothing half-resolved is handed out.
            EXPECT_EQ(loaded.api.strlen, nullptr);
            continue;
        }
        const auto loaded = Load<Libc>(c.what, {c.soname});
        EXPECT_EQ(loaded.ok(), !*c.error);
        EXPECT_EQ(loaded.error.substr(0, std::strlen(c.error)), c.error);
        if (loaded.ok()) {
            ASSERT_NE(loaded.api.strlen, nullptr);
            EXPECT_EQ(loaded.api.strlen("four"), 4u);
        } else {
            EXPECT_EQ(loaded.api.strlen, nullptr);
        }
    }
}

TEST(DynLib, EachFunctionComesFromItsOwnLibraryOfTheList) {
    const auto both = Load<Second>("two", {"libm.so.6", "libc.so.6"});
    ASSERT_TRUE(both.ok()) << both.error;
    EXPECT_EQ(both.api.strlen("three"), 5u);
    // The first of two missing stops the load; the message names it.
    const auto first = Load<Second>("two", {"libvelorixa-no-such.so.1", "libc.so.6"});
    EXPECT_EQ(first.error.rfind("cannot load two: libvelorixa-no-such.so.1:", 0), 0u)
        << first.error;
    // A table that asks for a library the list does not have.
    const auto one = Load<Second>("one", {"libc.so.6"});
    EXPECT_EQ(one.error, "cannot load one: no library for strlen");
}

TEST(DynLib, ARedirectedSonameLoadsItsReplacement) {
    velorixa::util::RedirectLibraryForTest("libvelorixa-redirect-test.so.9", "libc.so.6");
    const auto redirected = Load<Libc>("redirected", {"libvelorixa-redirect-test.so.9"});
    EXPECT_TRUE(redirected.ok()) << redirected.error;
    velorixa::util::RedirectLibraryForTest("libvelorixa-redirect-test.so.9",
                                           "libvelorixa-gone.so.9");
    const auto gone = Load<Libc>("redirected", {"libvelorixa-redirect-test.so.9"});
    EXPECT_EQ(gone.error.rfind("cannot load redirected: libvelorixa-gone.so.9:", 0), 0u)
        << gone.error;
}

// A library the program cannot do without ends it with the message, as a missing library of a
// direct link did at its start, instead of a crash at a null function later.
TEST(DynLib, LoadOrAbortEndsTheProgramWithTheMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(LoadOrAbort<Libc>("Nothing", {"libvelorixa-no-such.so.0"}),
                 "velorixa: cannot load Nothing: libvelorixa-no-such.so.0: cannot open");
    EXPECT_EQ(LoadOrAbort<Libc>("libc", {"libc.so.6"}).strlen("ab"), 2u);
}

}  // namespace
