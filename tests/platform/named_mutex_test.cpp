#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/error_codes.h"
#include "support/fake_services.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

class NamedMutex : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv locks{"VZRM_LOCK_DIR", dir.File("locks").c_str()};
};

TEST_F(NamedMutex, OneOwnerAtATimeAndWaitsTimeOut) {
    std::unique_ptr<INamedMutex> first;
    std::unique_ptr<INamedMutex> second;
    ASSERT_EQ(OpenNamedMutex("HKCU_SOFTWARE_X_ZRMOPT", first), 0);
    ASSERT_EQ(OpenNamedMutex("HKCU_SOFTWARE_X_ZRMOPT", second), 0);
    ASSERT_EQ(first->Wait(0), 0);
    EXPECT_EQ(second->Wait(50), kErrorTimeout);
    first->Release();
    EXPECT_EQ(second->Wait(50), 0);
    // Other names, and the machine-wide namespace, are separate mutexes.
    std::unique_ptr<INamedMutex> other;
    ASSERT_EQ(OpenNamedMutex("Global\\HKCU_SOFTWARE_X_ZRMOPT", other), 0);
    EXPECT_EQ(other->Wait(0), 0);
}

TEST_F(NamedMutex, TheDeathOfItsHolderFreesIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<INamedMutex> held;
        if (OpenNamedMutex("Global\\Quorvix_Test", held) != 0 || held->Wait(1000) != 0) {
            _exit(1);
        }
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) {
            _exit(1);
        }
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    std::unique_ptr<INamedMutex> mutex;
    ASSERT_EQ(OpenNamedMutex("Global\\Quorvix_Test", mutex), 0);
    EXPECT_EQ(mutex->Wait(30), kErrorTimeout);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(mutex->Wait(1000), 0);
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
}  // namespace vzrm
