// Long sessions: 1,000 captures with a crop each, 10,000 nudge ticks,
// 100,000 pen segments and 1,000 loads of good and bad files, each on one
// window. After every thousand operations (every hundred captures or loads)
// it samples the resident memory, the open files, the shared-memory segments
// this process created and its resources in the X server (pixmaps and all),
// and reports how far each strays from the first sample (the baseline, taken
// once the caches have filled). The series goes to standard error.
//
// Under X11 the captures grab the real screen (shared memory when the server
// offers it) and crops go to the real clipboard; run it on a virtual screen:
//   xvfb-run -s "-screen 0 1920x1080x24" build/bench/soak_bench
// Offscreen it runs on the fake screen and clipboard, without the X figures.

#include "app/form1.h"
#include "bench/bench_support.h"
#include "clipboard/qt_clipboard.h"
#include "screen/backend_choice.h"
#include "services/fakes/fakes.h"
#include "services/qt/qt_services.h"
#include "services/qt/x11_connection.h"
#include "services/screen_capture.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <xcb/res.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using zs::bench::Clock;
using zs::bench::seconds;

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// ---------------------------------------------------------------- samples

struct Sample {
    double rssMiB = 0;
    long long openFiles = 0;
    long long shmSegments = 0; // created by this process and not yet removed
    long long pixmaps = -1;    // -1: not on X11
    long long xResources = -1;
};

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

long long openFiles() {
    long long n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++n;
    }
    return n;
}

// System V segments whose creator is this process (column cpid of
// /proc/sysvipc/shm); a segment marked for removal leaves the table when its
// last user detaches.
long long ownShmSegments() {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line); // header
    const long long self = getpid();
    long long n = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long long key = 0;
        long long id = 0;
        long long perms = 0;
        long long size = 0;
        long long cpid = 0;
        fields >> key >> id >> perms >> size >> cpid;
        n += cpid == self ? 1 : 0;
    }
    return n;
}

// This client's resources in the X server, through the X-Resource
// extension: pixmaps, and all types together.
void xResources(Sample& s) {
    xcb_connection_t* c = zs::x11::connection();
    if (c == nullptr) {
        return;
    }
    const uint32_t base = xcb_get_setup(c)->resource_id_base;
    xcb_res_query_client_resources_reply_t* reply =
        xcb_res_query_client_resources_reply(c, xcb_res_query_client_resources(c, base), nullptr);
    if (reply == nullptr) {
        return;
    }
    xcb_intern_atom_reply_t* pixmap =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 6, "PIXMAP"), nullptr);
    s.pixmaps = 0;
    s.xResources = 0;
    for (auto it = xcb_res_query_client_resources_types_iterator(reply); it.rem > 0;
         xcb_res_type_next(&it)) {
        s.xResources += it.data->count;
        if (pixmap != nullptr && it.data->resource_type == pixmap->atom) {
            s.pixmaps += it.data->count;
        }
    }
    free(pixmap);
    free(reply);
}

Sample sample() {
    Sample s;
    s.rssMiB = residentMiB();
    s.openFiles = openFiles();
    s.shmSegments = ownShmSegments();
    if (onX11()) {
        xResources(s);
    }
    return s;
}

// ---------------------------------------------------------------- window

