#include "platform/posix/sqlite_registry.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/error_codes.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

constexpr uid_t kNobody = 65534;

class SqliteRegistryTest : public ::testing::Test {
  protected:
    std::unique_ptr<posix::SqliteRegistry> Open() {
        return std::make_unique<posix::SqliteRegistry>(
            posix::SqliteRegistry::Location{dir.File("HKLM.db"), dir.File("HKCU.db")});
    }
    static std::int32_t SetDword(IRegistry& r, HKEY key, const std::string& name, std::uint32_t v) {
        return r.SetValue(key, name, REG_DWORD, reinterpret_cast<const std::uint8_t*>(&v), 4);
    }
    static std::int32_t SetText(IRegistry& r, HKEY key, const std::string& name,
                                const std::string& text) {
        return r.SetValue(key, name, REG_SZ, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                          static_cast<std::uint32_t>(text.size() + 1));
    }
    static void AddSubkeys(IRegistry& r, HKEY parent, std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            HKEY child = 0;
            ASSERT_EQ(r.CreateKey(parent, name, KEY_ALL_ACCESS, child), 0);
            r.CloseKey(child);
        }
    }
    test::TempDir dir;
};

TEST_F(SqliteRegistryTest, KeysAndValuesIgnoreCaseButKeepIt) {
    auto registry = Open();
    HKEY key = 0;
    bool created = false;
    ASSERT_EQ(registry->CreateKey(HKEY_CURRENT_USER, "Software\\Quorvix\\Velmora", KEY_ALL_ACCESS,
                                  key, &created),
              0);
    EXPECT_TRUE(created);
    ASSERT_EQ(SetText(*registry, key, "LogFold", "D:\\Reports\\"), 0);
    registry->CloseKey(key);

    ASSERT_EQ(registry->OpenKey(HKEY_CURRENT_USER, "SOFTWARE\\quorvix\\VELMORA", KEY_READ, key), 0);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    ASSERT_EQ(registry->QueryValue(key, "logfold", &type, nullptr, size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 12u);
    std::vector<std::uint8_t> small(4);
    std::uint32_t smallSize = 4;
    EXPECT_EQ(registry->QueryValue(key, "LogFold", &type, small.data(), smallSize), kErrorMoreData);
    EXPECT_EQ(smallSize, 12u);
    std::string name;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(registry->EnumValue(key, 0, name, type, data), 0);
    EXPECT_EQ(name, "LogFold");
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("D:\\Reports\\\0", 12));
    EXPECT_EQ(registry->EnumValue(key, 1, name, type, data), kErrorNoMoreItems);
    EXPECT_EQ(registry->SetValue(key, "x", REG_SZ, nullptr, 0),
              kErrorAccessDenied);  // opened for reading
    registry->CloseKey(key);
    EXPECT_EQ(registry->OpenKey(HKEY_CURRENT_USER, "Software\\Nobody", KEY_READ, key),
              kErrorFileNotFound);
    EXPECT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key),
              kErrorFileNotFound);
}

TEST_F(SqliteRegistryTest, EnumerationOrderAndDeletion) {
    auto registry = Open();
    HKEY key = 0;
    ASSERT_EQ(registry->CreateKey(HKEY_CURRENT_USER, "App", KEY_ALL_ACCESS, key), 0);
    AddSubkeys(*registry, key, {"beta", "Alpha", "gamma"});
    ASSERT_EQ(SetDword(*registry, key, "Zed", 1), 0);
    ASSERT_EQ(SetDword(*registry, key, "Ann", 2), 0);
    ASSERT_EQ(SetDword(*registry, key, "zed", 3), 0);  // updates in place, keeps its name's case
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; registry->EnumKey(key, i, name) == 0; ++i) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    names.clear();
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; registry->EnumValue(key, i, name, type, data) == 0; ++i) {
        names.push_back(name + "=" + std::to_string(data[0]));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"zed=3", "Ann=2"}));
    HKEY deep = 0;
    ASSERT_EQ(registry->CreateKey(key, "beta\\deeper", KEY_ALL_ACCESS, deep), 0);
    registry->CloseKey(deep);
    EXPECT_EQ(registry->DeleteKey(key, "beta"), kErrorAccessDenied);  // has a subkey
    EXPECT_EQ(registry->DeleteTree(key, "BETA"), 0);
    EXPECT_EQ(registry->OpenKey(key, "beta\\deeper", KEY_READ, deep), kErrorFileNotFound);
    EXPECT_EQ(registry->DeleteValue(key, "ANN"), 0);
    EXPECT_EQ(registry->DeleteValue(key, "ANN"), kErrorFileNotFound);
}

