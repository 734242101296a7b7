#include "serial/backend/LinuxSerialBackend.h"
#include "serial/backend/SerialBackend.h"
#include "tests/serial/FakeSerialBackend.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

using serial::SerialBackend;

TEST(SerialBackend, OnlyLinuxHasABuiltInBackend)
{
    EXPECT_TRUE(std::dynamic_pointer_cast<serial::LinuxSerialBackend>(SerialBackend::builtInFor("Linux")));
    for (const char* other : {"Windows NT", "Windows 95", "Mac OS", "FreeBSD", "linux", ""}) {
        EXPECT_FALSE(SerialBackend::builtInFor(other)) << other;
    }
}

TEST(SerialBackend, InstalledBackendReplacesTheBuiltInOne)
{
    auto fake = std::make_shared<FakeSerialBackend>();
    SerialBackend::install(fake);
    EXPECT_EQ(SerialBackend::current(), fake);
    SerialBackend::install(nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<serial::LinuxSerialBackend>(SerialBackend::current()));
}

TEST(SerialBackendDeathTest, UnsupportedPlatformEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Standard output goes to standard error so that the death test can see the line.
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            SerialBackend::selectFor("Windows NT");
        },
        testing::ExitedWithCode(1), "(^|\n)Platform not supported\n");
}