// The window on fake services but for the screen and the clipboard, which
// are the real ones under X11. The fake event pump makes every wait
// instant.
struct Window {
    Window() {
        const QSize size(1920, 1080);
        fake.screen.size = size;
        fake.screen.available = QRect(QPoint(0, 0), size);
        fake.capture.content = zs::fakes::patternImage(size);
        if (onX11()) {
            // The backend the program would choose: shared memory when the
            // server offers it.
            qtCapture = zs::chooseScreenCapture(zs::CaptureSession::current());
        }
        services = std::make_unique<zs::Services>(zs::Services{
            onX11() ? static_cast<zs::IScreen&>(qtScreen) : fake.screen,
            qtCapture ? *qtCapture : static_cast<zs::IScreenCapture&>(fake.capture),
            fake.windowOrder, fake.pump,
            onX11() ? static_cast<zs::IClipboard&>(qtClipboard) : fake.clipboard, fake.dialogs,
            fake.printer, fake.pointer, fake.messages, fake.application});
        f = std::make_unique<zs::app::Form1>(*services);
        f->start();
        settle();
    }
    ~Window() {
        f.reset();
        settle();
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
        }
    }
    // What the fakes keep of their calls is scaffolding, not the program.
    void clearFakes() {
        fake.log.clear();
        fake.dialogs.requests.clear();
        fake.messages.errors.clear();
    }
    // A capture of the screen and a crop of it, 200 x 150 pixels at a place
    // that moves with `i`.
    void captureAndCrop(int i) const {
        f->Command1_Click(5);
        const auto x = static_cast<float>(15 * (10 + (i % 50) * 7));
        const auto y = static_cast<float>(15 * (10 + (i % 30) * 5));
        f->capture.FormScreenCapture_MouseDown(1, 0, x, y);
        f->capture.FormScreenCapture_MouseMove(1, 0, x + 3000, y + 2250);
        f->capture.FormScreenCapture_MouseUp(1, 0, x + 3000, y + 2250);
    }

    zs::fakes::FakeServices fake;
    zs::QtScreen qtScreen;
    std::unique_ptr<zs::IScreenCapture> qtCapture;
    zs::QtClipboard qtClipboard;
    std::unique_ptr<zs::Services> services;
    std::unique_ptr<zs::app::Form1> f;
};

// ---------------------------------------------------------------- the soak

// Runs `step` `total` times (1-based), sampling after every `every`, and
// reports the drift of each later sample from the first.
void soak(benchmark::State& state, const char* what, Window& w, int total, int every,
          const std::function<void(int)>& step) {
    std::vector<Sample> samples;
    double stepSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int i = 1; i <= total; ++i) {
            step(i);
            if (i % every == 0) {
                Window::settle();
                w.clearFakes();
                samples.push_back(sample());
            }
        }
        stepSeconds = seconds(Clock::now() - t0) / total;
    }
    if (samples.empty()) {
        state.SkipWithError("no samples");
        return;
    }
    const Sample& first = samples.front();
    double drift = 0;
    long long files = 0;
    long long shm = 0;
    long long pixmaps = 0;
    long long xres = 0;
    std::fprintf(stderr, "%s: after every %d, MiB resident / open files / shm / pixmaps / X ids\n",
                 what, every);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const Sample& s = samples[k];
        drift = std::max(drift, std::abs(s.rssMiB - first.rssMiB) / first.rssMiB * 100);
        files = std::max(files, s.openFiles - first.openFiles);
        shm = std::max(shm, s.shmSegments - first.shmSegments);
        pixmaps = std::max(pixmaps, s.pixmaps - first.pixmaps);
        xres = std::max(xres, s.xResources - first.xResources);
        std::fprintf(stderr, "  %5zu: %8.2f %4lld %3lld %5lld %6lld\n",
                     (k + 1) * static_cast<std::size_t>(every), s.rssMiB, s.openFiles,
                     s.shmSegments, s.pixmaps, s.xResources);
    }
    state.counters["step_ms"] = stepSeconds * 1e3;
    state.counters["rss_first_MiB"] = first.rssMiB;
    state.counters["rss_last_MiB"] = samples.back().rssMiB;
    state.counters["rss_max_drift_pct"] = drift;
    state.counters["goal_drift_pct"] = 1;
    state.counters["fds_growth"] = static_cast<double>(files);
    state.counters["shm_growth"] = static_cast<double>(shm);
    if (first.pixmaps >= 0) {
        state.counters["pixmaps_growth"] = static_cast<double>(pixmaps);
        state.counters["x_ids_growth"] = static_cast<double>(xres);
    }
}

void BM_SoakCaptureAndCrop(benchmark::State& state) {
    Window w;
    w.captureAndCrop(0); // the first capture fills the caches
    soak(state, "captures", w, 1000, 100, [&](int i) {
        w.captureAndCrop(i);
        Window::settle();
    });
    state.SetLabel(onX11() ? "X11 grab, Qt clipboard" : "fake screen and clipboard");
}

