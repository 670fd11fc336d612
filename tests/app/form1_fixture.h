#pragma once

#include "app/form1.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

namespace zs::test {

// The real window built from its catalogue, on fake services, not shown.
class Form1Test : public ::testing::Test {
protected:
    fakes::FakeServices fake;
    app::Form1 f{fake.services};
};

} // namespace zs::test
