// A test of a basic floor that reaches up into the report runs.
#include "base/text.h"
#include "report/run.h"