TEST_F(SqliteRegistryTest, FailedTransactionLeavesThePreviousContent) {
    auto registry = Open();
    HKEY key = 0;
    ASSERT_EQ(registry->CreateKey(HKEY_CURRENT_USER, "App\\Profiles", KEY_ALL_ACCESS, key), 0);
    ASSERT_EQ(SetDword(*registry, key, "ActiveProf", 7), 0);
    registry->CloseKey(key);
    const std::int32_t result = registry->Transaction(HKEY_CURRENT_USER, [&] {
        EXPECT_EQ(registry->DeleteTree(HKEY_CURRENT_USER, "App\\Profiles"), 0);
        return kErrorDiskFull;
    });
    EXPECT_EQ(result, kErrorDiskFull);
    ASSERT_EQ(registry->OpenKey(HKEY_CURRENT_USER, "App\\Profiles", KEY_READ, key), 0);
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(registry->QueryValue(key, "ActiveProf", nullptr,
                                   reinterpret_cast<std::uint8_t*>(&value), size),
              0);
    EXPECT_EQ(value, 7u);
}

// A key's path is read in one transaction of its own: it must end whether the
// key is found or not, and inside a write it must become part of that write.
TEST_F(SqliteRegistryTest, OpeningKeysLeavesNoTransactionBehind) {
    auto reader = Open();
    auto writer = Open();  // another connection, as another process has
    HKEY key = 0;
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        ASSERT_EQ(writer->CreateKey(root, "Software\\Quorvix\\App", KEY_ALL_ACCESS, key), 0);
        writer->CloseKey(key);
        ASSERT_EQ(reader->OpenKey(root, "Software\\Quorvix\\App", KEY_READ, key), 0);
        reader->CloseKey(key);
        EXPECT_EQ(reader->OpenKey(root, "Software\\Quorvix\\None\\Deeper", KEY_READ, key),
                  kErrorFileNotFound);
        // A read left open would hold the file's lock: this write would wait and fail.
        ASSERT_EQ(writer->CreateKey(root, "Software\\Quorvix\\App", KEY_ALL_ACCESS, key), 0);
        EXPECT_EQ(SetDword(*writer, key, "Written", 1), 0);
        writer->CloseKey(key);
        // And the reader's own next write starts a transaction of its own.
        EXPECT_EQ(reader->Transaction(root, [&] { return reader->DeleteTree(root, "Software"); }),
                  0);
    }

    // Opened inside a write that fails, a key's path is rolled back with it.
    const std::int32_t failed = reader->Transaction(HKEY_CURRENT_USER, [&] {
        HKEY made = 0;
        EXPECT_EQ(reader->CreateKey(HKEY_CURRENT_USER, "Kept\\Not", KEY_ALL_ACCESS, made), 0);
        reader->CloseKey(made);
        EXPECT_EQ(reader->OpenKey(HKEY_CURRENT_USER, "Kept\\Not", KEY_READ, made), 0);
        reader->CloseKey(made);
        return kErrorDiskFull;
    });
    EXPECT_EQ(failed, kErrorDiskFull);
    EXPECT_EQ(writer->OpenKey(HKEY_CURRENT_USER, "Kept", KEY_READ, key), kErrorFileNotFound);
}

// Each index continues from the last name given for that handle, so a long
// list of subkeys is read once, not once per name; whenever the hive changed
// in between, by this connection or another, an index is what it would be
// counted from the first name.
TEST_F(SqliteRegistryTest, EnumeratingSubkeysFollowsChangesInBetween) {
    auto registry = Open();
    auto other = Open();  // another connection, as another process has
    HKEY key = 0;
    ASSERT_EQ(registry->CreateKey(HKEY_LOCAL_MACHINE, "List", KEY_ALL_ACCESS, key), 0);
    for (int i = 0; i < 300; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "k%03d", i);
        AddSubkeys(*registry, key, {name});
    }
    const auto nameAt = [&](HKEY at, std::uint32_t index) {
        std::string name;
        return at && registry->EnumKey(at, index, name) == 0 ? name : std::string("-");
    };
    std::vector<std::string> all;
    for (std::uint32_t i = 0; nameAt(key, i) != "-"; ++i) {
        all.push_back(nameAt(key, i));
    }
    ASSERT_EQ(all.size(), 300u);
    EXPECT_EQ(all[0], "k000");
    EXPECT_EQ(all[299], "k299");

    EXPECT_EQ(nameAt(key, 10), "k010");
    AddSubkeys(*other, HKEY_LOCAL_MACHINE,
               {"List\\a-first"});       // another process's, before the rest
    EXPECT_EQ(nameAt(key, 11), "k010");  // counted again: the old 10th is the 11th
    EXPECT_EQ(nameAt(key, 12), "k011");
    EXPECT_EQ(registry->DeleteKey(key, "k000"), 0);  // this connection's change
    EXPECT_EQ(nameAt(key, 13), "k013");
    // Two handles of one key go on each from their own place.
    HKEY second = 0;
    ASSERT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, "List", KEY_READ, second), 0);
    EXPECT_EQ(nameAt(second, 0), "a-first");
    EXPECT_EQ(nameAt(key, 14), "k014");
    EXPECT_EQ(nameAt(second, 1), "k001");
    EXPECT_EQ(nameAt(key, 300), "-");
    EXPECT_EQ(nameAt(key, 299), "k299");
    registry->CloseKey(second);
    registry->CloseKey(key);
}