void BM_SoakNudgeTicks(benchmark::State& state) {
    Window w;
    w.captureAndCrop(0);
    auto& f = *w.f;
    bool right = true;
    long long moved = 0; // ticks that moved the rectangle: the work was done
    soak(state, "nudge ticks", w, 10000, 1000, [&](int i) {
        // Back and forth, so the rectangle stays in view.
        if (i % 30 == 1) {
            f.capture.Image2_MouseUp(1, 1, 0, 0, 0);
            f.capture.Image2_MouseDown(right ? 1 : 3, 1, 0, 0, 0);
            right = !right;
        }
        const float before = f.Shape1.left();
        f.form.run("Timer", [&] { f.Timer1.fire(); });
        QCoreApplication::processEvents();
        moved += f.Shape1.left() != before ? 1 : 0;
    });
    f.capture.Image2_MouseUp(1, 1, 0, 0, 0);
    state.counters["ticks_that_moved"] = static_cast<double>(moved);
}

void BM_SoakPenSegments(benchmark::State& state) {
    Window w;
    w.captureAndCrop(0);
    auto& f = *w.f;
    f.Command5.click(); // the editor
    Window::settle();
    const QImage before = f.Picture6.image().copy();
    soak(state, "pen segments", w, 100000, 1000, [&](int i) {
        // Strokes of 100 segments of 10 pixels zigzagging over the canvas.
        if (i % 100 == 1) {
            f.editor.Picture6_MouseUp(zs::kLeftButton, 0, 0, 0);
            f.editor.Picture6_MouseDown(zs::kLeftButton, 0, 150, static_cast<float>(150 + i % 7));
        }
        const auto x = static_cast<float>(15 * (10 + (i % 100) * 1.8));
        const auto y = static_cast<float>(15 * (10 + (i % 2) * 10 + (i / 100) % 120));
        f.editor.Picture6_MouseMove(zs::kLeftButton, 0, x, y);
        if (i % 10 == 0) {
            QCoreApplication::processEvents();
        }
    });
    f.editor.Picture6_MouseUp(zs::kLeftButton, 0, 0, 0);
    // The pixels the pen changed: the strokes were drawn.
    const QImage after = f.Picture6.image();
    long long drawn = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y) {
        for (int x = 0; x < std::min(before.width(), after.width()); ++x) {
            drawn += before.pixel(x, y) != after.pixel(x, y) ? 1 : 0;
        }
    }
    state.counters["pixels_drawn"] = static_cast<double>(drawn);
    state.counters["canvas_px"] = static_cast<double>(after.width()) * after.height();
}

// Good and bad pictures, each loaded in turn through the Load dialog.
std::vector<QString> pictureFiles(const QTemporaryDir& dir) {
    std::vector<QString> paths;
    const QImage picture = zs::fakes::patternImage(QSize(1024, 768));
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
        }
        paths.push_back(file.fileName());
    };
    const auto encoded = [&](const char* format, const QImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, format).write(image);
        return bytes;
    };
    const QByteArray jpeg = encoded("jpeg", picture);
    write("good.jpg", jpeg);
    write("good.png", encoded("png", picture.convertToFormat(QImage::Format_ARGB32)));
    write("good.bmp", encoded("bmp", picture));
    write("good.gif", encoded("gif", picture.scaled(320, 240)));
    write("cut.jpg", jpeg.left(jpeg.size() / 2));
    write("text.jpg", QByteArray("not a picture at all"));
    write("empty.jpg", QByteArray());
    write("canvas.gif", QByteArray("GIF89a\x00\x0c\xff\xb5\x34\x00\x00\x2c\x35\x35\x00\x10\x01\x02"
                                   "\x00\x00\x3b",
                                   23));
    paths.push_back(dir.filePath(QStringLiteral("missing.jpg")));
    return paths;
}

void BM_SoakLoads(benchmark::State& state) {
    QTemporaryDir dir;
    const std::vector<QString> paths = pictureFiles(dir);
    Window w;
    auto& f = *w.f;
    long long refused = 0;
    soak(state, "loads", w, 1000, 100, [&](int i) {
        const std::size_t before = w.fake.messages.errors.size();
        w.fake.dialogs.answers = {paths[static_cast<std::size_t>(i) % paths.size()]};
        f.Command9.click();
        Window::settle();
        refused += static_cast<long long>(w.fake.messages.errors.size() - before);
    });
    state.counters["refused"] = static_cast<double>(refused);
    state.counters["files"] = static_cast<double>(paths.size());
}

BENCHMARK(BM_SoakCaptureAndCrop)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SoakNudgeTicks)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SoakPenSegments)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SoakLoads)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv, zs::bench::Platform::DisplayIfPresent);
}
