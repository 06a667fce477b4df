#include "audit/object_path.h"

#include <gtest/gtest.h>

#include "base/case_fold.h"

namespace vzrm {
namespace {

TEST(ObjectPath, ExtensionGate) {
    EXPECT_TRUE(HasExtension("D:\\R\\a.zrm", ".zrm"));
    EXPECT_TRUE(HasExtension("D:\\R\\A.ZRM", ".zrm"));
    EXPECT_TRUE(HasExtension("D:\\R\\ÄB.Zrm", ".zrm"));
    EXPECT_FALSE(HasExtension("D:\\R\\a.zrm:s", ".zrm"));   // a stream
    EXPECT_FALSE(HasExtension("D:\\R.zrm\\file", ".zrm"));  // only the last component counts
    EXPECT_FALSE(HasExtension("D:\\R\\a.zrm.tmp", ".zrm"));
    EXPECT_FALSE(HasExtension("D:\\R\\zrm", ".zrm"));
    EXPECT_FALSE(HasExtension("", ".zrm"));
    EXPECT_EQ(PathExtension("D:\\R\\a.b.zrm"), ".zrm");
}

TEST(ObjectPath, StreamsBelongToTheirFile) {
    EXPECT_EQ(StreamBasePath("D:\\R\\x.zrm:s"), "D:\\R\\x.zrm");
    EXPECT_EQ(StreamBasePath("D:\\R\\x.zrm:s:$DATA"), "D:\\R\\x.zrm:s");
    EXPECT_EQ(StreamBasePath("D:\\R\\x.zrm"), "D:\\R\\x.zrm");
    EXPECT_EQ(StreamBasePath("D:\\R\\x"), "D:\\R\\x");  // the drive colon is no stream
    EXPECT_EQ(StreamBasePath("D:\\R\\x.:s"), "D:\\R\\x.");
}

TEST(ObjectPath, CanonicalizeRemovesDotSegmentsNeverAboveTheRoot) {
    EXPECT_EQ(CanonicalizePath("D:\\R\\a.zrm"), "D:\\R\\a.zrm");
    EXPECT_EQ(CanonicalizePath("D:\\R\\.\\a.zrm"), "D:\\R\\a.zrm");
    EXPECT_EQ(CanonicalizePath("D:\\R\\x\\..\\a.zrm"), "D:\\R\\a.zrm");
    EXPECT_EQ(CanonicalizePath("D:\\..\\..\\a.zrm"), "D:\\a.zrm");
    EXPECT_EQ(CanonicalizePath("\\\\srv\\share\\..\\a.zrm"), "\\\\srv\\share\\a.zrm");
    EXPECT_EQ(CanonicalizePath("\\Device\\HarddiskVolume2\\.\\R\\a.zrm"),
              "\\Device\\HarddiskVolume2\\R\\a.zrm");
    EXPECT_EQ(CanonicalizePath("R\\..\\a.zrm"), "a.zrm");
    EXPECT_EQ(CanonicalizePath("D:\\R\\.."), "D:\\");
    EXPECT_EQ(CanonicalizePath("D:\\R\\..\\"), "D:\\");
    EXPECT_EQ(CanonicalizePath("D:\\R\\a..zrm"), "D:\\R\\a..zrm");
}

}  // namespace
}  // namespace vzrm
