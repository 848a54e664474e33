#pragma once
// The desktop's shared thumbnail cache: PNG files under $XDG_CACHE_HOME/thumbnails, named
// by the MD5 of the file's URI and carrying that URI and the file's modification time, so
// that the thumbnails a file manager made are used here and ours serve the file manager.
// Everything here is window-free and may run on any thread.

#include <QImage>
#include <QString>
#include <cstdint>

namespace glimmerby {

// The two sizes of the cache: "normal" thumbnails fit in 128 x 128, "large" in 256 x 256.
enum class ThumbSize { Normal, Large };

int thumbPixels(ThumbSize size);       // 128 or 256
QString thumbSizeName(ThumbSize size); // "normal" or "large"
// The size whose thumbnails cover a cell of iconPixels without being enlarged.
ThumbSize thumbSizeFor(int iconPixels);

// "file://" and the path's bytes escaped as the desktop's file managers escape them
// (letters, digits and !$&'()*+,-./:=@_~ stay, everything else becomes %XX). The path is
// made absolute and clean first (no "." or ".." parts, no doubled "/").
QString fileUriOf(const QString &path);
// The cache file's name for a URI: 32 lowercase hex digits of its MD5 and ".png".
QString thumbFileNameFor(const QString &uri);

// The cache's root: $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when the variable
// is unset or not an absolute path. No trailing "/".
QString thumbnailRootFromEnvironment();

// What the cache knows about one file.
struct ThumbLookup {
    enum class State { Missing, Fresh, Failed } state = State::Missing;
    QImage image; // Fresh: the thumbnail as stored
};

class ThumbnailCache {
  public:
    explicit ThumbnailCache(QString root = thumbnailRootFromEnvironment());

    const QString &root() const { return m_root; }
    // Where the thumbnail of uri is kept in the given size, and where a failure to make
    // one is recorded.
    QString thumbPath(const QString &uri, ThumbSize size) const;
    QString failPath(const QString &uri) const;

    // The stored thumbnail of path when its Thumb::URI and Thumb::MTime match the file
    // (mtime in whole seconds); Failed when our own failure record for this version of the
    // file exists; Missing otherwise (nothing stored, stale, or unreadable).
    ThumbLookup find(const QString &path, std::int64_t mtime, ThumbSize size) const;

    // Stores a thumbnail of path (fitted into the size's square by the caller) with
    // Thumb::URI, Thumb::MTime, Thumb::Size and the picture's natural size when known,
    // written to a temporary and renamed into place. False when it could not be written.
    bool store(const QString &path, std::int64_t mtime, std::int64_t fileSize,
               const QImage &thumbnail, ThumbSize size, QSize natural = {}) const;
    // Records that no thumbnail can be made of this version of the file.
    bool storeFailure(const QString &path, std::int64_t mtime, std::int64_t fileSize) const;

    // The name this program files its failures under, inside fail/.
    static constexpr char FailFolder[] = "glimmerby-1.0";

  private:
    bool writePng(const QString &target, const QImage &image) const;
    QString m_root;
};

// Whether path lies inside the cache itself: its thumbnails are never thumbnailed.
bool isInsideThumbnailCache(const QString &path, const QString &root);

} // namespace glimmerby
