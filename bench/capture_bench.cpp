// Capture and selection: the screen grab, the crop on release, one nudge tick
// and one cross-hair move, and the memory a 4K capture takes. Every figure is
// reported next to a baseline measured in the same run (a memcpy of the same
// bytes, or the process before the capture).
//
// Grabs copy the whole screen of the X server in DISPLAY: run once under an
// Xvfb of each size, e.g.
//   Xvfb :77 -screen 0 3840x2160x24 -nolisten tcp & DISPLAY=:77 capture_bench
// (docs/PERFORMANCE.md has the exact runs). Without DISPLAY the grabs are
// skipped and the rest runs offscreen with the fake clipboard.

#include "app/form1.h"
#include "bench/bench_support.h"
#include "clipboard/qt_clipboard.h"
#include "screen/backend_choice.h"
#include "screen/primary_screen.h"
#include "screen/qt_grab_capture.h"
#include "screen/x11_shm_capture.h"
#include "services/fakes/fakes.h"
#include "services/fakes/paint_meter.h"
#include "services/qt/qt_services.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using zs::bench::Clock;
using zs::bench::median;
using zs::bench::memcpySeconds;
using zs::bench::seconds;
using zs::fakes::area;
using zs::fakes::PaintMeter;

// Times the body of each iteration; reports the median per iteration in ms
// and its ratio to `baseline` seconds.
template <typename Body> void timed(benchmark::State& state, double baseline, Body&& body) {
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        body();
        times.push_back(seconds(Clock::now() - t0));
    }
    const double m = median(times);
    state.counters["median_ms"] = m * 1e3;
    if (baseline > 0) {
        state.counters["baseline_ms"] = baseline * 1e3;
        state.counters["x_baseline"] = m / baseline;
    }
}

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// ---------------------------------------------------------------- grab

// Whether two copies of the screen agree in every pixel (both opaque RGB).
bool samePixels(const QImage& a, const QImage& b) {
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

// The shared-memory copy of the whole screen, as the capture uses it:
// range(0) 0 with the memory passed as a descriptor, 1 named by its id.
void BM_GrabShm(benchmark::State& state) {
    const zs::ShmAttach attach = state.range(0) == 0 ? zs::ShmAttach::Fd : zs::ShmAttach::Id;
    const auto shm = onX11() ? zs::X11ShmCapture::open(attach) : nullptr;
    if (!shm) {
        state.SkipWithError("needs an X server with MIT-SHM, this way (set DISPLAY)");
        return;
    }
    zs::QtEventPump pump;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = zs::primaryScreenDevicePixels().size();
    const double baseline =
        memcpySeconds(static_cast<std::size_t>(size.width()) * size.height() * 4);
    zs::CaptureResult shot = zs::CaptureResult::failed(QString());
    timed(state, baseline, [&] { shot = shm->grabPrimary(pump); });
    if (!shot.ok()) {
        state.SkipWithError("a grab failed");
        return;
    }
    // Checked against Qt's own copy of the same screen, outside the timing.
    state.counters["same_as_qt"] =
        samePixels(shot.image(), screen->grabWindow(0).toImage()) ? 1 : 0;
    state.SetBytesProcessed(state.iterations() * size.width() * size.height() * 4);
    state.SetLabel(std::to_string(size.width()) + "x" + std::to_string(size.height()) + " " +
                   shm->name().toStdString());
}

// The whole primary screen through the backend the program chooses.
void BM_GrabPrimary(benchmark::State& state) {
    if (!onX11()) {
        state.SkipWithError("needs an X server (set DISPLAY)");
        return;
    }
    zs::QtEventPump pump;
    const auto capture = zs::chooseScreenCapture(zs::CaptureSession::current());
    const QSize size = zs::primaryScreenDevicePixels().size();
    const double baseline =
        memcpySeconds(static_cast<std::size_t>(size.width()) * size.height() * 4);
    timed(state, baseline, [&] { benchmark::DoNotOptimize(capture->grabPrimary(pump)); });
    state.SetLabel(std::to_string(size.width()) + "x" + std::to_string(size.height()) + " " +
                   capture->name().toStdString());
}

// Qt's own screen copy, the way taken without shared memory, for comparison.
void BM_GrabQtWindow(benchmark::State& state) {
    if (!onX11()) {
        state.SkipWithError("needs an X server (set DISPLAY)");
        return;
    }
    zs::QtEventPump pump;
    zs::QtGrabCapture qt;
    const QSize size = zs::primaryScreenDevicePixels().size();
    const double baseline =
        memcpySeconds(static_cast<std::size_t>(size.width()) * size.height() * 4);
    timed(state, baseline, [&] { benchmark::DoNotOptimize(qt.grabPrimary(pump)); });
    state.SetLabel(std::to_string(size.width()) + "x" + std::to_string(size.height()));
}

// ---------------------------------------------------------------- window

// The window on fake services but for the clipboard, which is the real one
// under X11 (so a crop really publishes it) and the fake one offscreen.
struct Window {
    explicit Window(QSize screenSize) {
        fake.screen.size = screenSize;
        fake.screen.available = QRect(QPoint(0, 0), screenSize);
        fake.capture.content = zs::fakes::patternImage(screenSize);
        services = std::make_unique<zs::Services>(zs::Services{
            fake.screen, fake.capture, fake.windowOrder, fake.pump,
            onX11() ? static_cast<zs::IClipboard&>(qtClipboard) : fake.clipboard, fake.dialogs,
            fake.printer, fake.pointer, fake.messages, fake.application});
        f = std::make_unique<zs::app::Form1>(*services);
        f->start();
        settle();
        f->Command1_Click(5); // capture
        settle();
    }
    ~Window() {
        f.reset();
        settle();
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
        }
    }
    const char* clipboardName() const { return onX11() ? "Qt clipboard" : "fake clipboard"; }

    zs::fakes::FakeServices fake;
    zs::QtClipboard qtClipboard;
    std::unique_ptr<zs::Services> services;
    std::unique_ptr<zs::app::Form1> f;
};

