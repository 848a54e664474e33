#include "browser/thumbnail_cache.h"

#include "app/file_ops.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

int thumbPixels(ThumbSize size) {
    return size == ThumbSize::Large ? 256 : 128;
}

QString thumbSizeName(ThumbSize size) {
    return size == ThumbSize::Large ? QStringLiteral("large") : QStringLiteral("normal");
}

ThumbSize thumbSizeFor(int iconPixels) {
    return iconPixels > 128 ? ThumbSize::Large : ThumbSize::Normal;
}

namespace {

// The bytes a file URI's path keeps as they are; everything else is %XX-escaped. These
// are the unreserved and the sub-delimiting characters with ':', '@' and '/'.
bool keptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case '=':
    case ':':
    case '@':
    case '/':
        return true;
    default:
        return false;
    }
}

std::int64_t storedMTime(const QString &text, bool &ok) {
    // Some writers store a fraction; the whole seconds are what is compared.
    const qsizetype dot = text.indexOf(u'.');
    return (dot < 0 ? text : text.left(dot)).trimmed().toLongLong(&ok);
}

bool makePrivateDirs(const QString &dir) {
    if (QFileInfo(dir).isDir())
        return true;
    const QString parent = QFileInfo(dir).path();
    if (parent != dir && !makePrivateDirs(parent))
        return false;
    // The cache is the user's alone.
    return ::mkdir(QFile::encodeName(dir).constData(), 0700) == 0 || errno == EEXIST;
}

} // namespace

QString fileUriOf(const QString &path) {
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QByteArray bytes = QFile::encodeName(clean);
    QByteArray uri("file://");
    uri.reserve(bytes.size() * 3 + 7);
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInUri(c)) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(hex[c >> 4]);
            uri.append(hex[c & 15]);
        }
    }
    return QString::fromLatin1(uri);
}

QString thumbFileNameFor(const QString &uri) {
    return QString::fromLatin1(
               QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

QString thumbnailRootFromEnvironment() {
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg) + QStringLiteral("/thumbnails");
    return QDir::cleanPath(QDir::homePath()) + QStringLiteral("/.cache/thumbnails");
}

bool isInsideThumbnailCache(const QString &path, const QString &root) {
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    return clean.startsWith(root + u'/');
}

ThumbnailCache::ThumbnailCache(QString root) : m_root(std::move(root)) {}

QString ThumbnailCache::thumbPath(const QString &uri, ThumbSize size) const {
    return m_root + u'/' + thumbSizeName(size) + u'/' + thumbFileNameFor(uri);
}

QString ThumbnailCache::failPath(const QString &uri) const {
    return m_root + QStringLiteral("/fail/") + QLatin1String(FailFolder) + u'/' +
           thumbFileNameFor(uri);
}

ThumbLookup ThumbnailCache::find(const QString &path, std::int64_t mtime, ThumbSize size) const {
    ThumbLookup result;
    const QString uri = fileUriOf(path);
    const auto matches = [&](const QImage &image) {
        bool ok = false;
        const std::int64_t stored = storedMTime(image.text(QStringLiteral("Thumb::MTime")), ok);
        return ok && stored == mtime && image.text(QStringLiteral("Thumb::URI")) == uri;
    };
    {
        QImageReader reader(thumbPath(uri, size), "png");
        QImage image;
        if (reader.read(&image) && matches(image)) {
            result.state = ThumbLookup::State::Fresh;
            result.image = std::move(image);
            return result;
        }
    }
    QImageReader fail(failPath(uri), "png");
    QImage mark;
    if (fail.read(&mark) && matches(mark))
        result.state = ThumbLookup::State::Failed;
    return result;
}

bool ThumbnailCache::writePng(const QString &target, const QImage &image) const {
    const QFileInfo info(target);
    if (!makePrivateDirs(info.path()))
        return false;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(80); // light compression: thumbnails are written by the thousand
        if (!writer.write(image))
            return false;
    }
    // A reader never sees half a file: the bytes go to a temporary beside the target,
    // which is then renamed over it.
    QString temp;
    const int fd = CreateTemporaryFile(info.path(), info.fileName(), temp);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    const int written =
        WriteAll(fd, reinterpret_cast<const unsigned char *>(png.constData()), png.size());
    const bool closed = ::close(fd) == 0;
    if (written != 0 || !closed ||
        std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) !=
            0) {
        ::unlink(QFile::encodeName(temp).constData());
        return false;
    }
    return true;
}

static void setKeys(QImage &image, const QString &uri, std::int64_t mtime, std::int64_t fileSize) {
    image.setText(QStringLiteral("Thumb::URI"), uri);
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
    if (fileSize >= 0)
        image.setText(QStringLiteral("Thumb::Size"), QString::number(fileSize));
    image.setText(QStringLiteral("Software"), QStringLiteral("Glimmerby"));
}

bool ThumbnailCache::store(const QString &path, std::int64_t mtime, std::int64_t fileSize,
                           const QImage &thumbnail, ThumbSize size, QSize natural) const {
    if (thumbnail.isNull())
        return false;
    QImage image = thumbnail;
    const QString uri = fileUriOf(path);
    setKeys(image, uri, mtime, fileSize);
    if (natural.isValid() && !natural.isEmpty()) {
        image.setText(QStringLiteral("Thumb::Image::Width"), QString::number(natural.width()));
        image.setText(QStringLiteral("Thumb::Image::Height"), QString::number(natural.height()));
    }
    return writePng(thumbPath(uri, size), image);
}

bool ThumbnailCache::storeFailure(const QString &path, std::int64_t mtime,
                                  std::int64_t fileSize) const {
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    const QString uri = fileUriOf(path);
    setKeys(mark, uri, mtime, fileSize);
    return writePng(failPath(uri), mark);
}

} // namespace glimmerby
