// The built man pages as a terminal of 80 columns shows them: no word or path
// broken with a hyphen at a line's end, so that every example pastes.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace vzrm {
namespace {

TEST(ManPages, NoWordOrPathIsBrokenAtALineEnd) {
    const std::filesystem::path pages =
        std::filesystem::path(VZRMLOG_PATH).parent_path().parent_path() / "man";
    if (!std::filesystem::exists(pages) || !test::HaveProgram("nroff")) {
        GTEST_SKIP() << "no man pages built (scdoc) or no nroff (groff-base)";
    }
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(pages)) {
        if (entry.path().extension() != ".gz") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        ++seen;
        const test::CommandResult shown = test::RunCommand("zcat '" + entry.path().string() +
                                                           "' | nroff -man -Tutf8 -rLL=80n 2>&1");
        ASSERT_EQ(shown.status, 0) << shown.output;
        EXPECT_EQ(shown.output.find("\u2010"), std::string::npos) << shown.output;
        EXPECT_EQ(shown.output.find("-\n"), std::string::npos) << shown.output;
    }
    EXPECT_EQ(seen, 3);
}

}  // namespace
}  // namespace vzrm
