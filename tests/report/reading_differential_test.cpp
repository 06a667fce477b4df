// The whole reading path (log file, message texts, accounts, interpretation)
// over generated logs of many seeds, in both formats, against a recorded
// digest of the records it gave before the path was made faster. Any change
// to what the reader gives for these logs shows here, byte for byte; and the
// same events with pointer-sized handle and process IDs give the same records.
//
// After a deliberate change of output, print the new digests with
// VZRM_PRINT_READ_DIGESTS=1 and record them below.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audit/event_fields.h"
#include "audit/event_generator.h"
#include "audit/security_log_reader.h"
#include "base/error_info.h"
#include "formats/message_fields.h"
#include "platform/calendar.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "report/json_text.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

struct Recorded {
    std::uint64_t seed;
    std::uint64_t modern;
    std::uint64_t classic;
};

// Digests of the records, by seed, as the reader gave them.
const Recorded kRecorded[] = {
    {1, 0x2e1567323532267dull, 0x8bcb6299c1eca476ull},
    {2, 0x153610b325750087ull, 0x8b26a5f506e1f811ull},
    {3, 0xc3e629dd73437517ull, 0xeb3b14f59b8ebb9cull},
    {4, 0xb18abeb1a203bc37ull, 0xa55a6e6d1f07858aull},
    {5, 0xdbcac1ef88b5cceaull, 0x3e799b88b752e06dull},
    {6, 0xe9e86075bc689d6eull, 0x890bd8d217cc76aeull},
    {7, 0x61e6282bcaa223bbull, 0xda3ea62f5febe8a5ull},
    {8, 0x42e152530e2f5107ull, 0x82bfd6dbcb462487ull},
    {9, 0xe5b8f555934fbce6ull, 0x3abf720c61f5a59dull},
    {10, 0xba570d38a357dd41ull, 0x8237f0e88b70a704ull},
    {11, 0xd9cd10ea9907d854ull, 0x6d19fdfaa2354876ull},
    {12, 0xd2f14e34e93e43f5ull, 0x6a9888af4cce1358ull},
    {13, 0xe6e49772d3d900b1ull, 0x622852d6aeda42deull},
    {14, 0x989ac539699a9264ull, 0x2314d3129a3ef90full},
    {15, 0x330cb9b76864cda6ull, 0x519963953f47b5b4ull},
    {16, 0x58957c0f95c55492ull, 0xcdf653a31feb1056ull},
};

std::string IsoTime(std::int64_t instant) {
    const platform::CalendarFields f = platform::UtcFieldsOfInstant(instant);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", f.year, f.month, f.day,
                  f.hour, f.minute, f.second);
    return text;
}

// The modern event ID and access mask of a generated access.
std::pair<std::uint32_t, std::uint32_t> EventOf(AUDIT_ACTION action, test::EventGenerator& gen) {
    switch (action) {
        case ACTION_OPEN:
            return {4656, gen.Chance(0.5) ? 0x120089u : 0x10000u};
        case ACTION_CLOSE:
            return {4658, 0};
        case ACTION_DELETE:
            return {4660, 0};
        case ACTION_WRITE:
            return {4663, gen.Chance(0.5) ? 2u : 4u};
        case ACTION_READ_DATA:
            return {4663, 1};
        case ACTION_READ_ATTRIBUTES:
            return {4663, gen.Chance(0.5) ? 0x80u : 0x10000u};
        case ACTION_OTHER_ACCESS:
            return {4663, 0x100};
        default:
            return {4624, 0};
    }
}

// A scenario from the generator's sequences, with the noise a real log holds:
// other events, failures, accounts mapped, well known, foreign and missing.
// `pointer`: handle and process IDs as a 32-bit system writes them (SizeT of
// 4 bytes), or 0 for HexInt64.
std::string Scenario(std::uint64_t seed, bool classic, int pointer = 0) {
    test::EventGenerator gen(seed);
    std::string scenario;
    for (int round = 0; round < 3; ++round) {
        for (const AUDIT_RECORD& r : gen.Sequence()) {
            auto [id, mask] = EventOf(r.action, gen);
            std::string line = "{\"id\":" + std::to_string(id) + ",\"time\":\"" + IsoTime(r.time) +
                               "\",\"computer\":" + JsonString(r.computer) +
                               ",\"handle\":" + std::to_string(r.handleId) +
                               ",\"pid\":" + std::to_string(r.processId) +
                               ",\"process\":" + JsonString(r.processName) +
                               ",\"mask\":" + std::to_string(mask);
            if (!r.objectName.empty()) {
                line += ",\"object\":" + JsonString(r.objectName);
            } else if (id != 4658) {
                line += ",\"object\":\"\"";
            }
            const int account = gen.Pick(0, 9);
            if (account == 0) {
                line += ",\"sid\":\"S-1-5-21-9-9-9-500\",\"user\":\"visitor\"";
            } else if (account == 1) {
                line += ",\"sid\":\"S-1-5-18\"";
            } else if (account == 2) {
                line += ",\"sid\":\"S-1-5-21-9-9-9-501\",\"user\":\"\"";
            }
            if (gen.Chance(0.05)) {
                line += ",\"outcome\":\"failure\"";
            }
            if (gen.Chance(0.03)) {
                line += ",\"task\":12801";
            }
            if (pointer != 0) {
                line += ",\"pointer\":" + std::to_string(pointer);
            }
            scenario += line + "}\n";
        }
    }
    if (classic) {
        for (const auto& [from, to] :
             {std::pair{"4656", "560"}, {"4663", "567"}, {"4658", "562"}, {"4660", "564"}}) {
            for (std::size_t at = 0;
                 (at = scenario.find(std::string("\"id\":") + from, at)) != std::string::npos;) {
                scenario.replace(at + 5, 4, to);
            }
        }
    }
    return scenario;
}

