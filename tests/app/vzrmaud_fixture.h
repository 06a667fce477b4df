// The built vzrmaud as a process: an installed store in a temporary folder,
// logs written by the project's writers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline constexpr char kScenario[] = R"({"id":4624,"time":"2026-03-14T08:05:30Z"}
{"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4"}
{"id":4656,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","object":"D:\\Records\\old.zrm","mask":"0x10000"}
{"id":4660,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
{"id":4658,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
)";

class Vzrmaud : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path system = dir.Path() / "Windows" / "system32";
        std::filesystem::create_directories(system);
        for (const char* file : {"security.mc", "parameters.mc", "auditing.mc"}) {
            std::filesystem::copy_file(std::string(VZRM_SOURCE_DIR) + "/resources/messages/" + file,
                                       system / file);
        }
        std::filesystem::create_directories(reports);
        test::WriteEvtx(dir.File("Security.evtx"), kScenario);
    }

    void Install() {
        std::string record =
            ReadText(std::string(VZRM_SOURCE_DIR) + "/resources/install/installation.reg.in");
        for (const auto& [from, to] :
             {std::pair{"@INSTALL_DIR@", dir.File("bin")},
              {"@INSTALL_DATE@", "ea,07,03,00,06,00,0e,00,08,00,00,00,00,00,00,00"},
              {"@COMMON_REG@", "00000001"},
              {"@COMMON_SET@", "00000000"},
              {"@SET_ACCESS@", "00000001"}}) {
            record = std::regex_replace(record, std::regex(from), to);
        }
        test::WriteFile(dir.File("record.reg"), record);
        ASSERT_EQ(
            Run(std::string(VZRMREG_PATH) + " import '" + dir.File("record.reg") + "'").status, 0);
    }

    // Without a display unless one is named.
    test::CommandResult Run(const std::string& command, const std::string& log = "",
                            const std::string& display = "") {
        const std::string session = display.empty() ? "-u DISPLAY" : "DISPLAY='" + display + "'";
        return test::RunCommand(
            "env -u WAYLAND_DISPLAY " + session + " TZ=UTC LANG=C.UTF-8 LC_ALL= SystemRoot='" +
            dir.File("Windows") + "' VZRM_REGISTRY_DIR='" + dir.File("store") +
            "' VZRM_LOCK_DIR='" + dir.File("locks") + "' VZRM_APPLICATION_LOG='" +
            dir.File("application.log") + "' VZRM_SECURITY_LOG='" +
            (log.empty() ? dir.File("Security.evtx") : log) + "' " + command + " 2>&1");
    }
    // `environment`: assignments ("NAME='value' ") that replace the fixture's.
    test::CommandResult Audit(const std::string& arguments, const std::string& log = "",
                              const std::string& environment = "") {
        return Run(environment + VZRMAUD_PATH + " " + arguments, log);
    }
    // The OLE value of a date the last run stored in the user's options.
    double StoredDate(const std::string& name) {
        const test::CommandResult query =
            Run(std::string(VZRMREG_PATH) +
                " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options' "
                "/v " +
                name);
        std::smatch found;
        // The framed value ends with the eight bytes of the double.
        if (!std::regex_search(query.output, found,
                               std::regex("REG_BINARY +[0-9A-F]*([0-9A-F]{16})"))) {
            ADD_FAILURE() << query.output;
            return 0;
        }
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) {
            bytes[i] =
                static_cast<std::uint8_t>(std::stoul(found[1].str().substr(2 * i, 2), nullptr, 16));
        }
        double value = 0;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    static double OleNow() { return 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0; }
    std::vector<std::string> ReportFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(reports)) {
            if (entry.path().filename().string().rfind("ZRMAudit_", 0) == 0) {
                names.push_back(entry.path().string());
            }
        }
        return names;
    }

    test::TempDir dir;
    std::string reports = dir.File("reports");
};

}  // namespace vzrm
