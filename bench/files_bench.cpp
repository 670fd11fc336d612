// Files: loading a 24-megapixel JPEG and saving a 4K picture as a BMP. Each
// figure is reported next to a baseline measured in the same run:
// libturbojpeg's own decode of the same file (read from disk into memory
// first, as the load reads it too) and a raw write of the same number of
// bytes to the same folder, with and without fsync (the save goes through
// a temporary file that is synced and renamed over the target).
// Runs offscreen on the fake services; files go to a temporary folder
// (TMPDIR).

#include "app/form1.h"
#include "bench/bench_support.h"
#include "files/picture_file.h"
#include "files/save_file.h"
#include "formats/bmp.h"
#include "services/fakes/fakes.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

using zs::bench::Clock;
using zs::bench::median;
using zs::bench::seconds;

template <typename Body> double medianOf(int runs, Body&& body) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        body();
        t.push_back(seconds(Clock::now() - t0));
    }
    return median(t);
}

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A photo-like 6000 x 4000 picture: smooth gradients with fine texture, so
// that the JPEG has the size of a camera's (several MB at quality 90).
QImage photoLike(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    std::uint32_t noise = 12345;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28);
            line[x] = qRgb((x * 255 / size.width() + n) & 0xFF,
                           (y * 255 / size.height() + n) & 0xFF, ((x + y) / 40 * 16 + n) & 0xFF);
        }
    }
    return img;
}

const QString& jpegFile() {
    static const QString path = [] {
        const QString p = scratch().filePath("photo.jpg");
        QImageWriter writer(p, "jpeg");
        writer.setQuality(90);
        writer.write(photoLike(QSize(6000, 4000)));
        return p;
    }();
    return path;
}

void BM_LoadJpeg24MP(benchmark::State& state) {
    const QString& path = jpegFile();
    // Baseline: read the file, then libturbojpeg decodes it to 32-bit BGRX
    // pixels, the layout of the picture the load makes, into freshly
    // allocated memory as every load does. The two run in turn, so that
    // both see the same load of the machine.
    tjhandle tj = tjInitDecompress();
    const auto turboDecode = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        const auto* jpeg = reinterpret_cast<const unsigned char*>(bytes.constData());
        const auto size = static_cast<unsigned long>(bytes.size());
        int w = 0, h = 0, sub = 0, cs = 0;
        tjDecompressHeader3(tj, jpeg, size, &w, &h, &sub, &cs);
        const std::unique_ptr<unsigned char[]> pixels(
            new unsigned char[static_cast<std::size_t>(w) * h * 4]);
        tjDecompress2(tj, jpeg, size, pixels.get(), w, 0, h, TJPF_BGRX, 0);
        benchmark::DoNotOptimize(pixels.get());
    };
    std::vector<double> load;
    std::vector<double> turboTimes;
    QSize size;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        turboDecode();
        const auto t1 = Clock::now();
        const QImage img = zs::files::loadPictureFile(path);
        load.push_back(seconds(Clock::now() - t1));
        turboTimes.push_back(seconds(t1 - t0));
        size = img.size();
    }
    // For reference: libturbojpeg decoding into a buffer it reuses, which
    // saves it the page faults of fresh memory.
    std::vector<unsigned char> reused(static_cast<std::size_t>(size.width()) * size.height() * 4);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const double turboReused = medianOf(7, [&] {
        tjDecompress2(tj, reinterpret_cast<const unsigned char*>(bytes.constData()),
                      static_cast<unsigned long>(bytes.size()), reused.data(), size.width(), 0,
                      size.height(), TJPF_BGRX, 0);
        benchmark::DoNotOptimize(reused.data());
    });
    tjDestroy(tj);
    const double turbo = median(turboTimes);
    // The whole "Load" command on the window: the picture is measured, the
    // surface and the scroll ranges follow it.
    zs::fakes::FakeServices fake;
    zs::app::Form1 f(fake.services);
    const double command = medianOf(5, [&] {
        fake.dialogs.answers = {path};
        f.Command9.click();
    });
    const double l = median(load);
    state.counters["load_ms"] = l * 1e3;
    state.counters["turbojpeg_ms"] = turbo * 1e3;
    state.counters["x_turbojpeg"] = turbo > 0 ? l / turbo : 0;
    state.counters["turbojpeg_reused_buffer_ms"] = turboReused * 1e3;
    state.counters["command_ms"] = command * 1e3;
    state.counters["megapixels"] = size.width() * size.height() / 1e6;
    state.counters["file_MB"] = static_cast<double>(QFile(path).size()) / 1e6;
}

void BM_SaveBmp4K(benchmark::State& state) {
    const QImage img = zs::fakes::patternImage(QSize(3840, 2160));
    const QString target = scratch().filePath("shot.bmp");
    const QString raw = scratch().filePath("raw.bin");
    const QByteArray bytes(static_cast<qsizetype>(54 + 3840 * 3 * 2160), 'x');
    const auto writeRaw = [&](bool sync) {
        QFile f(raw);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.flush();
        if (sync) {
            ::fsync(f.handle());
        }
    };
    // The three run in turn, so that all see the same state of the disk.
    std::vector<double> plainTimes;
    std::vector<double> syncedTimes;
    std::vector<double> save;
    std::vector<double> encodeTimes;
    const QString plainBmp = scratch().filePath("plain.bmp");
    for (auto _ : state) {
        const auto t0 = Clock::now();
        writeRaw(false);
        const auto t1 = Clock::now();
        writeRaw(true);
        const auto t2 = Clock::now();
        zs::files::saveBmpFile(img, target, 3780);
        const auto t3 = Clock::now();
        {
            // The writer alone, into a plain file without the sync and the
            // rename of a safe save.
            QFile f(plainBmp);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            zs::formats::BmpOptions options;
            options.dotsPerMeter = 3780;
            zs::formats::writeBmp(f, img, options);
        }
        const auto t4 = Clock::now();
        plainTimes.push_back(seconds(t1 - t0));
        syncedTimes.push_back(seconds(t2 - t1));
        save.push_back(seconds(t3 - t2));
        encodeTimes.push_back(seconds(t4 - t3));
    }
    const double plain = median(plainTimes);
    const double synced = median(syncedTimes);
    const double s = median(save);
    state.counters["save_ms"] = s * 1e3;
    state.counters["raw_write_ms"] = plain * 1e3;
    state.counters["raw_fsync_ms"] = synced * 1e3;
    state.counters["x_raw_write"] = plain > 0 ? s / plain : 0;
    state.counters["writer_only_ms"] = median(encodeTimes) * 1e3;
    state.counters["writer_only_x_raw_write"] = plain > 0 ? median(encodeTimes) / plain : 0;
    state.counters["x_raw_fsync"] = synced > 0 ? s / synced : 0;
    state.counters["file_MB"] = static_cast<double>(QFile(target).size()) / 1e6;
}

BENCHMARK(BM_LoadJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_SaveBmp4K)->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv);
}
