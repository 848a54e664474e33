#include "browser/media_kinds.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace glimmerby {
namespace {

using Keys = std::vector<const char *>;

bool inList(const QString &key, const Keys &keys) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const char *k) { return key == QLatin1String(k); });
}

struct PlaceLists {
    Keys movie;
    Keys sound;
    Keys picture;
};

// The kinds of today's collections, known at every place alike and tested after each
// place's own endings. Compressed sounds play in the movie player as ".mp3" does.
const Keys NewMovies{".mp4", ".m4v", ".mkv", "webm", ".3gp", ".mts", "m2ts", ".ogv"};
const Keys NewLoudSounds{"flac", ".ogg", ".oga", "opus", ".m4a", ".aac"};
const Keys NewSounds{"midi"};
const Keys NewPictures{".png", "webp", ".tif", "tiff", "heic", "heif", "avif", ".svg"};

Keys joined(Keys own, std::initializer_list<const Keys *> more) {
    for (const Keys *keys : more)
        own.insert(own.end(), keys->begin(), keys->end());
    return own;
}

PlaceLists withNewKinds(const Keys &movie, const Keys &sound, const Keys &picture) {
    return {joined(movie, {&NewMovies, &NewLoudSounds}), joined(sound, {&NewSounds}),
            joined(picture, {&NewPictures})};
}

const PlaceLists &listsFor(KindPlace place) {
    // ".mov" is what phones record: a movie at every place, not on a click only.
    static const PlaceLists click =
        withNewKinds({".wma", ".mp3", ".wmv", ".mpg", ".mpe", "mpeg", ".avi", ".asf", ".mov"},
                     {".wav", ".mid", ".rmi"}, {".jpg", "jpeg", ".gif", ".bmp"});
    static const PlaceLists next =
        withNewKinds({".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf", ".mpe", ".mov"},
                     {".wav", ".mid", ".rmi"}, {"jpgt", ".jpg", "jpeg", ".gif", ".bmp"});
    static const PlaceLists previous =
        withNewKinds({".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf", ".mpe", ".mov"},
                     {".wav", ".mid", ".rmi"}, {".jpg", "jpeg", ".gif", ".bmp"});
    static const PlaceLists refresh =
        withNewKinds({".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf", ".mov"},
                     {".wav", ".mid", ".rmi"}, {".jpg", "jpeg", ".gif", ".bmp"});
    static const PlaceLists slideShow{
        joined({"mpeg", ".asf", ".mpg", ".mpe", ".avi", ".wmv", ".mov"}, {&NewMovies}), {}, {}};
    switch (place) {
    case KindPlace::ClickPreview:
    case KindPlace::CommandLine: // the command line opens a file as a click does
        return click;
    case KindPlace::NextStep:
        return next;
    case KindPlace::PreviousStep:
        return previous;
    case KindPlace::Refresh:
        return refresh;
    case KindPlace::SlideShow:
        break;
    }
    return slideShow;
}

} // namespace

QString endingKey(const QString &path) {
    return path.right(4).toLower();
}

MediaKind classify(const QString &path, KindPlace place) {
    const QString key = endingKey(path);
    const PlaceLists &lists = listsFor(place);
    if (inList(key, lists.movie))
        return MediaKind::Movie;
    if (inList(key, lists.sound))
        return MediaKind::Sound;
    if (inList(key, lists.picture))
        return MediaKind::Picture;
    if (place == KindPlace::CommandLine)
        return MediaKind::Picture; // the picture loader gets what a click does not know
    return MediaKind::Unrecognized;
}

bool isSlideShowMovie(const QString &path) {
    return classify(path, KindPlace::SlideShow) == MediaKind::Movie;
}

// The endings of today's collections in the filter patterns and tool tips: each kind's
// after the existing endings.
#define GLIMMERBY_MOVIE_PATTERNS "*.mp4;*.m4v;*.mkv;*.webm;*.3gp;*.mts;*.m2ts;*.ogv"
#define GLIMMERBY_PICTURE_PATTERNS "*.png;*.webp;*.tif;*.tiff;*.heic;*.heif;*.avif;*.svg"
#define GLIMMERBY_SOUND_PATTERNS "*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.midi"
#define GLIMMERBY_MOVIE_TIPS "mp4-m4v-mkv-webm-3gp-mts-m2ts-ogv"
#define GLIMMERBY_PICTURE_TIPS "png-webp-tif-tiff-heic-heif-avif-svg"
#define GLIMMERBY_SOUND_TIPS "flac-ogg-oga-opus-m4a-aac-midi"

