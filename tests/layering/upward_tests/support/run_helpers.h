// A shared helper standing on the audit logic.
#pragma once

#include "audit/record.h"
