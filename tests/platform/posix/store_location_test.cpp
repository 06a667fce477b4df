// Where the store lies and which hives are refused there.
#include "platform/posix/store_location.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/error_info.h"
#include "platform/error_codes.h"
#include "platform/posix/sqlite_registry.h"
#include "support/fake_services.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;
using posix::StoreRefusal;

// Without HOME (as under cron) the user hive lies in the account's home from
// the user database, never in a folder that others share.
TEST(StoreLocation, WithoutHomeTheUserDatabaseGivesTheFolder) {
    test::ScopedEnv store("VZRM_REGISTRY_DIR", nullptr);
    test::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    test::ScopedEnv home("HOME", nullptr);
    const passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    const posix::SqliteRegistry::Location location = posix::SqliteRegistry::DefaultLocation();
    EXPECT_EQ(location.userFile, std::string(account->pw_dir) + "/.config/vzrmaud/HKCU.db");
    EXPECT_EQ(location.machineFile, "/var/lib/vzrmaud/HKLM.db");
}

// An installed program needs no variable: the machine hive in /var/lib/vzrmaud,
// the user's in the user's configuration folder; each override still counts.
TEST(StoreLocation, TheDefaultFoldersAndTheirOverrides) {
    test::ScopedEnv store("VZRM_REGISTRY_DIR", nullptr);
    test::ScopedEnv machine("VZRM_MACHINE_REGISTRY_DIR", nullptr);
    test::ScopedEnv config("XDG_CONFIG_HOME", "/home/ann/.conf");
    test::ScopedEnv home("HOME", "/home/ann");
    using Location = posix::SqliteRegistry::Location;
    Location location = posix::SqliteRegistry::DefaultLocation();
    EXPECT_EQ(location.machineFile, "/var/lib/vzrmaud/HKLM.db");
    EXPECT_EQ(location.userFile, "/home/ann/.conf/vzrmaud/HKCU.db");
    {
        test::ScopedEnv noConfig("XDG_CONFIG_HOME", "");
        EXPECT_EQ(posix::SqliteRegistry::DefaultLocation().userFile,
                  "/home/ann/.config/vzrmaud/HKCU.db");
    }
    {
        test::ScopedEnv prefix("VZRM_MACHINE_REGISTRY_DIR", "/opt/vzrmaud/registry");
        location = posix::SqliteRegistry::DefaultLocation();
        EXPECT_EQ(location.machineFile, "/opt/vzrmaud/registry/HKLM.db");
        EXPECT_EQ(location.userFile, "/home/ann/.conf/vzrmaud/HKCU.db");
    }
    test::ScopedEnv both("VZRM_REGISTRY_DIR", "/srv/store");
    location = posix::SqliteRegistry::DefaultLocation();
    EXPECT_EQ(location.machineFile, "/srv/store/HKLM.db");
    EXPECT_EQ(location.userFile, "/srv/store/HKCU.db");
}

TEST(StoreLocation, LinksOtherAccountsAndOpenFoldersAreRefused) {
    test::TempDir dir;
    const std::string folder = dir.File("vzrmaud");
    const std::string hive = folder + "/HKCU.db";
    // Nothing there yet: this process makes it.
    EXPECT_EQ(StoreRefusal(hive), "");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    test::WriteFile(hive, "");
    EXPECT_EQ(StoreRefusal(hive), "");

    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    EXPECT_EQ(StoreRefusal(hive), "The store folder '" + folder +
                                      "' is refused: other accounts may write to it (mode 0777).");
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);

    // SQLite's files beside the hive count as the hive.
    ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), (hive + "-wal").c_str()), 0);
    EXPECT_EQ(StoreRefusal(hive),
              "The store file '" + hive + "-wal' is refused: it is a symbolic link.");
    ASSERT_EQ(unlink((hive + "-wal").c_str()), 0);

    const std::string linked = dir.File("linked");
    ASSERT_EQ(symlink(folder.c_str(), linked.c_str()), 0);
    EXPECT_EQ(StoreRefusal(linked + "/HKCU.db"),
              "The store folder '" + linked + "' is refused: it is a symbolic link.");

    if (geteuid() == 0) {
        ASSERT_EQ(chown(hive.c_str(), 65534, 65534), 0);
        EXPECT_EQ(StoreRefusal(hive), "The store file '" + hive +
                                          "' is refused: it belongs to the account 65534, not "
                                          "to 0.");
    }
}

// A refused hive answers nothing from its file, and the check at start-up
// names it.
TEST(StoreLocation, ARefusedHiveIsNeverOpened) {
    test::TempDir dir;
    const std::string folder = dir.File("store");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    {
        posix::SqliteRegistry registry({folder + "/HKLM.db", folder + "/HKCU.db"});
        HKEY key = 0;
        ASSERT_EQ(registry.CreateKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, key), 0);
        registry.CloseKey(key);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0757), 0);
    posix::SqliteRegistry registry({folder + "/HKLM.db", folder + "/HKCU.db"});
    HKEY key = 0;
    EXPECT_EQ(registry.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ, key), kErrorAccessDenied);

    test::ScopedEnv store("VZRM_REGISTRY_DIR", folder.c_str());
    CErrorInfo record;
    EXPECT_FALSE(posix::CheckStoreLocation(record));
    EXPECT_EQ(record.GetPoints().rfind("CUKZTMOXUHZU7NG", 0), 0u) << record.GetPoints();
    EXPECT_EQ(record.GetCode(), kErrorAccessDenied);
    EXPECT_NE(record.GetText().find("The store folder '" + folder + "' is refused"),
              std::string::npos)
        << record.GetText();
}

}  // namespace
}  // namespace vzrm
