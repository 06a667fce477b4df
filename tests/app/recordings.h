// Logs of recordings made at given seconds, and the rows of the reports that
// runs over them made: for tests of several runs whose reports together must
// hold every recording once.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/vzrmaud_fixture.h"

namespace vzrm::test {

// Recording i is opened, written and closed in the second times[i], with the
// classic event identifiers or the modern ones.
inline std::string Recordings(const std::vector<std::time_t>& times, bool classic = false) {
    const std::string open = classic ? "560" : "4656";
    const std::string write = classic ? "567" : "4663";
    const std::string close = classic ? "562" : "4658";
    std::string scenario;
    for (std::size_t i = 0; i < times.size(); ++i) {
        char time[32];
        std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&times[i]));
        const std::string common = std::string(R"("time":")") + time + R"(","handle":)" +
                                   std::to_string(i + 1) + R"(,"object":"D:\\Records\\take)" +
                                   std::to_string(i) + R"(.zrm")";
        scenario += R"({"id":)" + open + "," + common + R"(,"mask":"0x120089"})" + "\n";
        scenario += R"({"id":)" + write + "," + common + R"(,"mask":2})" + "\n";
        scenario += R"({"id":)" + close + "," + common + "}\n";
    }
    return scenario;
}

inline void WaitUntil(std::time_t when) {
    while (std::time(nullptr) < when) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The reports (ZRMAudit_*.csv) in a folder.
inline std::vector<std::string> ReportsIn(const std::string& folder) {
    std::vector<std::string> reports;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ZRMAudit_", 0) == 0 && entry.path().extension() == ".csv") {
            reports.push_back(entry.path().string());
        }
    }
    return reports;
}

// The rows of the reports; without their date and time when those were
// written in different zones.
inline std::multiset<std::string> ReportRows(const std::vector<std::string>& reports,
                                             bool withoutTime = false) {
    std::multiset<std::string> rows;
    const std::regex row(R"((\d{4}\.\d\d\.\d\d,\d\d:\d\d:\d\d,)([^\r]*))");
    for (const std::string& report : reports) {
        const std::string text = ReadText(report);
        for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
            rows.insert(withoutTime ? (*it)[2].str() : it->str());
        }
    }
    return rows;
}

}  // namespace vzrm::test
