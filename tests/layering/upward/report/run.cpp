// A report choosing a Linux implementation itself.
#include "platform/posix/clock.h"
