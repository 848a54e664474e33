// Times the picture pipeline of the core library against the usual command-line tools on
// the same files, all on one core (ours pinned, the tools under taskset -c 0 with their
// thread counts at 1). Medians of 5 runs. Goals:
//   "Thumb" of 100 4000 x 3000 JPEGs       <= 0.7 x one vipsthumbnail -s 79 call over them
//   the same tagged EXIF Orientation 6     the same ratio (both turn them upright)
//   "ModifyCopy" Rotate 90 Left at q90      <= 0.5 x convert -rotate 90 -quality 90
//                                           <= 1.3 x jpegtran -rotate 270
//   "Convert" q90 of a 4000 x 3000 24-bit BMP and of a 1600 x 1200 256-colour GIF
//                                           <= 1.2 x cjpeg -quality 90
// Usage: pipeline_benchmark [DIR]   (default: a directory on /dev/shm)

#include "picture/picture_pipeline.h"
#include "support/bench_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sched.h>
#include <vector>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

class PrintedBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &title, BoxIcon) override {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
    }
};

int Runs = 5, Files = 100;

// Smooth colour fields under noise, as the codec benchmark makes them.
QImage MakePicture(int width, int height, std::uint32_t seed) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 27) - 16;
            p[0] = uchar(std::clamp((x / 24) % 256 + noise, 0, 255));
            p[1] = uchar(std::clamp((y / 16) % 256 + noise, 0, 255));
            p[2] = uchar(std::clamp(((x + y) / 40) % 256 + noise, 0, 255));
        }
    }
    return image;
}

bool WritePpm(const QImage &rgb, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray("P6\n") + QByteArray::number(rgb.width()) + ' ' +
               QByteArray::number(rgb.height()) + "\n255\n");
    for (int y = 0; y < rgb.height(); ++y)
        if (file.write(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3) !=
            rgb.width() * 3)
            return false;
    return file.flush();
}

