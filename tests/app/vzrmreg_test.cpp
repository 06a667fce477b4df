// The store's command-line tool, run as a process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/temp_dir.h"

namespace vzrm {
namespace {

class Vzrmreg : public ::testing::Test {
  protected:
    test::CommandResult Run(const std::string& arguments) {
        return test::RunCommand("VZRM_REGISTRY_DIR='" + dir.Path().string() + "' VZRM_LOCK_DIR='" +
                                dir.File("locks") + "' " + VZRMREG_PATH + " " + arguments +
                                " 2>&1");
    }
    test::TempDir dir;
};

TEST_F(Vzrmreg, AddQueryExportDeleteImport) {
    EXPECT_EQ(Run(R"(add 'HKLM\Software\Q' /v Build /t REG_DWORD /d 414)").status, 0);
    EXPECT_EQ(Run(R"(add 'HKLM\Software\Q' /v Name /d 'Velmora ZRM')").status, 0);
    const test::CommandResult existing = Run(R"(add 'HKLM\Software\Q' /v Name /d other)");
    EXPECT_EQ(existing.status, 1);
    EXPECT_NE(existing.output.find("value \"Name\" exists"), std::string::npos) << existing.output;
    EXPECT_EQ(Run(R"(add 'HKLM\Software\Q' /v Name /d other /f)").status, 0);
    const test::CommandResult query = Run(R"(query 'HKLM\Software\Q')");
    EXPECT_EQ(query.status, 0);
    EXPECT_NE(query.output.find("    Build    REG_DWORD    0x19e\n"), std::string::npos)
        << query.output;
    EXPECT_NE(query.output.find("    Name    REG_SZ    other\n"), std::string::npos)
        << query.output;
    EXPECT_EQ(Run(R"(export 'HKLM\Software' ')" + dir.File("out.reg") + "'").status, 0);
    EXPECT_EQ(Run(R"(delete 'HKLM\Software' /f)").status, 0);
    const test::CommandResult gone = Run(R"(query 'HKLM\Software\Q')");
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.output.find(
                  "HKEY_LOCAL_MACHINE\\Software\\Q: The system cannot find the file specified."),
              std::string::npos)
        << gone.output;
    EXPECT_EQ(Run("import '" + dir.File("out.reg") + "'").status, 0);
    EXPECT_NE(Run(R"(query 'HKLM\Software\Q' /v Build)").output.find("0x19e"), std::string::npos);
}

TEST_F(Vzrmreg, BadInputGivesAClearMessageAndStatusOne) {
    test::WriteFile(dir.File("bad.reg"),
                    "Windows Registry Editor Version 5.00\n\n[HKCU\\X]\n\"a\"=hex:0g\n");
    const test::CommandResult bad = Run("import '" + dir.File("bad.reg") + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.output.find("line 4: hex data"), std::string::npos) << bad.output;
    EXPECT_NE(bad.output.find("nothing was changed"), std::string::npos);
    EXPECT_EQ(Run(R"(query 'HKU\X')").status, 1);
    EXPECT_EQ(Run(R"(add 'HKCU\X' /v n /t REG_DWORD /d twelve)").status, 1);
    EXPECT_EQ(Run(R"(delete 'HKCU\Missing' /v n /f)").status, 1);
    EXPECT_EQ(Run("frobnicate 'HKCU\\X'").status, 1);
}

// The pages after the four tables' first ones (the values as they grew)
// overwritten: the keys still open, their values cannot be read. That is an
// error, not an empty key.
TEST_F(Vzrmreg, ADamagedStoreIsAnErrorNotAnEmptyKey) {
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(Run("add 'HKCU\\Software\\K" + std::to_string(i) + "' /v Value /d " +
                      std::string(2000, 'x'))
                      .status,
                  0);
    }
    const std::string hive = dir.File("HKCU.db");
    std::vector<std::uint8_t> bytes = test::ReadBytes(hive);
    ASSERT_GT(bytes.size(), 10 * 4096u);
    std::fill(bytes.begin() + 5 * 4096, bytes.end(), std::uint8_t{0x5A});
    test::WriteBytes(hive, bytes);

    for (const std::string& command :
         {std::string("query 'HKCU' /s"), std::string("query 'HKCU\\Software\\K0'"),
          "export 'HKCU' '" + dir.File("out.reg") + "'"}) {
        SCOPED_TRACE(command);
        const test::CommandResult damaged = Run(command);
        EXPECT_NE(damaged.status, 0) << damaged.output;
        EXPECT_NE(damaged.output.find(": The data is invalid. (13)\n"), std::string::npos)
            << damaged.output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.reg")));
}

}  // namespace
}  // namespace vzrm