const QSize k4K(3840, 2160);

// The release over the surface: the crop into holder and canvas and onto
// the clipboard, for a region of the whole 4K surface. range(0) shifts the
// region by that many pixels, off the sharing fast path.
void BM_CropOnRelease4K(benchmark::State& state) {
    Window w(k4K);
    const float shift = static_cast<float>(state.range(0)) * 15;
    auto& f = *w.f;
    f.capture.FormScreenCapture_MouseDown(1, 0, shift, shift);
    f.capture.FormScreenCapture_MouseMove(1, 0, shift + f.FormScreenCapture.width(),
                                          shift + f.FormScreenCapture.height());
    const double baseline = memcpySeconds(static_cast<std::size_t>(k4K.width()) * k4K.height() * 4);
    timed(state, baseline, [&] { f.capture.FormScreenCapture_MouseUp(1, 0, 0, 0); });
    if (f.Picture2.imageSizePx() != k4K) {
        state.SkipWithError("the crop has the wrong size");
    }
    state.SetLabel(w.clipboardName());
}

// One tick of the arrow pad on a 4K capture, with the repaint it causes
// (median_ms); handler_ms is the handler alone.
void BM_NudgeTick4K(benchmark::State& state) {
    Window w(k4K);
    auto& f = *w.f;
    f.capture.FormScreenCapture_MouseDown(1, 0, 1500, 1500);
    f.capture.FormScreenCapture_MouseMove(1, 0, 9000, 6000);
    f.capture.FormScreenCapture_MouseUp(1, 0, 9000, 6000);
    Window::settle();
    PaintMeter meter(f.FormScreenCapture.widget());
    long long painted = 0;
    long long strips = 0;
    long long ticks = 0;
    bool right = true;
    std::vector<double> handler;
    timed(state, 0, [&] {
        // Back and forth, so the rectangle stays in view.
        if (ticks % 30 == 0) {
            f.capture.Image2_MouseUp(1, 1, 0, 0, 0);
            f.capture.Image2_MouseDown(right ? 1 : 3, 1, 0, 0, 0);
            right = !right;
        }
        meter.reset();
        const QRegion before = f.Shape1.coverage().united(f.Label2.coverage());
        const auto t0 = Clock::now();
        // As the timer delivers it: through the form's dispatch, which also
        // hands the changed controls to the repaint.
        f.form.run("Timer", [&] { f.Timer1.fire(); });
        handler.push_back(seconds(Clock::now() - t0));
        QCoreApplication::processEvents();
        painted += area(meter.region());
        strips += area(before.united(f.Shape1.coverage()).united(f.Label2.coverage()));
        ++ticks;
    });
    f.capture.Image2_MouseUp(1, 1, 0, 0, 0);
    state.counters["painted_px"] = static_cast<double>(painted) / std::max(1LL, ticks);
    state.counters["strips_px"] = static_cast<double>(strips) / std::max(1LL, ticks);
    state.counters["handler_ms"] = median(handler) * 1e3;
    state.counters["goal_ms"] = 0.2;
}

