// Times the codec adapter on a 6000 x 4000 picture against libjpeg-turbo's own command-line
// tools on the same files:
//   decode: LoadJpegFile into WorkDib      vs  djpeg -bmp -outfile /dev/null
//   encode: JpegWrite at quality 90        vs  cjpeg -quality 90 (from a PPM)
// Each is run several times and the median taken. Goal: both ratios at most 1.1.

#include "support/bench_support.h"

#include <functional>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

class PrintedBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &title, BoxIcon) override {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
    }
};

int Width = 6000, Height = 4000, Runs = 5;

// Smooth colour fields under noise, so the file is about the size of a real photo's.
QImage MakePicture() {
    QImage image(Width, Height, QImage::Format_RGB888);
    std::uint32_t seed = 12345;
    for (int y = 0; y < Height; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < Width; ++x, p += 3) {
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

bool Tool(const QString &program, const QStringList &arguments) {
    return QProcess::execute(program, arguments) == 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    startBenchmark(argv[0]);
    // Arguments: runs (5), picture width (6000; the height is two thirds of it).
    Runs = intArgument(argc, argv, 1, Runs);
    Width = intArgument(argc, argv, 2, Width, 16);
    Height = Width * 2 / 3;
    requireTools({"djpeg", "cjpeg"}, QStringLiteral("libjpeg-turbo-progs"));
    const QString djpeg = QStandardPaths::findExecutable("djpeg");
    const QString cjpeg = QStandardPaths::findExecutable("cjpeg");
    QTemporaryDir dir;
    if (!dir.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const QString ppm = dir.filePath("source.ppm"), jpeg = dir.filePath("source.jpg");
    const QImage picture = MakePicture();
    if (!WritePpm(picture, ppm) || !Tool(cjpeg, {"-quality", "90", "-outfile", jpeg, ppm}))
        cannotRun(QStringLiteral("cannot make the source picture"));
    std::printf("picture %d x %d, JPEG %lld bytes\n", Width, Height, QFile(jpeg).size());

    PrintedBoxes boxes;
    IJL ijl(boxes);
    const double ourDecode = MedianMs([&] { return ijl.LoadJpegFile(jpeg); });
    const double toolDecode = MedianMs([&] {
        return Tool(djpeg, {"-bmp", "-outfile", "/dev/null", jpeg});
    });

    cDIBSection source;
    if (!source.SetFromImage(picture))
        cannotRun(QStringLiteral("cannot take the picture into a bitmap"));
    const QString ours = dir.filePath("ours.jpg"), theirs = dir.filePath("theirs.jpg");
    const double ourEncode = MedianMs([&] { return ijl.JpegWrite(source, ours, 90); });
    const double toolEncode = MedianMs([&] {
        return Tool(cjpeg, {"-quality", "90", "-outfile", theirs, ppm});
    });

    std::printf("decode: LoadJpegFile %.1f ms, djpeg -bmp %.1f ms, ratio %.3f\n", ourDecode,
                toolDecode, ourDecode / toolDecode);
    std::printf("encode: JpegWrite q90 %.1f ms (%lld bytes), cjpeg -quality 90 %.1f ms "
                "(%lld bytes), ratio %.3f\n",
                ourEncode, QFile(ours).size(), toolEncode, QFile(theirs).size(),
                ourEncode / toolEncode);
    std::printf("goal: both ratios at most 1.1\n");
    return 0;
}
