// Audit reports as runs write them, from the records of a made-up site, for
// the tests of the history across reports.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "audit/audit_record.h"
#include "base/resource_text.h"
#include "report/report_row.h"

namespace vzrm::test {

// A report's text: start line, header, rows, and (when complete) the stop line.
inline std::string ReportText(const std::vector<AUDIT_RECORD>& records,
                              const std::string& separator, bool complete = true) {
    std::string text = FormatResource(58401, "14.03.2026 09:00:00") + "\r\n" +
                       ReportHeaderLine(separator) + "\r\n";
    CReportRowWriter writer(separator);
    for (const AUDIT_RECORD& record : records) {
        text += writer.Line(record);
    }
    if (complete) {
        text += "\r\n" + FormatResource(58403, "14.03.2026 09:00:01");
    }
    return text;
}

// Records of `recordings` files over some days, in time order: several users
// and programs, now and then two equal rows in one second.
inline std::vector<AUDIT_RECORD> SiteRecords(unsigned seed, int recordings, int perRecording) {
    static const char* const kUsers[] = {"operator", "RECSITE\\alice", "bob"};
    static const char* const kPrograms[] = {"C:\\Program Files\\Rec\\pramvoxe.exe",
                                            "C:\\Program Files\\Rec\\tulbenqa.exe",
                                            "C:\\Windows\\explorer.exe"};
    static const AUDIT_ACTION kMiddle[] = {ACTION_OPEN, ACTION_WRITE, ACTION_CLOSE};
    std::mt19937 random(seed);
    std::vector<AUDIT_RECORD> records;
    for (int n = 0; n < recordings; ++n) {
        std::int64_t time = 1773446400 + static_cast<std::int64_t>(random() % 86400);
        for (int step = 0; step < perRecording; ++step) {
            AUDIT_RECORD r;
            r.computer = "RECPC";
            r.user = kUsers[random() % 3];
            r.processName = kPrograms[random() % 3];
            r.objectName = "D:\\Records\\case" + std::to_string(n) + ".zrm";
            r.action = step == 0                  ? ACTION_CREATE
                       : step == perRecording - 1 ? ACTION_DELETE
                                                  : kMiddle[random() % 3];
            r.time = time;
            records.push_back(r);
            if (random() % 8 == 0) {
                records.push_back(r);  // the same access twice in one second
            }
            time += static_cast<std::int64_t>(random() % 20000);
        }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const AUDIT_RECORD& a, const AUDIT_RECORD& b) { return a.time < b.time; });
    return records;
}

}  // namespace vzrm::test