// One move of the pointer with no button held on a 4K capture: the
// cross-hair follows, and repaints (median_ms); handler_ms is the handler
// alone.
void BM_CrossHairMove4K(benchmark::State& state) {
    Window w(k4K);
    auto& f = *w.f;
    PaintMeter meter(f.FormScreenCapture.widget());
    long long painted = 0;
    long long strips = 0;
    long long moves = 0;
    std::vector<double> handler;
    timed(state, 0, [&] {
        const float at = static_cast<float>(3000 + (moves % 2) * 45);
        meter.reset();
        const QRegion before = f.Line1[0].coverage().united(f.Line1[1].coverage());
        const auto t0 = Clock::now();
        f.form.run("MouseMove", [&] { f.capture.FormScreenCapture_MouseMove(0, 0, at, at); });
        handler.push_back(seconds(Clock::now() - t0));
        QCoreApplication::processEvents();
        painted += area(meter.region());
        strips += area(before.united(f.Line1[0].coverage()).united(f.Line1[1].coverage()));
        ++moves;
    });
    state.counters["painted_px"] = static_cast<double>(painted) / std::max(1LL, moves);
    state.counters["strips_px"] = static_cast<double>(strips) / std::max(1LL, moves);
    state.counters["handler_ms"] = median(handler) * 1e3;
    state.counters["goal_ms"] = 0.2;
}

// ---------------------------------------------------------------- memory

long long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stoll(line.substr(key.size()));
        }
    }
    return -1;
}

// Lets the kernel start the peak RSS afresh from the current RSS.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

// Peak RSS across a 4K capture and an all-screen crop, against the window
// shown before any capture (the baseline) and in frames of 3840x2160x4
// bytes. Under X11 the capture reads the real screen when it is 4K.
void BM_PeakRss4KCaptureAndCrop(benchmark::State& state) {
    const double frameMiB = 3840.0 * 2160 * 4 / (1024 * 1024);
    for (auto _ : state) {
        zs::fakes::FakeServices fake;
        fake.screen.size = k4K;
        fake.screen.available = QRect(QPoint(0, 0), k4K);
        // The screen's content lives in the X server, not in the program:
        // made before the baseline.
        fake.capture.content = zs::fakes::patternImage(k4K);
        zs::QtScreen qtScreen;
        const bool realScreen = onX11() && qtScreen.sizePx() == k4K;
        const auto qtCapture =
            realScreen ? zs::chooseScreenCapture(zs::CaptureSession::current()) : nullptr;
        zs::QtClipboard qtClipboard;
        zs::Services services{realScreen ? static_cast<zs::IScreen&>(qtScreen) : fake.screen,
                              realScreen ? *qtCapture : fake.capture,
                              fake.windowOrder,
                              fake.pump,
                              onX11() ? static_cast<zs::IClipboard&>(qtClipboard) : fake.clipboard,
                              fake.dialogs,
                              fake.printer,
                              fake.pointer,
                              fake.messages,
                              fake.application};
        auto f = std::make_unique<zs::app::Form1>(services);
        f->start();
        Window::settle();
        if (!resetPeak()) {
            state.SkipWithError("cannot reset the peak RSS (/proc/self/clear_refs)");
            return;
        }
        const long long baseline = statusKiB("VmRSS");
        f->Command1_Click(5);
        Window::settle();
        f->capture.FormScreenCapture_MouseDown(1, 0, 1500, 1500);
        f->capture.FormScreenCapture_MouseUp(1, 0, 1500, 1500);
        f->Command4.click(); // "All screen"
        Window::settle();
        const long long peak = statusKiB("VmHWM");
        state.counters["baseline_MiB"] = static_cast<double>(baseline) / 1024;
        state.counters["peak_MiB"] = static_cast<double>(peak) / 1024;
        state.counters["frames_over_baseline"] =
            (static_cast<double>(peak - baseline) / 1024) / frameMiB;
        state.counters["goal_frames"] = 4;
        state.SetLabel(realScreen ? "X11 screen" : "fake screen");
        f.reset();
        Window::settle();
    }
}

// The memory figure first, before other benchmarks have used the heap.
BENCHMARK(BM_PeakRss4KCaptureAndCrop)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabShm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabPrimary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabQtWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropOnRelease4K)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NudgeTick4K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CrossHairMove4K)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv, zs::bench::Platform::DisplayIfPresent);
}
