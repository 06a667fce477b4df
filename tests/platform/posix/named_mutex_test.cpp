#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "base/error_info.h"
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

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A refusal leaves its point and a text naming the path, and changes nothing.
void ExpectRefused(const std::string& name, const std::string& point, const std::string& text) {
    g_errorInfo.Clear();
    std::unique_ptr<INamedMutex> mutex;
    EXPECT_NE(OpenNamedMutex(name, mutex), 0);
    EXPECT_FALSE(mutex);
    EXPECT_EQ(g_errorInfo.GetPoints().rfind(point, 0), 0u) << g_errorInfo.GetPoints();
    EXPECT_NE(g_errorInfo.GetText().find(text), std::string::npos) << g_errorInfo.GetText();
    g_errorInfo.Clear();
}

TEST_F(NamedMutex, FoldersAndFilesOthersCouldPrepareAreRefused) {
    const std::string locks = dir.File("locks");
    const std::string own = locks + "/user-" + std::to_string(geteuid());
    ASSERT_EQ(mkdir(locks.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("elsewhere").c_str(), 0700), 0);

    ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), own.c_str()), 0);
    ExpectRefused("Local", "RWEF3OSODHHSLLS",
                  "The lock folder '" + own + "' is refused: it is a symbolic link.");
    EXPECT_EQ(ModeOf(dir.File("elsewhere")), 0700);

    ASSERT_EQ(unlink(own.c_str()), 0);
    ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(chmod(own.c_str(), 01777), 0);
    ExpectRefused("Local", "RWEF3OSODHHSLLS",
                  "The lock folder '" + own +
                      "' is refused: other accounts may write to it "
                      "(mode 1777).");
    EXPECT_EQ(ModeOf(own), 01777) << "a folder it did not make keeps its mode";

    // A link at a lock file's name is never followed.
    ASSERT_EQ(chmod(own.c_str(), 0700), 0);
    test::WriteFile(dir.File("elsewhere/file"), "x");
    ASSERT_EQ(chmod(dir.File("elsewhere/file").c_str(), 0600), 0);
    ASSERT_EQ(symlink(dir.File("elsewhere/file").c_str(), (own + "/Local.lock").c_str()), 0);
    ExpectRefused("Local", "NZQCFCOLRUMKKUT",
                  "The lock file '" + own + "/Local.lock' is refused: it is a symbolic link.");
    EXPECT_EQ(ModeOf(dir.File("elsewhere/file")), 0600);

    if (geteuid() == 0) {
        ASSERT_EQ(mkdir((locks + "/global").c_str(), 0755), 0);
        ASSERT_EQ(chown((locks + "/global").c_str(), 65534, 65534), 0);
        ExpectRefused("Global\\Machine", "RWEF3OSODHHSLLS",
                      "The lock folder '" + locks +
                          "/global' is refused: it belongs to the account 65534, not to 0.");
    }
}

TEST_F(NamedMutex, PerUserLocksLiveInTheRuntimeFolder) {
    test::ScopedEnv noOverride("VZRM_LOCK_DIR", nullptr);
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
    std::unique_ptr<INamedMutex> mutex;
    ASSERT_EQ(OpenNamedMutex("Quorvix_ZRMAU_MutexDoubleCall", mutex), 0);
    EXPECT_EQ(ModeOf(dir.File("vzrmaud")), 0700);
    EXPECT_TRUE(
        std::filesystem::is_regular_file(dir.File("vzrmaud/Quorvix_ZRMAU_MutexDoubleCall.lock")));
}

// Without a runtime folder (cron) the per-user locks go to the account's home
// from the user database, never to a folder that all accounts share.
TEST_F(NamedMutex, WithoutARuntimeFolderLocksGoToTheAccountsHome) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second account";
    }
    const passwd* nobody = getpwuid(65534);
    ASSERT_NE(nobody, nullptr);
    const std::string folder = std::string(nobody->pw_dir) + "/.cache/vzrmaud/locks";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        unsetenv("VZRM_LOCK_DIR");
        unsetenv("XDG_RUNTIME_DIR");
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(10);
        }
        std::unique_ptr<INamedMutex> mutex;
        if (OpenNamedMutex("Local", mutex) == 0) {
            _exit(access((folder + "/Local.lock").c_str(), F_OK) == 0 ? 0 : 11);
        }
        // A home that does not exist (often so for nobody) is named in the error.
        _exit(g_errorInfo.GetText().find("'" + folder + "'") != std::string::npos ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The install step makes the machine-wide folder and the instance lock file,
// owned by root; another account takes the lock through a read-only open.
TEST_F(NamedMutex, AnotherAccountTakesTheMachineWideLockTheInstallMade) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second account";
    }
    const std::string global = dir.File("locks/global");
    std::filesystem::create_directories(global);
    chmod(dir.Path().c_str(), 0755);
    chmod(dir.File("locks").c_str(), 0755);
    test::WriteFile(global + "/Instance.lock", "");
    chmod((global + "/Instance.lock").c_str(), 0644);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(10);
        }
        std::unique_ptr<INamedMutex> held;
        if (OpenNamedMutex("Global\\Instance", held) != 0 || held->Wait(0) != 0) {
            _exit(11);
        }
        // A name the install did not make cannot be made by a plain account.
        std::unique_ptr<INamedMutex> other;
        _exit(OpenNamedMutex("Global\\Other", other) == kErrorAccessDenied ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ModeOf(global + "/Instance.lock"), 0644);
    EXPECT_EQ(ModeOf(global), 0755);
}

}  // namespace
}  // namespace vzrm