// Listing a key's values goes on from the last one instead of counting all
// before it again: 100,000 values take seconds, where the walk that counted
// took more than ten minutes. The bound is far above the one and far below
// the other. Changes in between are seen, as with subkeys.
TEST_F(SqliteRegistryTest, ListingValuesIsLinearAndFollowsChangesInBetween) {
    auto registry = Open();
    auto other = Open();
    HKEY key = 0;
    ASSERT_EQ(registry->CreateKey(HKEY_LOCAL_MACHINE, "Many", KEY_ALL_ACCESS, key), 0);
    constexpr std::uint32_t kValues = 100000;
    ASSERT_EQ(registry->Transaction(key,
                                    [&] {
                                        for (std::uint32_t i = 0; i < kValues; ++i) {
                                            if (const std::int32_t error = SetDword(
                                                    *registry, key, "v" + std::to_string(i), i)) {
                                                return error;
                                            }
                                        }
                                        return 0;
                                    }),
              0);
    const auto nameAt = [&](std::uint32_t index) {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        return registry->EnumValue(key, index, name, type, data) == 0 ? name : std::string("-");
    };
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t count = 0;
    for (std::string name; (name = nameAt(count)) != "-"; ++count) {
        ASSERT_EQ(name, "v" + std::to_string(count));  // in the order they were made
    }
    EXPECT_EQ(count, kValues);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));

    EXPECT_EQ(nameAt(10), "v10");
    HKEY otherKey = 0;
    ASSERT_EQ(other->OpenKey(HKEY_LOCAL_MACHINE, "Many", KEY_ALL_ACCESS, otherKey), 0);
    ASSERT_EQ(other->DeleteValue(otherKey, "v0"), 0);  // another process's change
    EXPECT_EQ(nameAt(11), "v12");                      // counted again
    EXPECT_EQ(registry->DeleteValue(key, "v1"), 0);    // this connection's change
    EXPECT_EQ(nameAt(12), "v14");
    EXPECT_EQ(nameAt(kValues), "-");
    other->CloseKey(otherKey);
    registry->CloseKey(key);
}