const std::array<FilterChoice, FilterCount> &filterChoices() {
    static const std::array<FilterChoice, FilterCount> choices{{
        {"Movies", "*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov;" GLIMMERBY_MOVIE_PATTERNS,
         "avi-mpe-mpg-mpeg-asf-mov-wmv-" GLIMMERBY_MOVIE_TIPS},
        {"Pictues", "*.jpg;*.jpeg;*.gif;*.bmp;" GLIMMERBY_PICTURE_PATTERNS,
         "jpg-jpeg-gif-bmp-" GLIMMERBY_PICTURE_TIPS},
        {"Movies & Pictues",
         "*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov;*.jpg;*.jpeg;*.gif;*.bmp;" //
         GLIMMERBY_MOVIE_PATTERNS ";" GLIMMERBY_PICTURE_PATTERNS,
         "avi-mpe-mpg-mpeg-asf-mov-wmv-jpg-jpeg-gif-bmp-" GLIMMERBY_MOVIE_TIPS
         "-" GLIMMERBY_PICTURE_TIPS},
        {"Music", "*.wma;*.mp3;*.wav;*.mid;*.rmi;" GLIMMERBY_SOUND_PATTERNS,
         "wma-mp3-wav-mid-rmi-" GLIMMERBY_SOUND_TIPS},
        {"All",
         "*.wma;*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp;*.mp3;*.wav;*.mid;*.rmi;"
         "*asf;*mov;" GLIMMERBY_MOVIE_PATTERNS ";" GLIMMERBY_PICTURE_PATTERNS
         ";" GLIMMERBY_SOUND_PATTERNS,
         "avi-mpe-mpg-mpeg-asf-mov-wmv-wma-jpg-jpeg-gif-bmp-mp3-wav-mid-rmi-" GLIMMERBY_MOVIE_TIPS
         "-" GLIMMERBY_PICTURE_TIPS "-" GLIMMERBY_SOUND_TIPS},
    }};
    return choices;
}

QString initialFilePattern() {
    return QStringLiteral("*.avi;*.mpg;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp");
}

QString musicFilePattern() {
    return QStringLiteral("*.mp3;*.wav;*.mid;*.rmi;" GLIMMERBY_SOUND_PATTERNS);
}

QString newMovieTips() {
    return QStringLiteral(GLIMMERBY_MOVIE_TIPS);
}
QString newPictureTips() {
    return QStringLiteral(GLIMMERBY_PICTURE_TIPS);
}
QString newSoundTips() {
    return QStringLiteral(GLIMMERBY_SOUND_TIPS);
}

#undef GLIMMERBY_MOVIE_PATTERNS
#undef GLIMMERBY_PICTURE_PATTERNS
#undef GLIMMERBY_SOUND_PATTERNS
#undef GLIMMERBY_MOVIE_TIPS
#undef GLIMMERBY_PICTURE_TIPS
#undef GLIMMERBY_SOUND_TIPS

FilePattern::FilePattern(const QString &patterns) : m_text(patterns) {
    for (const QString &part : patterns.split(u';', Qt::SkipEmptyParts)) {
        Glob g;
        g.text = part.trimmed().toLower();
        if (g.text.isEmpty())
            continue;
        // "*tail" with no other wildcard is by far the common form: compare the tail only.
        const QString tail = g.text.mid(1);
        if (g.text.startsWith(u'*') && !tail.contains(u'*') && !tail.contains(u'?')) {
            g.isSuffix = true;
            g.suffix = tail;
        }
        m_globs.push_back(std::move(g));
    }
}

bool FilePattern::matches(const QString &name) const {
    for (const Glob &g : m_globs) {
        if (g.isSuffix) {
            if (name.endsWith(g.suffix, Qt::CaseInsensitive))
                return true;
        } else if (wildcardMatch(g.text, name)) {
            return true;
        }
    }
    return false;
}

bool wildcardMatch(const QString &pattern, const QString &name) {
    // Iterative matcher with one back-tracking point for the last "*".
    qsizetype p = 0, n = 0, star = -1, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toLower() == name[n].toLower())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace glimmerby