// FNV-1a over every field of every record, each field ended by a separator.
std::uint64_t Digest(const std::vector<AUDIT_RECORD>& records) {
    std::uint64_t hash = 1469598103934665603ull;
    auto add = [&](const std::string& field) {
        for (const char c : field + '\x1f') {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    };
    for (const AUDIT_RECORD& r : records) {
        for (const std::string* text : {&r.user, &r.computer, &r.objectName, &r.processName}) {
            add(*text);
        }
        for (const std::uint64_t number :
             {static_cast<std::uint64_t>(r.handleId), static_cast<std::uint64_t>(r.processId),
              static_cast<std::uint64_t>(r.time), static_cast<std::uint64_t>(r.eventId),
              r.recordNumber, static_cast<std::uint64_t>(r.action)}) {
            add(std::to_string(number));
        }
        add("\n");
    }
    return hash;
}

class ReadingDifferential : public ::testing::Test {
  protected:
    std::uint64_t ReadDigest(std::uint64_t seed, bool classic, int pointer = 0) {
        const std::string file = store.Dir().File(classic ? "Security.evt" : "Security.evtx");
        if (classic) {
            test::WriteEvt(file, Scenario(seed, true));
        } else {
            test::WriteEvtx(file, Scenario(seed, false, pointer));
        }
        test::ScopedEnv log("VZRM_SECURITY_LOG", file.c_str());
        g_errorInfo.Clear();
        CSecurityLogReader reader;
        EXPECT_TRUE(reader.OpenReader());
        EXPECT_EQ(reader.ReadPeriod({}, {}), 1) << g_errorInfo.Render();
        const std::vector<AUDIT_RECORD> records = reader.TakeRecords();
        EXPECT_FALSE(records.empty());
        return Digest(records);
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
};

TEST_F(ReadingDifferential, BothFormatsGiveTheRecordedRecordsForEverySeed) {
    const bool print = std::getenv("VZRM_PRINT_READ_DIGESTS") != nullptr;
    for (const Recorded& recorded : kRecorded) {
        SCOPED_TRACE("seed " + std::to_string(recorded.seed));
        const std::uint64_t modern = ReadDigest(recorded.seed, false);
        const std::uint64_t classic = ReadDigest(recorded.seed, true);
        if (print) {
            std::printf("    {%llu, 0x%016llxull, 0x%016llxull},\n",
                        static_cast<unsigned long long>(recorded.seed),
                        static_cast<unsigned long long>(modern),
                        static_cast<unsigned long long>(classic));
            continue;
        }
        EXPECT_EQ(modern, recorded.modern);
        EXPECT_EQ(classic, recorded.classic);
        // The same events from a 32-bit system: the same records.
        EXPECT_EQ(ReadDigest(recorded.seed, false, 4), recorded.modern);
    }
}

// The fields of a modern event are taken from the inserts of their lines
// without making its message: for every seed, with handle and process IDs
// as HexInt64 and as SizeT of 4 and of 8 bytes, they are those that a
// search of the made message finds, and the read gives the same records.
TEST_F(ReadingDifferential, FieldsTakenWithoutTheMessageAreThoseOfTheMadeMessage) {
    using namespace platform;
    const std::span<const std::string_view> labels = EventFieldLabels(false);
    int compared = 0;
    for (const Recorded& recorded : kRecorded) {
        for (const int pointer : {0, 4, 8}) {
            SCOPED_TRACE("seed " + std::to_string(recorded.seed) + " pointer " +
                         std::to_string(pointer));
            if (pointer == 8) {  // the others are read by the test above
                EXPECT_EQ(ReadDigest(recorded.seed, false, pointer), recorded.modern);
            }
            const std::string file = store.Dir().File("Fields.evtx");
            test::WriteEvtx(file, Scenario(recorded.seed, false, pointer));
            posix::FileModernEventLog log;
            EVT_HANDLE metadata = 0;
            ASSERT_EQ(log.OpenPublisherMetadata("Microsoft-Windows-Security-Auditing", metadata),
                      0);
            EVT_HANDLE query = 0;
            ASSERT_EQ(log.Query(file, "*", EvtQueryFilePath, query), 0);
            EVT_HANDLE events[100];
            std::uint32_t returned = 0;
            while (log.Next(query, events, kEvtInfinite, returned) == 0) {
                for (std::uint32_t i = 0; i < returned; ++i) {
                    std::string message;
                    const std::int32_t formatted =
                        log.FormatMessage(metadata, events[i], 0, EvtFormatMessageEvent, message);
                    std::vector<std::string> expected(labels.size());
                    formats::FindMessageFields(message, labels, expected);
                    std::vector<std::string> fields(labels.size(), "stale");
                    ASSERT_EQ(log.FormatMessageFields(metadata, events[i], labels, fields),
                              formatted);
                    ASSERT_EQ(fields, expected) << message;
                    compared += formatted == 0 ? 1 : 0;
                    log.Close(events[i]);
                }
            }
            log.Close(query);
            log.Close(metadata);
        }
    }
    EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace vzrm
