// Logs archived beside the live one ("archive the log when full"): read first,
// in time order, each record once, when the run is asked to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>

#include "audit/read_records.h"
#include "audit/security_log_reader.h"
#include "base/error_info.h"
#include "support/fake_services.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/scoped_registry.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

// Ten records over a morning: a file created and closed, one opened and read
// whose events straddle the first archive's end, one created across the second
// archive's end, a delete, and logons in between.
const std::map<int, std::string> kEvents = {
    {1, R"("id":4656,"time":"2026-03-14T08:00:00Z","handle":"0x10","object":"D:\\R\\a.zrm")"},
    {2,
     R"("id":4663,"time":"2026-03-14T08:00:01Z","handle":"0x10","object":"D:\\R\\a.zrm","mask":2)"},
    {3, R"("id":4658,"time":"2026-03-14T08:00:02Z","handle":"0x10")"},
    {4, R"("id":4656,"time":"2026-03-14T08:30:00Z","handle":"0x14","object":"D:\\R\\b.zrm")"},
    {5,
     R"("id":4663,"time":"2026-03-14T08:30:01Z","handle":"0x14","object":"D:\\R\\b.zrm","mask":1)"},
    {6, R"("id":4658,"time":"2026-03-14T08:30:02Z","handle":"0x14")"},
    {7, R"("id":4656,"time":"2026-03-14T09:00:00Z","handle":"0x18","object":"D:\\R\\c.zrm")"},
    {8,
     R"("id":4663,"time":"2026-03-14T09:00:01Z","handle":"0x18","object":"D:\\R\\c.zrm","mask":2)"},
    {9, R"("id":4624,"time":"2026-03-14T09:10:00Z")"},
    {10, R"("id":4658,"time":"2026-03-14T09:20:00Z","handle":"0x18")"},
    {11,
     R"("id":4656,"time":"2026-03-14T09:30:00Z","handle":"0x1c","object":"D:\\R\\d.zrm","mask":"0x10000")"},
    {12, R"("id":4660,"time":"2026-03-14T09:30:00Z","handle":"0x1c")"},
    {13, R"("id":4624,"time":"2026-03-14T09:40:00Z")"},
};
constexpr std::int64_t k0800 = 1773475200;  // 2026-03-14 08:00:00 UTC
constexpr std::int64_t k0940 = k0800 + 6000;

// The scenario of records `first` to `last`, with their record numbers.
std::string Events(int first, int last) {
    std::string scenario;
    for (int n = first; n <= last; ++n) {
        scenario += "{\"record\":" + std::to_string(n) + "," + kEvents.at(n) + "}\n";
    }
    return scenario;
}

std::string Classic(std::string scenario) {
    for (const auto& [from, to] :
         {std::pair{"4656", "560"}, {"4663", "567"}, {"4658", "562"}, {"4660", "564"}}) {
        scenario = std::regex_replace(scenario, std::regex(std::string("\"id\":") + from),
                                      std::string("\"id\":") + to);
    }
    return scenario;
}

class ArchivedLogs : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        std::filesystem::create_directory(logs);
        std::filesystem::create_directory(whole);
    }

    // Writes a log in the format its name's extension says (".evtx" or ".evt").
    void Write(const std::string& path, const std::string& scenario) const {
        if (path.ends_with(".evt") || path.ends_with(".EVT")) {
            test::WriteEvt(path, Classic(scenario));
        } else {
            test::WriteEvtx(path, scenario);
        }
    }

    struct Result {
        int read = 0;
        std::vector<AUDIT_RECORD> records;
        std::int64_t latest = 0;
        std::int64_t oldest = 0;
    };
    Result Read(const std::string& live, bool archives, const CLocalDateTime& start = {}) {
        test::ScopedEnv log("VZRM_SECURITY_LOG", live.c_str());
        Result result;
        CSecurityLogReader probe;
        probe.SetReadArchives(archives);
        LocalDateTimeToInstant(probe.GetOldestEventTime(), result.oldest);
        g_errorInfo.Clear();
        CSecurityLogReader reader;
        reader.SetReadArchives(archives);
        EXPECT_TRUE(reader.OpenReader());
        result.read = reader.ReadPeriod(start, {});
        result.latest = reader.LatestEventTime();
        result.records = reader.TakeRecords();
        return result;
    }
    // The same events as one log that never rolled over.
    Result Unbroken(const std::string& extension, const CLocalDateTime& start = {}) {
        const std::string path = (whole / ("Security" + extension)).string();
        Write(path, Events(1, 13));
        return Read(path, false, start);
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    std::filesystem::path logs = store.Dir().Path() / "logs";
    std::filesystem::path whole = store.Dir().Path() / "whole";
};

