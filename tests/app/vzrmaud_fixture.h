// The built vzrmaud as a process: an installed store in a temporary folder,
// logs written by the project's writers, reports checked byte for byte.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/log_files.h"
#include "support/site_scenario.h"
#include "support/temp_dir.h"

namespace vzrm {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using test::kScenario;

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

    void Install(const char* commonSet = "00000000") {
        std::string record =
            ReadText(std::string(VZRM_SOURCE_DIR) + "/resources/install/installation.reg.in");
        for (const auto& [from, to] :
             {std::pair{"@INSTALL_DIR@", dir.File("bin")},
              {"@INSTALL_DATE@", "ea,07,03,00,06,00,0e,00,08,00,00,00,00,00,00,00"},
              {"@COMMON_REG@", "00000001"},
              {"@COMMON_SET@", commonSet},
              {"@SET_ACCESS@", "00000001"}}) {
            record = std::regex_replace(record, std::regex(from), to);
        }
        test::WriteFile(dir.File("record.reg"), record);
        // The installer runs as root.
        const test::CommandResult imported = Run(
            std::string(VZRMREG_PATH) + " import '" + dir.File("record.reg") + "'", "", "", false);
        ASSERT_EQ(imported.status, 0) << imported.output;
    }

    // The command with the test's environment, without a display unless one
    // is named; as the account nobody after BecomeNobody().
    std::string Command(const std::string& command, const std::string& log = "",
                        const std::string& display = "", bool asUser = true) const {
        const std::string session = display.empty() ? "-u DISPLAY" : "DISPLAY='" + display + "'";
        // The installer (root) has a home of its own.
        const std::string home = asUser ? Home() : dir.File("root");
        const std::string store = nobody_ ? "-u VZRM_REGISTRY_DIR VZRM_MACHINE_REGISTRY_DIR='" +
                                                dir.File("machine") + "' HOME='" + home +
                                                "' XDG_CONFIG_HOME='" + home + "/.config'"
                                          : "VZRM_REGISTRY_DIR='" + dir.File("store") + "'";
        return "env -u WAYLAND_DISPLAY " + session + " " + store +
               " TZ=UTC LANG=C.UTF-8 LC_ALL= SystemRoot='" + dir.File("Windows") +
               "' VZRM_LOCK_DIR='" + Locks() + "' VZRM_APPLICATION_LOG='" + ApplicationLog() +
               "' VZRM_SECURITY_LOG='" + (log.empty() ? dir.File("Security.evtx") : log) + "' " +
               (nobody_ && asUser ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
               command;
    }
    test::CommandResult Run(const std::string& command, const std::string& log = "",
                            const std::string& display = "", bool asUser = true) {
        return test::RunCommand(Command(command, log, display, asUser) + " 2>&1");
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

    // From now on the program runs as the account nobody, as an ordinary user
    // of an installation: the machine hive root's (0644 in a 0755 folder),
    // the user's hive, reports, locks and log in a home of their own.
    void BecomeNobody() {
        nobody_ = true;
        ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // our own folder, just made
        ASSERT_EQ(mkdir(dir.File("machine").c_str(), 0755), 0);
        for (const std::string& folder : {Home(), Home() + "/reports", Locks()}) {
            ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
            ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        }
        reports = Home() + "/reports";
    }
    std::string Home() const { return dir.File("home"); }
    std::string Locks() const { return nobody_ ? Home() + "/locks" : dir.File("locks"); }
    std::string ApplicationLog() const {
        return nobody_ ? Home() + "/application.log" : dir.File("application.log");
    }
    std::string Summary() const { return ReadText(reports + "/_ZRMAudit_summary.txt"); }

    test::TempDir dir;
    std::string reports = dir.File("reports");
    bool nobody_ = false;
};

// An X display whose socket listens while the object lives: enough for the
// start-up to count the session as interactive.
class LiveDisplay {
  public:
    LiveDisplay() : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        // The first free display number from one of this process's own.
        for (number_ = 3000 + getpid() % 20000; number_ < 30000; ++number_) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number_);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, path.data(), path.size());  // abstract
            const auto length =
                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
            if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
                break;
            }
        }
        EXPECT_EQ(listen(fd_, 8), 0);
    }
    ~LiveDisplay() { close(fd_); }
    std::string Name() const { return ":" + std::to_string(number_); }

  private:
    int number_ = 0;
    int fd_;
};

}  // namespace vzrm
