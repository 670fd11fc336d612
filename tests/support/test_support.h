#pragma once

#include <QApplication>

namespace zs::test {

// The one QApplication of a test executable (offscreen).
QApplication& app();

} // namespace zs::test
