// The tests' start-up: the Linux services are the defaults, as in the programs.
#include <gtest/gtest.h>

#include "platform/posix/posix_services.h"

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
