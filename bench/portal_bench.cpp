// The Wayland grabs (wlroots' screencopy, KWin's screenshot interface, the
// desktop portal's screenshot) against the X11 grab of the same size, in
// one process: the X grab copies the screen of the X server in DISPLAY (the
// baseline), screencopy the output HEADLESS-1 of the compositor in
// WAYLAND_DISPLAY on a connection of its own, KWin's interface its output
// Virtual-0 (either output: $ZENTRIM_BENCH_OUTPUT), the portal the screen of
// the Wayland session on the session bus. bench/portal_vs_x11.sh sets up an
// Xvfb and a headless sway of 1920x1080 each and runs this inside the
// Wayland session:
//
//   bash e2e/run-scenario.sh bench/portal_vs_x11.sh build/bench/portal_bench
//
// and bench/compositor_grab.sh runs the grab alone on sway or KWin. A
// benchmark whose desktop is missing is skipped with the reason; without
// DISPLAY so is the X grab, and the other figures have no X11 ratio.

#include "bench/bench_support.h"
#include "screen/backend_choice.h"
#include "screen/kwin_screenshot_capture.h"
#include "screen/portal_capture.h"
#include "screen/wlr_screencopy_capture.h"
#include "services/qt/qt_services.h"
#include "services/screen_capture.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>

#include <string>
#include <vector>

namespace {

using zs::bench::Clock;
using zs::bench::median;
using zs::bench::seconds;

// The X grab's median, measured first, for the portal's ratio, and its
// last picture, for the cost of the portal's file format.
double g_x11Seconds = 0;
QImage g_x11Picture;

std::string sizeLabel(const QImage& image) {
    return std::to_string(image.width()) + "x" + std::to_string(image.height());
}

// Times each grab; fails the benchmark with the backend's reason.
template <typename Grab>
double timedGrabs(benchmark::State& state, Grab&& grab, QImage* keep = nullptr) {
    std::vector<double> times;
    QImage last;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        zs::CaptureResult result = grab();
        times.push_back(seconds(Clock::now() - t0));
        if (!result.ok()) {
            state.SkipWithError(result.failure().toStdString().c_str());
            return 0;
        }
        last = result.image();
    }
    const double m = median(times);
    state.counters["median_ms"] = m * 1e3;
    state.SetLabel(sizeLabel(last));
    if (keep != nullptr) {
        *keep = last;
    }
    return m;
}

// The grab's median against a memcpy of the frame's bytes (one RGB32 frame
// of the size in the label), and against the X grab when it ran.
void reportAgainstMemcpy(benchmark::State& state, double median, const QImage& last) {
    if (median <= 0) {
        return;
    }
    const double copy = zs::bench::memcpySeconds(std::size_t(last.sizeInBytes()));
    state.counters["memcpy_ms"] = copy * 1e3;
    state.counters["x_memcpy"] = median / copy;
    if (g_x11Seconds > 0) {
        state.counters["x11_ms"] = g_x11Seconds * 1e3;
        state.counters["x_x11"] = median / g_x11Seconds;
    }
}

void BM_X11Grab(benchmark::State& state) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs an X server (set DISPLAY)");
        return;
    }
    zs::CaptureSession session = zs::CaptureSession::current();
    session.sessionType = QStringLiteral("x11"); // the X grab even inside a Wayland session
    auto capture = zs::chooseScreenCapture(session);
    zs::QtEventPump pump;
    g_x11Seconds = timedGrabs(
        state, [&] { return capture->grabPrimary(pump); }, &g_x11Picture);
    state.counters["backend_" + capture->name().toStdString()] = 1;
}

void BM_PortalScreenshot(benchmark::State& state) {
    zs::PortalCapture capture;
    zs::QtEventPump pump;
    const double m = timedGrabs(state, [&] { return capture.grabPrimary(pump); });
    if (m > 0 && g_x11Seconds > 0) {
        state.counters["x11_ms"] = g_x11Seconds * 1e3;
        state.counters["x_x11"] = m / g_x11Seconds;
    }
}

// The screencopy grab alone (call to pixels in memory, as RGB32), against a
// memcpy of the frame's bytes and the X grab of the same size.
void BM_WlrScreencopy(benchmark::State& state) {
    auto capture = zs::WlrScreencopyCapture::open();
    if (!capture) {
        state.SkipWithError("no compositor with screencopy in WAYLAND_DISPLAY");
        return;
    }
    const QString output = qEnvironmentVariableIsSet("ZENTRIM_BENCH_OUTPUT")
                               ? qEnvironmentVariable("ZENTRIM_BENCH_OUTPUT")
                               : QStringLiteral("HEADLESS-1");
    zs::QtEventPump pump;
    QImage last;
    const double m = timedGrabs(
        state, [&] { return capture->grabOutput(pump, output); }, &last);
    reportAgainstMemcpy(state, m, last);
}

// KWin's screenshot interface, the grab alone (call to the output's pixels
// in memory, as RGB32), against a memcpy of the frame's bytes. The output
// is Virtual-0 (or $ZENTRIM_BENCH_OUTPUT); KWin must let this benchmark in
// (KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 in KWin's environment).
void BM_KWinScreenshot(benchmark::State& state) {
    if (!zs::KWinScreenshotCapture::reachable(QDBusConnection::sessionBus())) {
        state.SkipWithError("no KWin screenshot interface on the session bus");
        return;
    }
    zs::KWinScreenshotCapture capture;
    zs::QtEventPump pump;
    const QString output = qEnvironmentVariableIsSet("ZENTRIM_BENCH_OUTPUT")
                               ? qEnvironmentVariable("ZENTRIM_BENCH_OUTPUT")
                               : QStringLiteral("Virtual-0");
    QImage last;
    const double m = timedGrabs(
        state, [&] { return capture.grabOutput(output, pump); }, &last);
    reportAgainstMemcpy(state, m, last);
}

// Our share of the portal's time: reading back a PNG of the same screen (the
// portal hands the picture over as a PNG file).
void BM_DecodeScreenPng(benchmark::State& state) {
    if (g_x11Picture.isNull()) {
        state.SkipWithError("needs the X grab's picture (set DISPLAY)");
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    g_x11Picture.save(&buffer, "PNG");
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QImage decoded = QImage::fromData(png).convertToFormat(QImage::Format_RGB32);
        times.push_back(seconds(Clock::now() - t0));
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["median_ms"] = median(times) * 1e3;
    state.counters["png_kib"] = double(png.size()) / 1024;
    state.SetLabel(sizeLabel(g_x11Picture));
}

// The X grab first: the Wayland grabs' ratios are taken against it.
BENCHMARK(BM_X11Grab)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_WlrScreencopy)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_KWinScreenshot)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PortalScreenshot)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DecodeScreenPng)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv, zs::bench::Platform::DisplayIfPresent);
}
