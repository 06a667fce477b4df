// .reg files: what regedit and reg.exe write parses, export then import gives
// back the same tree, and malformed input names its line and changes nothing.
#include "formats/reg_file.h"

#include <gtest/gtest.h>

#include "platform/error_codes.h"
#include "platform/services.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace formats;
using namespace platform;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The store's form of a text: its bytes and the terminating zero.
std::vector<std::uint8_t> Text0(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> Utf16WithBom(const std::string& text) {
    return RegFileBytes(text);
}

// The value's type and bytes, or type REG_NONE when absent.
std::pair<std::uint32_t, std::vector<std::uint8_t>> Value(HKEY root, const std::string& path,
                                                          const std::string& name) {
    HKEY key = 0;
    if (Registry().OpenKey(root, path, KEY_READ, key) != 0) {
        return {REG_NONE, {}};
    }
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    if (Registry().QueryValue(key, name, &type, nullptr, size) == 0) {
        data.resize(size);
        EXPECT_EQ(Registry().QueryValue(key, name, nullptr, data.data(), size), 0);
    } else {
        type = REG_NONE;
    }
    Registry().CloseKey(key);
    return {type, data};
}

bool Import(const std::vector<std::uint8_t>& bytes, std::string& error) {
    std::vector<REG_FILE_CHANGE> changes;
    return ParseRegFile(bytes, changes, error) && ApplyRegFile(changes, error) == 0;
}

// Written by hand in the form Windows' regedit exports.
const char kRegedit[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvix\\VelmoraZRMAuditor]\r\n"
    "\"Path\"=\"C:\\\\Program Files\\\\Velmora \\\"ZRM\\\"\"\r\n"
    "@=\"default\"\r\n"
    "\"InstDateLastVer\"=hex:ea,07,03,00,06,00,0e,00,08,00,05,00,21,00,fa,00,01,02,03,\\\r\n"
    "  04,05,06\r\n"
    "\"Expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,\\\r\n"
    "  00,25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,c4,00,62,00,00,00,00,00\r\n"
    "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvix\\VelmoraZRMAuditor\\ProductVersion]\r\n"
    "\"MajorVer\"=dword:00000001\r\n"
    "\"NumbBuild\"=dword:0000019e\r\n";

TEST(RegFile, RegeditFilesInUtf16WithBomAreRead) {
    test::ScopedRegistry store;
    std::string error;
    ASSERT_TRUE(Import(Utf16WithBom(kRegedit), error)) << error;
    const std::string app = "Software\\Quorvix\\VelmoraZRMAuditor";
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, app, "path").second,
              Text0("C:\\Program Files\\Velmora \"ZRM\""));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, app, "").second, Text0("default"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, app, "InstDateLastVer").second.size(), 22u);
    const auto expand = Value(HKEY_LOCAL_MACHINE, app, "Expand");
    EXPECT_EQ(expand.first, REG_EXPAND_SZ);
    EXPECT_EQ(expand.second, Text0("%SystemRoot%"));
    const auto multi = Value(HKEY_LOCAL_MACHINE, app, "Multi");
    EXPECT_EQ(multi.first, REG_MULTI_SZ);
    EXPECT_EQ(multi.second, Bytes(std::string("a\0\xC3\x84"
                                              "b\0\0",
                                              7)));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, app, "Quad").first, 0xBu);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, app + "\\ProductVersion", "NumbBuild").second,
              (std::vector<std::uint8_t>{0x9E, 0x01, 0, 0}));
}

