// Seal lines, the summary's blocks and the check of a folder against its
// seal, over folders made here: what each change is named, and bad seal
// files that are checked as far as they can be, never a crash.
#include "report/seal_verify.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "report/report_seal.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

TEST(SealLine, ALineGoesBothWaysAndItsSignatureCoversItsFields) {
    platform::SealSigningKey key;
    ASSERT_TRUE(platform::MakeSealKey(key));
    SEAL_LINE line;
    line.runStart = "2026-03-14T09:05:33";
    line.report = "ZRMAudit_20260314_090533.csv";
    line.reportDigest = platform::Sha256Hex("report");
    line.blockDigest = platform::Sha256Hex("block");
    line.previous = kNoPreviousLine;
    const std::string text = SealLineText(line, key);
    EXPECT_EQ(text.rfind("VZRMSEAL1\t2026-03-14T09:05:33\tZRMAudit_20260314_090533.csv\t", 0), 0u);
    SEAL_LINE read;
    std::string why;
    ASSERT_TRUE(ParseSealLine(text, read, why)) << why;
    EXPECT_EQ(read.report, line.report);
    EXPECT_EQ(read.fingerprint, key.publicKey.Fingerprint());
    EXPECT_TRUE(platform::SealSignatureValid(key.publicKey, SealSignedPart(read), read.signature));
    read.blockDigest = platform::Sha256Hex("another block");
    EXPECT_FALSE(platform::SealSignatureValid(key.publicKey, SealSignedPart(read), read.signature));

    // A run without a report.
    line.report.clear();
    const std::string none = SealLineText(line, key);
    EXPECT_NE(none.find("\t-\t-\t"), std::string::npos) << none;
    ASSERT_TRUE(ParseSealLine(none, read, why)) << why;
    EXPECT_TRUE(read.report.empty());
    EXPECT_TRUE(read.reportDigest.empty());

    std::string upper = text;
    upper[text.size() - 1] = 'A';
    for (const std::string& bad :
         {std::string(), std::string("VZRMSEAL1"), text + "\tmore", "VZRMSEAL2" + text.substr(9),
          text.substr(0, text.size() - 1), std::string(kMaxSealLine + 1, 'A'), upper,
          text.substr(0, 10) + "2026-3-14T09:05:33" + text.substr(29)}) {
        EXPECT_FALSE(ParseSealLine(bad, read, why)) << bad;
    }
}

TEST(SummaryBlocks, BlocksEndWithTheLineOfDashesWhereverThePiecesEnd) {
    const std::string summary =
        "Start of processing: 1\r\nProcessed events: 3\r\n------------------------------\r\n"
        "Start of processing: 2\r\n-------------------------------\r\n"  // 31 dashes: no end
        "------------------------------\r\n"
        "Start of processing: 3\r\ncut short";
    CSummaryBlocks whole;
    whole.Add(summary);
    whole.Finish();
    ASSERT_EQ(whole.Blocks().size(), 3u);
    EXPECT_EQ(whole.Blocks()[0].firstLine, "Start of processing: 1");
    EXPECT_EQ(whole.Blocks()[0].digest,
              platform::Sha256Hex("Start of processing: 1\r\nProcessed events: 3\r\n"
                                  "------------------------------\r\n"));
    EXPECT_EQ(whole.Blocks()[2].digest, platform::Sha256Hex("Start of processing: 3\r\ncut short"));
    CSummaryBlocks bytes;
    for (const char c : summary) {
        bytes.Add(std::string_view(&c, 1));
    }
    bytes.Finish();
    ASSERT_EQ(bytes.Blocks().size(), 3u);
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(bytes.Blocks()[n].digest, whole.Blocks()[n].digest);
        EXPECT_EQ(bytes.Blocks()[n].firstLine, whole.Blocks()[n].firstLine);
    }
    CSummaryBlocks empty;
    empty.Finish();
    EXPECT_TRUE(empty.Blocks().empty());
}

