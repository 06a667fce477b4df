// A test of the parsers that reaches the audit logic through a helper.
#include "support/run_helpers.h"
