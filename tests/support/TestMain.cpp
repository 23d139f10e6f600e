// The main of every GoogleTest executable: each test sees the same time zone and
// locale, however it is started (ctest, by hand, from a debugger).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
