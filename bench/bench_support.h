#pragma once

// What every benchmark executable shares: the clock and the median its
// figures are taken with, and the main that runs them.

#include <chrono>
#include <cstddef>
#include <vector>

namespace zs::bench {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d);

// The middle value (the upper one of an even count); 0 when there is none.
double median(std::vector<double> v);

// The median time of one memcpy of `bytes` between two buffers whose pages
// are already in memory: the baseline most figures are reported against.
double memcpySeconds(std::size_t bytes);

// Which window system the benchmarks run on when QT_QPA_PLATFORM is not set.
enum class Platform {
    Offscreen,        // always offscreen: for what needs no real screen
    DisplayIfPresent, // the X server in DISPLAY if set, else offscreen
};

// Makes the QApplication (at one device pixel per pixel) and runs the
// benchmarks the command line selects; returns main's exit code.
int runBenchmarks(int argc, char** argv, Platform platform = Platform::Offscreen);

} // namespace zs::bench
