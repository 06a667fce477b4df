// A text basic that reaches up into the audit logic.
#pragma once

#include "audit/record.h"