std::string Archive(const char* stamp, const std::string& extension) {
    return std::string("Archive-Security-") + stamp + extension;
}

TEST_F(ArchivedLogs, WithTheOptionTheArchivesAndTheLiveLogReadAsOneLog) {
    for (const std::string extension : {".evtx", ".evt"}) {
        SCOPED_TRACE(extension);
        // Written newest first: the names, not the order in the folder, say which
        // is older. Names are compared ignoring case, as Windows does.
        std::string upper = extension;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        Write((logs / ("archive-security-2026-03-14-09-00-00-500" + upper)).string(), Events(5, 7));
        Write((logs / Archive("2026-03-14-08-45-00-000", extension)).string(), Events(1, 4));
        Write((logs / ("Security" + extension)).string(), Events(8, 13));
        // Not archives of this log: another channel, a name that is not a stamp.
        Write((logs / ("Archive-Application-2026-03-14-07-00-00-000" + extension)).string(),
              Events(11, 12));
        test::WriteFile((logs / ("Archive-Security-latest" + extension)).string(), "not a log");
        Write((logs / Archive("2026-03-14-07-00-00-00", extension)).string(),
              std::regex_replace(Events(11, 12), std::regex("\"record\":1"), "\"record\":9"));

        const Result unbroken = Unbroken(extension);
        // a Create, an Open and a Create with their Closes, and a Delete
        ASSERT_EQ(unbroken.records.size(), 7u);
        const Result read = Read((logs / ("Security" + extension)).string(), true);
        EXPECT_EQ(read.read, 1) << g_errorInfo.Render();
        EXPECT_EQ(read.records, unbroken.records);
        EXPECT_EQ(read.latest, k0940);
        EXPECT_EQ(read.oldest, k0800);

        // A period that starts in the second archive keeps what the whole log keeps.
        const CLocalDateTime start = InstantToLocalDateTime(k0800 + 1800);
        EXPECT_EQ(Read((logs / ("Security" + extension)).string(), true, start).records,
                  Unbroken(extension, start).records);
        std::filesystem::remove_all(logs);
        std::filesystem::create_directory(logs);
    }
}

TEST_F(ArchivedLogs, WithoutTheOptionOnlyTheLiveLogIsRead) {
    Write((logs / Archive("2026-03-14-08-45-00-000", ".evtx")).string(), Events(1, 7));
    Write((logs / "Security.evtx").string(), Events(8, 13));
    Write((whole / "Security.evtx").string(), Events(8, 13));
    const Result alone = Read((whole / "Security.evtx").string(), false);
    const Result read = Read((logs / "Security.evtx").string(), false);
    EXPECT_EQ(read.read, 1);
    EXPECT_EQ(read.records, alone.records);
    // The write on c.zrm after its archived Open is reported as it is today.
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].action, ACTION_WRITE);
    EXPECT_EQ(read.records[1].action, ACTION_DELETE);
    // The loss check sees only the live log's oldest event.
    EXPECT_EQ(read.oldest, k0800 + 3601);
}

