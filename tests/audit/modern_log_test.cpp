// The modern interface's batches, handles and rendering rules.
#include <gtest/gtest.h>

#include "audit/security_log_reader.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "support/fake_services.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

class ModernLog : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string scenario;
        for (int i = 1; i <= 7; ++i) {
            scenario +=
                R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) + "}\n";
        }
        test::WriteEvtx(dir.File("Security.evtx"), scenario);
    }
    test::TempDir dir;
    posix::FileModernEventLog log;
};

TEST_F(ModernLog, NextReturnsBatchesThenNoMoreItems) {
    EVT_HANDLE query = 0;
    ASSERT_EQ(log.Query(dir.File("Security.evtx"), "*", EvtQueryFilePath, query), 0);
    EVT_HANDLE events[3];
    std::uint32_t returned = 0;
    std::vector<std::uint32_t> batches;
    while (log.Next(query, events, kEvtInfinite, returned) == kErrorSuccess) {
        batches.push_back(returned);
        for (std::uint32_t i = 0; i < returned; ++i) {
            EXPECT_EQ(log.Close(events[i]), 0);
        }
    }
    EXPECT_EQ(batches, (std::vector<std::uint32_t>{3, 3, 1}));
    EXPECT_EQ(log.Next(query, events, kEvtInfinite, returned), kErrorNoMoreItems);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(log.Close(query), 0);
    EXPECT_EQ(log.Close(query), kErrorInvalidHandle);
}

TEST_F(ModernLog, RenderAsksForALargerBufferAndTypesItsValues) {
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    ASSERT_EQ(log.Query(dir.File("Security.evtx"), "*", EvtQueryFilePath, query), 0);
    const std::vector<std::string>& paths = kRenderPaths;
    ASSERT_EQ(log.CreateRenderContext(paths, EvtRenderContextValues, context), 0);
    EVT_HANDLE event = 0;
    std::uint32_t returned = 0;
    ASSERT_EQ(log.Next(query, {&event, 1}, kEvtInfinite, returned), 0);
    EVT_VARIANT few[5];
    std::uint32_t needed = 0;
    EXPECT_EQ(log.Render(context, event, EvtRenderEventValues, few, needed),
              kErrorInsufficientBuffer);
    EXPECT_EQ(needed, 11u);
    std::vector<EVT_VARIANT> values(4096);
    ASSERT_EQ(log.Render(context, event, EvtRenderEventValues, values, needed), 0);
    EXPECT_EQ(values[0].Type, EvtVarTypeString);
    EXPECT_EQ(values[0].Text(), u"Microsoft-Windows-Security-Auditing");
    EXPECT_EQ(values[2].Type, EvtVarTypeFileTime);
    EXPECT_EQ(values[3].Type, EvtVarTypeUInt16);
    EXPECT_EQ(values[3].number, 4663u);
    EXPECT_EQ(values[4].Type, EvtVarTypeUInt64);
    EXPECT_EQ(values[4].number, 1u);
    EXPECT_EQ(values[5].Text(), u"RECPC");
    EXPECT_EQ(values[6].Type, EvtVarTypeNull);
    EXPECT_EQ(values[8].Type, EvtVarTypeUInt16);
    EXPECT_EQ(values[8].number, 12800u);
    EXPECT_EQ(values[9].Type, EvtVarTypeHexInt64);
    EXPECT_EQ(values[9].number, 0x8020000000000000ull);
    EXPECT_EQ(values[10].Type, EvtVarTypeSid);  // the first Data value
    EXPECT_EQ(log.Render(context, 999, EvtRenderEventValues, values, needed), kErrorInvalidHandle);
}

TEST_F(ModernLog, QueryErrors) {
    EVT_HANDLE query = 0;
    EXPECT_EQ(
        log.Query(dir.File("Security.evtx"), "*[System[EventID=4663]]", EvtQueryFilePath, query),
        kErrorInvalidParameter);
    EXPECT_EQ(log.Query(dir.File("none.evtx"), "*", EvtQueryFilePath, query), kErrorFileNotFound);
    {
        test::ScopedEnv env("VZRM_SECURITY_LOG", dir.File("Security.evtx").c_str());
        ASSERT_EQ(log.Query("Security", "*", EvtQueryChannelPath, query), 0);
        log.Close(query);
    }
    test::WriteFile(dir.File("other.evtx"), "plain text");
    EXPECT_EQ(log.Query(dir.File("other.evtx"), "*", EvtQueryFilePath, query), kErrorInvalidData);
}

TEST_F(ModernLog, EventsOutliveTheirQuery) {
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    ASSERT_EQ(log.Query(dir.File("Security.evtx"), "*", EvtQueryFilePath, query), 0);
    ASSERT_EQ(log.CreateRenderContext({"Event/System/Computer"}, EvtRenderContextValues, context),
              0);
    EVT_HANDLE event = 0;
    std::uint32_t returned = 0;
    ASSERT_EQ(log.Next(query, {&event, 1}, kEvtInfinite, returned), 0);
    ASSERT_EQ(log.Close(query), 0);
    EVT_VARIANT computer;
    std::uint32_t needed = 0;
    ASSERT_EQ(log.Render(context, event, EvtRenderEventValues, {&computer, 1}, needed), 0);
    EXPECT_EQ(computer.Text(), u"RECPC");
}

}  // namespace
}  // namespace vzrm
