// Feeds arbitrary bytes to the BMP loader as a file.

#include "picture/cdibsection.h"
#include "quiet_boxes.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static const QString path =
        QDir::tempPath() + QStringLiteral("/fuzz_dib_load.%1.bmp").arg(::getpid());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    // Huge pictures that the bitmap may hold (up to 2^28 pixels) only slow the search.
    const QSize claimed = QImageReader(path, "bmp").size();
    if (qint64(claimed.width()) * claimed.height() > (qint64(1) << 22))
        return -1; // not kept in the corpus
    glimmerby::QuietBoxes boxes;
    glimmerby::cDIBSection dib;
    if (dib.Load(path, boxes)) {
        if (dib.dib_channels() != 3 || dib.dib_width() <= 0 || dib.dib_height() <= 0)
            std::abort();
        const QImage upright = dib.UprightImage();
        if (upright.width() != dib.dib_width())
            std::abort();
    }
    return 0;
}