TEST_F(ArchivedLogs, ARecordInAnArchiveAndInTheLiveLogCountsOnce) {
    Write((logs / Archive("2026-03-14-08-40-00-000", ".evtx")).string(), Events(1, 5));
    Write((logs / Archive("2026-03-14-09-05-00-000", ".evtx")).string(), Events(4, 8));
    Write((logs / "Security.evtx").string(), Events(7, 13));
    const Result read = Read((logs / "Security.evtx").string(), true);
    EXPECT_EQ(read.read, 1) << g_errorInfo.Render();
    EXPECT_EQ(read.records, Unbroken(".evtx").records);
    EXPECT_EQ(read.latest, k0940);
}

TEST_F(ArchivedLogs, ArchivesAreReadOnlyFromAFolderNoOneElseMayWrite) {
    Write((logs / Archive("2026-03-14-08-45-00-000", ".evtx")).string(), Events(1, 7));
    Write((logs / "Security.evtx").string(), Events(8, 13));
    // A link in the folder is not followed, whatever it points to.
    Write((whole / "planted.evtx").string(),
          std::regex_replace(Events(11, 12), std::regex("\"record\":1"), "\"record\":9"));
    std::filesystem::create_symlink(whole / "planted.evtx",
                                    logs / Archive("2026-03-14-07-00-00-000", ".evtx"));
    EXPECT_EQ(Read((logs / "Security.evtx").string(), true).records, Unbroken(".evtx").records);

    // In a folder that others may write, an archive could be forged: the run
    // fails and names the folder.
    ASSERT_EQ(::chmod(logs.c_str(), 0777), 0);
    const Result refused = Read((logs / "Security.evtx").string(), true);
    EXPECT_EQ(refused.read, -1);
    EXPECT_EQ(g_errorInfo.GetPoints(), "KWMBQDHTRZAXLEV");
    EXPECT_EQ(g_errorInfo.GetCode(), 5);
    EXPECT_NE(g_errorInfo.GetExt().find(logs.string()), std::string::npos);
    EXPECT_EQ(refused.oldest, k0800 + 3601);  // the loss check reads the live log alone
    g_errorInfo.Clear();
    EXPECT_EQ(Read((logs / "Security.evtx").string(), false).read, 1);
}

TEST_F(ArchivedLogs, AnArchiveThatCannotBeReadFailsTheRunNamingIt) {
    const std::string broken = (logs / Archive("2026-03-14-08-45-00-000", ".evtx")).string();
    test::WriteFile(broken, "ElfFile");  // the signature, then nothing
    Write((logs / "Security.evtx").string(), Events(8, 13));
    const Result read = Read((logs / "Security.evtx").string(), true);
    EXPECT_EQ(read.read, -1);
    EXPECT_NE(g_errorInfo.GetPoints().find("FJXQTNMWPLRGDCE"), std::string::npos)
        << g_errorInfo.GetPoints();
    EXPECT_NE(g_errorInfo.GetExt().find(broken), std::string::npos);
}

TEST(ReadRecords, EachComputerAndNumberIsSeenOnce) {
    CReadRecords seen;
    for (const std::uint64_t n : {5u, 3u, 4u, 10u, 8u, 9u, 1u}) {
        EXPECT_TRUE(seen.FirstSight("PC1", n)) << n;
    }
    for (const std::uint64_t n : {1u, 3u, 4u, 5u, 8u, 9u, 10u}) {
        EXPECT_FALSE(seen.FirstSight("pc1", n)) << n;  // the computer ignoring case
    }
    for (const std::uint64_t n :
         {std::uint64_t{2}, std::uint64_t{6}, std::uint64_t{7}, std::uint64_t{11}, UINT64_MAX}) {
        EXPECT_TRUE(seen.FirstSight("PC1", n)) << n;
        EXPECT_FALSE(seen.FirstSight("PC1", n)) << n;
    }
    EXPECT_TRUE(seen.FirstSight("PC2", 5));
    seen.Clear();
    EXPECT_TRUE(seen.FirstSight("PC1", 5));
}

}  // namespace
}  // namespace vzrm
