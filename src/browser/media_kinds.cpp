#include "browser/media_kinds.h"

#include <algorithm>
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

const PlaceLists &listsFor(KindPlace place) {
    static const PlaceLists click{
        {".wma", ".mp3", ".wmv", ".mpg", ".mpe", "mpeg", ".avi", ".asf", ".mov"},
        {".wav", ".mid", ".rmi"},
        {".jpg", "jpeg", ".gif", ".bmp"}};
    static const PlaceLists next{{".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf", ".mpe"},
                                 {".wav", ".mid", ".rmi"},
                                 {"jpgt", ".jpg", "jpeg", ".gif", ".bmp"}};
    static const PlaceLists previous{
        {".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf", ".mpe"},
        {".wav", ".mid", ".rmi"},
        {".jpg", "jpeg", ".gif", ".bmp"}};
    static const PlaceLists refresh{{".wma", ".mp3", ".wmv", ".mpg", "mpeg", ".avi", ".asf"},
                                    {".wav", ".mid", ".rmi"},
                                    {".jpg", "jpeg", ".gif", ".bmp"}};
    static const PlaceLists commandLine{
        {".wma", ".mp3", ".mpe", ".mpg", "mpeg", ".avi", ".wmv"}, {}, {}};
    static const PlaceLists slideShow{{"mpeg", ".asf", ".mpg", ".mpe", ".avi", ".wmv"}, {}, {}};
    switch (place) {
    case KindPlace::ClickPreview:
        return click;
    case KindPlace::NextStep:
        return next;
    case KindPlace::PreviousStep:
        return previous;
    case KindPlace::Refresh:
        return refresh;
    case KindPlace::CommandLine:
        return commandLine;
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
        return MediaKind::Picture; // the picture loader gets everything else
    return MediaKind::Unrecognized;
}

bool isSlideShowMovie(const QString &path) {
    return classify(path, KindPlace::SlideShow) == MediaKind::Movie;
}

const std::array<FilterChoice, FilterCount> &filterChoices() {
    static const std::array<FilterChoice, FilterCount> choices{{
        {"Movies", "*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov", "avi-mpe-mpg-mpeg-asf-mov-wmv"},
        {"Pictues", "*.jpg;*.jpeg;*.gif;*.bmp", "jpg-jpeg-gif-bmp"},
        {"Movies & Pictues", "*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov;*.jpg;*.jpeg;*.gif;*.bmp",
         "avi-mpe-mpg-mpeg-asf-mov-wmv-jpg-jpeg-gif-bmp"},
        {"Music", "*.wma;*.mp3;*.wav;*.mid;*.rmi", "wma-mp3-wav-mid-rmi"},
        {"All",
         "*.wma;*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp;*.mp3;*.wav;*.mid;*.rmi;"
         "*asf;*mov",
         "avi-mpe-mpg-mpeg-asf-mov-wmv-wma-jpg-jpeg-gif-bmp-mp3-wav-mid-rmi"},
    }};
    return choices;
}

QString initialFilePattern() {
    return QStringLiteral("*.avi;*.mpg;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp");
}

QString musicFilePattern() {
    return QStringLiteral("*.mp3;*.wav;*.mid;*.rmi");
}

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
