// Corvala4: correctness self-test module for calculation programs.
#pragma once

#include "corvala4/dispatch_ids.h"
#include "corvala4/error.h"
#include "corvala4/progress_events.h"
#include "corvala4/test_case.h"
#include "corvala4/test_cases.h"
#include "corvala4/tester.h"
#include "corvala4/tester_events.h"
#include "corvala4/unit_tests.h"
#include "corvala4/user_interface.h"
#include "corvala4/version.h"
