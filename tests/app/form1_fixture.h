#pragma once

// The window fixture under the name some app tests still use.
#include "tests/support/window_fixture.h"

namespace zs::test {

using Form1Test = WindowTest;

} // namespace zs::test
