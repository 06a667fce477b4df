#include "platform/posix/sqlite_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/error_codes.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

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
    for (const char* sub : {"beta", "Alpha", "gamma"}) {
        HKEY child = 0;
        ASSERT_EQ(registry->CreateKey(key, sub, KEY_ALL_ACCESS, child), 0);
        registry->CloseKey(child);
    }
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

}  // namespace
}  // namespace vzrm
