// The audit logic calling the system directly.
#include <unistd.h>

#include "base/text.h"