// A reports folder written as runs write it: a block and a seal line per
// run, a report for some.
class SealedFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeSealKey(key));
        trusted.push_back({key.publicKey, "seal.pub"});
    }

    // A run at 2026-03-14 HH:00:00 sealed (or not) into the folder.
    void AddRun(int hour, bool withReport, bool sealed = true) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "20260314_%02d0000", hour);
        char start[32];
        std::snprintf(start, sizeof start, "2026-03-14T%02d:00:00", hour);
        const std::string block = "Start of processing: " + std::string(start) +
                                  "\r\nProcessed events: 1\r\n------------------------------\r\n";
        SEAL_LINE line;
        line.runStart = start;
        if (withReport) {
            line.report = "ZRMAudit_" + std::string(stamp) + ".csv";
            const std::string report = "report of " + std::string(start) + "\r\n";
            test::WriteFile(dir.File(line.report), report);
            line.reportDigest = platform::Sha256Hex(report);
        }
        summary += block;
        test::WriteFile(dir.File("_ZRMAudit_summary.txt"), summary);
        if (!sealed) {
            return;
        }
        line.blockDigest = platform::Sha256Hex(block);
        line.previous = previous;
        const std::string text = SealLineText(line, key);
        previous = platform::Sha256Hex(text);
        seal += text + "\n";
        test::WriteFile(dir.File("_ZRMAudit_seal.txt"), seal);
    }

    SEAL_CHECK Check() {
        items.clear();
        listing.clear();
        const SEAL_CHECK check =
            VerifySealedFolder(dir.Path().string(), trusted, [&](const SEAL_ITEM& item) {
                items.push_back(item);
                listing += std::string(SealStatusText(item.status)) + "\t" + item.kind + "\t" +
                           item.name + "\t" + item.detail + "\n";
            });
        return check;
    }
    // The statuses of one kind, in the order they were listed: "ok ok changed".
    std::string Statuses(const std::string& kind) const {
        std::string statuses;
        for (const SEAL_ITEM& item : items) {
            if (item.kind == kind) {
                statuses +=
                    (statuses.empty() ? "" : ",") + std::string(SealStatusText(item.status));
            }
        }
        return statuses;
    }

    test::TempDir dir;
    platform::SealSigningKey key;
    std::vector<platform::TrustedSealKey> trusted;
    std::string summary, seal, previous = kNoPreviousLine;
    std::vector<SEAL_ITEM> items;
    std::string listing;
};

TEST_F(SealedFolder, AnIntactFolderVerifiesAndUnsealedRunsBeforeSealingDoNotFail) {
    AddRun(1, true, false);  // before sealing began
    AddRun(2, false, false);
    AddRun(3, true);
    AddRun(4, false);
    AddRun(5, true);
    const SEAL_CHECK check = Check();
    EXPECT_TRUE(check.Intact()) << listing;
    EXPECT_EQ(Statuses("seal line"), "ok,ok,ok") << listing;
    EXPECT_EQ(Statuses("report"), "unsealed (before sealing),ok,ok") << listing;
    EXPECT_EQ(Statuses("summary block"),
              "unsealed (before sealing),unsealed (before sealing),ok,ok,ok")
        << listing;
    EXPECT_EQ(check.Items(), 11u);
    EXPECT_EQ(check.Count(SealStatus::ok), 8u);
}

TEST_F(SealedFolder, EachChangeIsFoundAndNamed) {
    for (int hour = 1; hour <= 4; ++hour) {
        AddRun(hour, hour != 2);
    }
    ASSERT_TRUE(Check().Intact()) << listing;
    const std::string sealText = seal;
    const std::string summaryText = summary;

    // A block changed, one removed, one put in.
    std::string changed = summaryText;
    changed.replace(changed.find("Processed events: 1", 60), 19, "Processed events: 0");
    test::WriteFile(dir.File("_ZRMAudit_summary.txt"), changed);
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("summary block"), "ok,changed,ok,ok") << listing;
    const std::size_t second = summaryText.find("Start of processing: 2026-03-14T02");
    const std::size_t third = summaryText.find("Start of processing: 2026-03-14T03");
    test::WriteFile(dir.File("_ZRMAudit_summary.txt"),
                    summaryText.substr(0, second) + summaryText.substr(third));
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("summary block"), "ok,missing,ok,ok") << listing;
    test::WriteFile(dir.File("_ZRMAudit_summary.txt"),
                    summaryText.substr(0, third) +
                        "Start of processing: forged\r\n------------------------------\r\n" +
                        summaryText.substr(third));
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("summary block"), "ok,ok,inserted,ok,ok") << listing;
    test::WriteFile(dir.File("_ZRMAudit_summary.txt"), summaryText);

    // Seal lines removed, moved, or changed without the key.
    std::vector<std::string> lines;
    std::istringstream in(sealText);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 4u);
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"),
                    lines[0] + "\n" + lines[2] + "\n" + lines[3] + "\n");
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal line"), "ok,broken chain,ok") << listing;
    EXPECT_EQ(Statuses("summary block"), "ok,inserted,ok,ok") << listing;
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"),
                    lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n");
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal line"), "broken chain,ok,ok") << listing;
    // Without the first line nothing is from before sealing: the first run's
    // report and block were sealed once.
    EXPECT_EQ(Statuses("report"), "unsealed,ok,ok") << listing;
    EXPECT_EQ(Statuses("summary block"), "inserted,ok,ok,ok") << listing;
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"),
                    lines[0] + "\n" + lines[2] + "\n" + lines[1] + "\n" + lines[3] + "\n");
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal line"), "ok,broken chain,broken chain,broken chain") << listing;
    std::string rehashed = lines[0];
    const std::string report = "ZRMAudit_20260314_010000.csv";
    test::WriteFile(dir.File(report), "report of someone else\r\n");
    const std::size_t digest = rehashed.find(report) + report.size() + 1;
    rehashed.replace(digest, 64, platform::Sha256Hex("report of someone else\r\n"));
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"),
                    rehashed + "\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n");
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal line"), "broken chain,broken chain,ok,ok") << listing;
    EXPECT_NE(listing.find("broken chain\tseal line\t1\tits signature does not match"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("unsealed\treport\t" + report), std::string::npos) << listing;
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"), sealText);

    // A report changed by one byte, removed, added.
    EXPECT_FALSE(Check().Intact());
    EXPECT_NE(listing.find("changed\treport\t" + report +
                           "\tits SHA-256 is not the one seal line 1 holds"),
              std::string::npos)
        << listing;
    test::WriteFile(dir.File(report), "report of 2026-03-14T01:00:00\r\n");
    EXPECT_TRUE(Check().Intact()) << listing;
    std::filesystem::remove(dir.File("ZRMAudit_20260314_030000.csv"));
    EXPECT_FALSE(Check().Intact());
    EXPECT_NE(listing.find("missing\treport\tZRMAudit_20260314_030000.csv\tnamed by seal line 3"),
              std::string::npos)
        << listing;
    test::WriteFile(dir.File("ZRMAudit_20260314_030000.csv"), "report of 2026-03-14T03:00:00\r\n");
    test::WriteFile(dir.File("ZRMAudit_20260314_023000.csv"), "forged\r\n");
    EXPECT_FALSE(Check().Intact());
    EXPECT_NE(listing.find("unsealed\treport\tZRMAudit_20260314_023000.csv\tno seal line names it"),
              std::string::npos)
        << listing;
    std::filesystem::remove(dir.File("ZRMAudit_20260314_023000.csv"));
    EXPECT_TRUE(Check().Intact()) << listing;
}