// Reads taken together see the hive as it was at their start, and hold no
// write: one would be stored by their end whatever became of it. A throw
// ends them and a write transaction alike, and a rollback leaves no
// enumeration going on from a name it took back.
TEST_F(SqliteRegistryTest, ReadsTogetherWritesAndRollbacksLeaveTheHiveSound) {
    auto registry = Open();
    auto other = Open();  // another connection, as another process has
    HKEY key = 0;
    ASSERT_EQ(registry->CreateKey(HKEY_CURRENT_USER, "App", KEY_ALL_ACCESS, key), 0);
    AddSubkeys(*registry, key, {"b", "c", "d"});
    const auto nameAt = [&](std::uint32_t index) {
        std::string name;
        return registry->EnumKey(key, index, name) == 0 ? name : std::string("-");
    };
    const auto stored = [&](const char* name) {
        std::uint32_t size = 0;
        HKEY app = 0;
        const bool found = other->OpenKey(HKEY_CURRENT_USER, "App", KEY_READ, app) == 0 &&
                           other->QueryValue(app, name, nullptr, nullptr, size) == 0;
        other->CloseKey(app);
        return found;
    };

    const auto count = [&] {
        std::uint32_t value = 0;
        std::uint32_t size = 4;
        static_cast<void>(registry->QueryValue(key, "Count", nullptr,
                                               reinterpret_cast<std::uint8_t*>(&value), size));
        return value;
    };
    HKEY theirs = 0;
    ASSERT_EQ(other->OpenKey(HKEY_CURRENT_USER, "App", KEY_ALL_ACCESS, theirs), 0);
    ASSERT_EQ(SetDword(*other, theirs, "Count", 1), 0);
    std::vector<std::uint32_t> counts;
    const auto writesAmongReads = [&] {
        counts.push_back(count());
        EXPECT_EQ(SetDword(*other, theirs, "Count", 2), 0);  // committed, not seen yet
        counts.push_back(count());
        EXPECT_EQ(SetDword(*registry, key, "Direct", 1), kErrorInvalidFunction);
        const auto partial = [&] { return SetDword(*registry, key, "Partial", 1); };
        EXPECT_EQ(registry->Transaction(HKEY_CURRENT_USER, partial), kErrorInvalidFunction);
        EXPECT_EQ(registry->DeleteTree(key, "b"), kErrorInvalidFunction);
        return nameAt(0) == "b" ? kErrorSuccess : kErrorDiskFull;
    };
    EXPECT_EQ(registry->ReadTogether(HKEY_CURRENT_USER, writesAmongReads), 0);
    counts.push_back(count());
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{1, 1, 2}));
    EXPECT_FALSE(stored("Direct"));
    EXPECT_FALSE(stored("Partial"));

    // Taken back: the enumeration counts again from the first name.
    const auto enumerateAndFail = [&] {
        EXPECT_EQ(registry->DeleteKey(key, "b"), 0);
        EXPECT_EQ(nameAt(0), "c");
        return kErrorDiskFull;
    };
    EXPECT_EQ(registry->Transaction(HKEY_CURRENT_USER, enumerateAndFail), kErrorDiskFull);
    EXPECT_EQ(nameAt(1), "c");

    // Thrown out of: the next write is a transaction of its own, seen by others.
    const auto readAndThrow = [&]() -> std::int32_t { throw std::runtime_error("read"); };
    const auto writeAndThrow = [&]() -> std::int32_t {
        EXPECT_EQ(SetDword(*registry, key, "Gone", 1), 0);
        throw std::runtime_error("write");
    };
    EXPECT_THROW(static_cast<void>(registry->ReadTogether(HKEY_CURRENT_USER, readAndThrow)),
                 std::runtime_error);
    EXPECT_THROW(static_cast<void>(registry->Transaction(HKEY_CURRENT_USER, writeAndThrow)),
                 std::runtime_error);
    EXPECT_FALSE(stored("Gone"));
    EXPECT_EQ(SetDword(*registry, key, "After", 1), 0);
    EXPECT_TRUE(stored("After"));
    EXPECT_EQ(SetDword(*other, theirs, "Theirs", 1), 0);
    other->CloseKey(theirs);
    registry->CloseKey(key);
}

// Two processes on one store: a handle that one still holds on a key the
// other deleted must not reach the key made next, even when that key would
// take the deleted one's place as the newest.
TEST_F(SqliteRegistryTest, AHandleOnADeletedKeyNeverReachesALaterKey) {
    auto holder = Open();
    HKEY stale = 0;
    ASSERT_EQ(holder->CreateKey(HKEY_CURRENT_USER, "Software\\A", KEY_ALL_ACCESS, stale), 0);
    {
        auto other = Open();
        ASSERT_EQ(other->DeleteTree(HKEY_CURRENT_USER, "Software\\A"), 0);
        AddSubkeys(*other, HKEY_CURRENT_USER, {"Software\\B"});
    }
    EXPECT_NE(SetText(*holder, stale, "v", "from A"), 0);
    holder->CloseKey(stale);
    ASSERT_EQ(holder->OpenKey(HKEY_CURRENT_USER, "Software\\B", KEY_ALL_ACCESS, stale), 0);
    std::uint32_t size = 0;
    EXPECT_EQ(holder->QueryValue(stale, "v", nullptr, nullptr, size), kErrorFileNotFound);
    holder->CloseKey(stale);
}

