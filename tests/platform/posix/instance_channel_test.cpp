// The channel from a second start to the running instance.
#include "platform/posix/instance_channel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vzrm::platform::posix {
namespace {

TEST(InstanceChannel, ARunningInstanceReceivesShowCommandsInOrder) {
    const std::string name = "Quorvix_ZRMAU_Class_test_" + std::to_string(getpid());
    EXPECT_FALSE(SendShowInstance(name, 1)) << "nobody listens yet";
    CInstanceListener first;
    ASSERT_TRUE(first.Listen(name));
    EXPECT_FALSE(first.TakeShowRequest().has_value());

    CInstanceListener second;
    EXPECT_FALSE(second.Listen(name)) << "the name belongs to the first instance";

    // A second start in another process.
    const pid_t child = fork();
    if (child == 0) {
        _exit(SendShowInstance(name, 6) && SendShowInstance(name, 1) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(first.TakeShowRequest(), std::optional<std::int32_t>(6));
    EXPECT_EQ(first.TakeShowRequest(), std::optional<std::int32_t>(1));
    EXPECT_FALSE(first.TakeShowRequest().has_value());
}

TEST(InstanceChannel, TheNameIsFreeOnceTheInstanceHasGone) {
    const std::string name = "Quorvix_ZRMAU_Class_gone_" + std::to_string(getpid());
    {
        CInstanceListener instance;
        ASSERT_TRUE(instance.Listen(name));
    }
    EXPECT_FALSE(SendShowInstance(name, 1));
    CInstanceListener next;
    EXPECT_TRUE(next.Listen(name));
}

}  // namespace
}  // namespace vzrm::platform::posix
