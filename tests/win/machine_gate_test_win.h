#pragma once
// Tests that change the machine they run on skip on a machine that is neither Wine's nor
// disposable (tools/common/machine_gate_win.h), with the reason.
#include <gtest/gtest.h>

#include "tools/common/machine_gate_win.h"

#define VAQ_SKIP_UNLESS_MACHINE_MAY_CHANGE(what)                                                     \
  if (!::vaq::tools::MayChangeMachine())                                                              \
  GTEST_SKIP() << "changes " what "; runs only under Wine or on a disposable machine (--disposable)"