// A hive that cannot be opened for a moment (no file descriptor left) is an
// error, not a hive without keys, and a later call opens it.
TEST_F(SqliteRegistryTest, AHiveThatFailsToOpenIsTriedAgainAndNeverReadsAsEmpty) {
    {
        auto registry = Open();
        AddSubkeys(*registry, HKEY_LOCAL_MACHINE, {"Software\\Quorvix"});
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        posix::SqliteRegistry registry({dir.File("HKLM.db"), dir.File("HKCU.db")});
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit none{3, limit.rlim_max};
        setrlimit(RLIMIT_NOFILE, &none);
        HKEY key = 0;
        const std::int32_t first =
            registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key);
        setrlimit(RLIMIT_NOFILE, &limit);
        if (first == 0 || first == kErrorFileNotFound) {
            _exit(10 + (first == 0));
        }
        _exit(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key) == 0 ? 0
                                                                                            : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SqliteRegistryTest, ReadOnlyHiveAnswersWritesWithAccessDenied) {
    {
        auto registry = Open();
        HKEY key = 0;
        ASSERT_EQ(registry->CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_ALL_ACCESS, key),
                  0);
        ASSERT_EQ(SetDword(*registry, key, "CommonSet", 1), 0);
    }
    // No write bit for anyone: read-only even for root, whose access() ignores modes.
    ASSERT_EQ(chmod(dir.File("HKLM.db").c_str(), 0444), 0);
    auto registry = Open();
    HKEY key = 0;
    EXPECT_EQ(registry->CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_ALL_ACCESS, key),
              kErrorAccessDenied);
    EXPECT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_WRITE, key),
              kErrorAccessDenied);
    ASSERT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key), 0);
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    EXPECT_EQ(registry->QueryValue(key, "CommonSet", nullptr,
                                   reinterpret_cast<std::uint8_t*>(&value), size),
              0);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(registry->DeleteTree(HKEY_LOCAL_MACHINE, "Software"), kErrorAccessDenied);
    // The user hive is still writable.
    EXPECT_EQ(registry->CreateKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, key), 0);
}

TEST_F(SqliteRegistryTest, MissingReadOnlyHiveHasNoKeys) {
    ASSERT_EQ(mkdir(dir.File("ro").c_str(), 0555), 0);
    posix::SqliteRegistry registry({dir.File("ro/HKLM.db"), dir.File("HKCU.db")});
    HKEY key = 0;
    EXPECT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, key), kErrorFileNotFound);
    EXPECT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, key),
              kErrorAccessDenied);
}

// An installed machine hive (root's, 0644 in a 0755 folder) is read by every
// user, who keeps a hive of their own and may not write the machine's. The
// hive was made in WAL mode, as the store used to make them; the first
// writer to open it switches it to a journal its readers need not write.
TEST_F(SqliteRegistryTest, AnInstalledMachineHiveIsReadableByEveryUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another account";
    }
    const std::string machine = dir.File("machine");
    const std::string user = dir.File("user");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // our own folder, just made
    ASSERT_EQ(mkdir(machine.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(user.c_str(), 0700), 0);
    ASSERT_EQ(chown(user.c_str(), kNobody, kNobody), 0);
    {
        // Made as a user hive is: in WAL mode.
        posix::SqliteRegistry old({dir.File("unused.db"), machine + "/HKLM.db"});
        HKEY key = 0;
        ASSERT_EQ(old.CreateKey(HKEY_CURRENT_USER, "Software\\Quorvix", KEY_ALL_ACCESS, key), 0);
        ASSERT_EQ(SetDword(old, key, "CommonSet", 1), 0);
    }
    {
        posix::SqliteRegistry installer({machine + "/HKLM.db", dir.File("HKCU.db")});
        HKEY key = 0;
        ASSERT_EQ(installer.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key), 0);
    }
    ASSERT_EQ(chmod((machine + "/HKLM.db").c_str(), 0644), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(10);
        }
        posix::SqliteRegistry registry({machine + "/HKLM.db", user + "/HKCU.db"});
        HKEY key = 0;
        if (registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvix", KEY_READ, key) != 0) {
            _exit(11);
        }
        std::uint32_t value = 0;
        std::uint32_t size = 4;
        if (registry.QueryValue(key, "CommonSet", nullptr, reinterpret_cast<std::uint8_t*>(&value),
                                size) != 0 ||
            value != 1) {
            _exit(12);
        }
        if (SetDword(registry, key, "CommonSet", 0) != kErrorAccessDenied ||
            registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Other", KEY_ALL_ACCESS, key) !=
                kErrorAccessDenied) {
            _exit(13);
        }
        if (registry.CreateKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, key) != 0 ||
            SetDword(registry, key, "Mine", 7) != 0) {
            _exit(14);
        }
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10 identity, 11 open, 12 read, 13 write refused, 14 user hive";
    // Nothing of the reader's was left beside the machine hive.
    EXPECT_FALSE(std::filesystem::exists(machine + "/HKLM.db-shm"));
}

}  // namespace
}  // namespace vzrm