double MedianMs(const std::function<bool()> &run) {
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!run())
            cannotRun(QStringLiteral("a run failed"));
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A tool on core 0 with one thread.
bool Tool(const QString &program, const QStringList &arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VIPS_CONCURRENCY", "1");
    env.insert("MAGICK_THREAD_LIMIT", "1");
    env.insert("OMP_NUM_THREADS", "1");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start("taskset", QStringList{"-c", "0", program} + arguments);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One file through the core pipeline, as ModifyPicture does it.
bool Ours(IJL &ijl, const QString &source, PictureOperation operation, double longSide,
          const QString &target) {
    cDIBSection picture;
    return PreparePicture(source, operation, longSide, picture) == PrepareOutcome::Ready &&
           ijl.JpegWriteFile(picture, target, 90, true) == JpegCode::Ok;
}

void Report(const char *what, double ours, const char *tool, double theirs, double goal) {
    const double ratio = ours / theirs;
    std::printf("%-34s ours %8.1f ms  %-22s %8.1f ms  ratio %.3f (goal <= %.1f) %s\n", what, ours,
                tool, theirs, ratio, goal, ratio <= goal ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    startBenchmark(argv[0]);
    // Arguments: DIR, files (100), runs (5).
    Files = intArgument(argc, argv, 2, Files);
    Runs = intArgument(argc, argv, 3, Runs);
    requireTools({"taskset", "vipsthumbnail", "convert", "jpegtran", "cjpeg"},
                 QStringLiteral("util-linux, libvips-tools, imagemagick, libjpeg-turbo-progs"));
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0)
        std::fprintf(stderr, "could not pin to core 0\n");

    const QString base =
        argc > 1 && argv[1][0] ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/dev/shm");
    QTemporaryDir dir(base + "/glimmerby-bench-XXXXXX");
    if (!dir.isValid())
        cannotRun(QStringLiteral("no temporary directory under ") + base);
    const QString in = dir.filePath("in"), out = dir.filePath("out"), vips = dir.filePath("vips");
    QDir().mkpath(in);
    QDir().mkpath(out);
    QDir().mkpath(vips);
    std::printf("files in %s\n", qPrintable(dir.path()));

    // 100 JPEGs of 4000 x 3000 at q90 (a few different pictures, copied).
    const QString ppm = dir.filePath("big.ppm"), bmp = dir.filePath("big.bmp");
    const QImage big = MakePicture(4000, 3000, 12345);
    if (!WritePpm(big, ppm) || !big.save(bmp, "BMP"))
        cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
    QStringList jpegs;
    for (int i = 0; i < Files; ++i) {
        const QString path = in + QString("/p%1.jpg").arg(i, 3, 10, QChar('0'));
        if (i < 4) {
            const QString pi = dir.filePath(QString("v%1.ppm").arg(i));
            if (!WritePpm(MakePicture(4000, 3000, 777 + i), pi) ||
                !Tool("cjpeg", {"-quality", "90", "-outfile", path, pi}))
                cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
        } else if (!QFile::copy(jpegs[i % 4], path)) {
            cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
        }
        jpegs << path;
    }
    const QString gifSource = dir.filePath("gif.ppm"), gif = dir.filePath("small.gif");
    if (!WritePpm(MakePicture(1600, 1200, 4242), gifSource) ||
        !Tool("convert", {gifSource, "-colors", "256", gif}))
        cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
    std::printf("%d JPEGs of 4000 x 3000 (%lld bytes each), BMP %lld bytes, GIF %lld bytes\n",
                Files, QFile(jpegs[0]).size(), QFile(bmp).size(), QFile(gif).size());

    PrintedBoxes boxes;
    IJL ijl(boxes);

    const double ourThumbs = MedianMs([&] {
        for (const QString &j : jpegs)
            if (!Ours(ijl, j, PictureOperation::Resize, 79,
                      out + "/" + QFileInfo(j).completeBaseName() + "_s.JPG"))
                return false;
        return true;
    });
    const double vipsThumbs = MedianMs([&] {
        return Tool("vipsthumbnail", QStringList{"-s", "79", "-o", vips + "/%s_s.jpg"} + jpegs);
    });
    Report("Thumb of the files", ourThumbs, "vipsthumbnail -s 79", vipsThumbs, 0.7);

    // The same files tagged EXIF Orientation 6 (a phone held upright): both sides turn them.
    const QString in6 = dir.filePath("in6");
    QDir().mkpath(in6);
    QStringList tagged;
    for (const QString &j : jpegs) {
        QFile source(j), target(in6 + "/" + QFileInfo(j).fileName());
        if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
            cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
        const QByteArray bytes = source.readAll();
        const QByteArray exif("\xff\xe1\x00\x22"
                              "Exif\0\0II\x2a\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00"
                              "\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00",
                              36);
        if (target.write(bytes.left(2) + exif + bytes.mid(2)) != bytes.size() + 36)
            cannotRun(QStringLiteral("cannot make the pictures in ") + dir.path());
        tagged << target.fileName();
    }
    const double ourTagged = MedianMs([&] {
        for (const QString &j : tagged)
            if (!Ours(ijl, j, PictureOperation::Resize, 79,
                      out + "/" + QFileInfo(j).completeBaseName() + "_s.JPG"))
                return false;
        return true;
    });
    const double vipsTagged = MedianMs([&] {
        return Tool("vipsthumbnail", QStringList{"-s", "79", "-o", vips + "/%s_s.jpg"} + tagged);
    });
    Report("Thumb of the files tagged 6", ourTagged, "vipsthumbnail -s 79", vipsTagged, 0.7);

    const QString turned = dir.filePath("turned.JPG");
    const double ourTurn =
        MedianMs([&] { return Ours(ijl, jpegs[0], PictureOperation::RotateLeft, 0, turned); });
    const double magickTurn = MedianMs([&] {
        return Tool("convert",
                    {jpegs[0], "-rotate", "90", "-quality", "90", dir.filePath("magick.jpg")});
    });
    const double jpegtranTurn = MedianMs([&] {
        return Tool("jpegtran", {"-rotate", "270", "-outfile", dir.filePath("tran.jpg"), jpegs[0]});
    });
    Report("ModifyCopy Rotate 90 Left q90", ourTurn, "convert -rotate 90", magickTurn, 0.5);
    Report("ModifyCopy Rotate 90 Left q90", ourTurn, "jpegtran -rotate 270", jpegtranTurn, 1.3);

    const double ourBmp = MedianMs(
        [&] { return Ours(ijl, bmp, PictureOperation::None, 0, dir.filePath("bmp.JPG")); });
    const double cjpegBmp = MedianMs([&] {
        return Tool("cjpeg", {"-quality", "90", "-outfile", dir.filePath("cbmp.jpg"), bmp});
    });
    Report("Convert 4000x3000 24-bit BMP q90", ourBmp, "cjpeg -quality 90", cjpegBmp, 1.2);

    const double ourGif = MedianMs(
        [&] { return Ours(ijl, gif, PictureOperation::None, 0, dir.filePath("gif.JPG")); });
    const double cjpegGif = MedianMs([&] {
        return Tool("cjpeg", {"-quality", "90", "-outfile", dir.filePath("cgif.jpg"), gif});
    });
    Report("Convert 1600x1200 256-colour GIF", ourGif, "cjpeg -quality 90", cjpegGif, 1.2);
    return 0;
}