TEST_F(SealedFolder, ADamagedSealIsCheckedAsFarAsItCanBe) {
    AddRun(1, true);
    AddRun(2, true);
    AddRun(3, false);
    const std::string sealText = seal;
    const std::size_t third = sealText.find("\nVZRMSEAL1", sealText.find("\nVZRMSEAL1") + 1) + 1;
    struct Case {
        std::string seal;
        std::string lines;
    };
    const Case cases[] = {
        // Cut short in its last line.
        {sealText.substr(0, sealText.size() - 40), "ok,ok,broken chain"},
        // A line far too long, binary bytes, an empty line, a stranger's line.
        {sealText + std::string(100000, 'A') + "\n", "ok,ok,ok,broken chain"},
        {sealText.substr(0, third) + std::string("\x01\xff\x00zz\n", 6) + sealText.substr(third),
         "ok,ok,broken chain,broken chain"},
        {sealText.substr(0, third) + "\n" + sealText.substr(third),
         "ok,ok,broken chain,broken chain"},
        {"VZRMSEAL1\t2026-03-14T00:00:00\t-\t-\t" + std::string(64, 'a') + "\t" + kNoPreviousLine +
             "\t" + std::string(64, 'b') + "\t" + std::string(128, 'c') + "\n" + sealText,
         "broken chain,broken chain,ok,ok"},
        {std::string("\n\n\n"), "broken chain,broken chain,broken chain"},
    };
    for (const Case& c : cases) {
        test::WriteFile(dir.File("_ZRMAudit_seal.txt"), c.seal);
        const SEAL_CHECK check = Check();
        EXPECT_TRUE(check.readable);
        EXPECT_FALSE(check.Intact()) << listing;
        EXPECT_EQ(Statuses("seal line"), c.lines) << listing;
    }
    // No seal at all: nothing is proven.
    std::filesystem::remove(dir.File("_ZRMAudit_seal.txt"));
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal file"), "missing") << listing;
    EXPECT_EQ(Statuses("report"), "unsealed (before sealing),unsealed (before sealing)") << listing;
    // A key verify was not given.
    test::WriteFile(dir.File("_ZRMAudit_seal.txt"), sealText);
    platform::SealSigningKey other;
    ASSERT_TRUE(platform::MakeSealKey(other));
    trusted = {{other.publicKey, "other.pub"}};
    EXPECT_FALSE(Check().Intact());
    EXPECT_EQ(Statuses("seal line"), "broken chain,broken chain,broken chain") << listing;
    EXPECT_NE(listing.find("signed by a key that is not trusted here"), std::string::npos)
        << listing;
    // A folder that is not there cannot be read.
    const SEAL_CHECK none = VerifySealedFolder(dir.File("none"), trusted, [](const SEAL_ITEM&) {});
    EXPECT_FALSE(none.readable);
    EXPECT_FALSE(none.Intact());
}

}  // namespace
}  // namespace vzrm
