#include "base/exceptions.h"

#include <gtest/gtest.h>

#include "platform/error_codes.h"

namespace vzrm {
namespace {

void DialogProcedure() {
    try {
        throw new C_Exception(static_cast<std::int32_t>(0xC0000005), "Access violation",
                              "fault details\r\n");
    } catch (C_Exception* e) {
        e->AddCatchPoint("SJB9CW9MNBPZ768");
        throw;
    }
}

void FrameProcedure() {
    try {
        DialogProcedure();
    } catch (C_Exception* e) {
        e->AddCatchPoint("TYX8BRWPTA795M2");
        throw;
    }
}

TEST(C_Exception, CatchPointsStackNewestOnTop) {
    try {
        FrameProcedure();
        FAIL() << "no exception";
    } catch (CException* base) {
        auto* e = dynamic_cast<C_Exception*>(base);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->GetDetails(),
                  "catch point: TYX8BRWPTA795M2\r\n"
                  "catch point: SJB9CW9MNBPZ768\r\n"
                  "fault details\r\n");
        EXPECT_EQ(e->GetCode(), static_cast<std::int32_t>(0xC0000005));
        EXPECT_EQ(e->GetMessage(), "Access violation");
        base->Delete();
    }
}

TEST(CFileException, CausesFollowTheSystemErrors) {
    using namespace platform;
    EXPECT_EQ(CFileException::CauseOfError(kErrorFileNotFound), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::CauseOfError(kErrorPathNotFound), CFileException::badPath);
    EXPECT_EQ(CFileException::CauseOfError(kErrorAccessDenied), CFileException::accessDenied);
    EXPECT_EQ(CFileException::CauseOfError(kErrorSharingViolation),
              CFileException::sharingViolation);
    EXPECT_EQ(CFileException::CauseOfError(kErrorDiskFull), CFileException::diskFull);
    EXPECT_EQ(CFileException::CauseOfError(kErrorSuccess), CFileException::none);
    EXPECT_EQ(CFileException::CauseOfError(4242), CFileException::genericException);

    CFileException* e = CFileException::FromError(kErrorDiskFull, "/reports/a.csv");
    EXPECT_EQ(e->GetCause(), CFileException::diskFull);
    EXPECT_EQ(e->GetOsError(), kErrorDiskFull);
    EXPECT_EQ(e->GetFileName(), "/reports/a.csv");
    e->Delete();
}

}  // namespace
}  // namespace vzrm
