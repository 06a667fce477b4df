#include "app/output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace vzrm {

int CheckedOutputStatus(int status, const char* tool) {
    errno = 0;
    std::cout.flush();
    const bool streamFailed = !std::cout;
    const bool flushFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (!streamFailed && !flushFailed) {
        return status;
    }
    const int error = errno;
    std::cerr << tool << ": the output could not be written"
              << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
    return status == 0 ? 1 : status;
}

}  // namespace vzrm