TEST(RegFile, ExportThenImportGivesBackTheSameTree) {
    test::ScopedRegistry store;
    std::string error;
    ASSERT_TRUE(Import(Bytes(kRegedit), error)) << error;  // plain UTF-8 works as well
    std::string first;
    ASSERT_EQ(ExportRegFile(HKEY_LOCAL_MACHINE, "Software\\Quorvix", first), 0);
    ASSERT_EQ(Registry().DeleteTree(HKEY_LOCAL_MACHINE, "Software"), 0);
    ASSERT_TRUE(Import(RegFileBytes(first), error)) << error;
    std::string second;
    ASSERT_EQ(ExportRegFile(HKEY_LOCAL_MACHINE, "Software\\Quorvix", second), 0);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find("\"Multi\"=hex(7):61,00,00,00,c4,00,62,00,00,00,00,00\r\n"),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("@=\"default\"\r\n"), std::string::npos);
}

TEST(RegFile, DeletionsOfKeysAndValues) {
    test::ScopedRegistry store;
    std::string error;
    ASSERT_TRUE(Import(Bytes(kRegedit), error));
    ASSERT_TRUE(Import(
        Bytes("Windows Registry Editor Version 5.00\r\n\r\n"
              "[-HKEY_LOCAL_MACHINE\\Software\\Quorvix\\VelmoraZRMAuditor\\ProductVersion]\r\n"
              "[HKLM\\Software\\Quorvix\\VelmoraZRMAuditor]\r\n"
              "\"Path\"=-\r\n"
              "[-HKEY_CURRENT_USER\\Software\\NeverThere]\r\n"),
        error))
        << error;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Quorvix\\VelmoraZRMAuditor", "Path").first,
              REG_NONE);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Quorvix\\VelmoraZRMAuditor", "").first, REG_SZ);
    HKEY key = 0;
    EXPECT_EQ(
        Registry().OpenKey(HKEY_LOCAL_MACHINE,
                           "Software\\Quorvix\\VelmoraZRMAuditor\\ProductVersion", KEY_READ, key),
        kErrorFileNotFound);
}

TEST(RegFile, MalformedInputNamesTheLineAndChangesNothing) {
    test::ScopedRegistry store;
    const std::pair<const char*, const char*> cases[] = {
        {"REGEDIT5\r\n", "line 1:"},
        {"Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n", "line 2: a value outside"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\X]\r\n", "line 2: unknown root"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"a\"=hex:1,2\r\n",
         "line 3: hex data"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"a\"=dword:123456789\r\n",
         "line 3: dword"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"a\"=hex:01,\\\r\n  02,zz\r\n",
         "line 3: hex"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"a\"\"b\"\r\n",
         "line 3: expected '='"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X\r\n", "line 2: a key name"},
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"unterminated=\"x\r\n", "line 3:"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        std::vector<REG_FILE_CHANGE> changes;
        EXPECT_FALSE(ParseRegFile(Bytes(text), changes, error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
        EXPECT_TRUE(changes.empty());
    }
    // A file whose first keys are fine but whose last line is not stores nothing.
    std::string error;
    EXPECT_FALSE(
        Import(Bytes("Windows Registry Editor Version 5.00\r\n[HKCU\\Good]\r\n\"a\"=dword:1\r\n"
                     "[HKCU\\Bad]\r\n\"b\"=hex(zz):00\r\n"),
               error));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Good", "a").first, REG_NONE);
}

TEST(RegFile, FailedApplyRollsBackBothHives) {
    test::ScopedRegistry store;
    std::string error;
    std::vector<REG_FILE_CHANGE> changes;
    ASSERT_TRUE(
        ParseRegFile(Bytes("Windows Registry Editor Version 5.00\r\n[HKCU\\A]\r\n\"a\"=dword:1\r\n"
                           "[HKLM\\B]\r\n\"b\"=dword:2\r\n"),
                     changes, error));
    REG_FILE_CHANGE broken = changes.back();
    broken.kind = REG_FILE_CHANGE::Kind::deleteKey;
    broken.path = "";  // the hive itself cannot be deleted
    changes.push_back(broken);
    EXPECT_NE(ApplyRegFile(changes, error), 0);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "A", "a").first, REG_NONE);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "B", "b").first, REG_NONE);
}

}  // namespace
}  // namespace vzrm
