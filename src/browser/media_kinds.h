#pragma once
// How a file is classified by its ending, and the patterns of the filter box.
// Each place that classifies files has its own list of endings; the lists differ
// on purpose (".mpe" is not refreshed as a movie, ".jpgt" is a picture on the next step
// only). The kinds of today's collections (PNG, WebP, MP4, FLAC and so on) and ".mov"
// are known at every place alike.

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace glimmerby {

enum class MediaKind { Movie, Sound, Picture, Unrecognized };

enum class KindPlace {
    ClickPreview, // a click in the file list
    NextStep,     // the next-file step
    PreviousStep, // the previous-file step
    Refresh,      // refresh and select after a command
    CommandLine,  // the file named on the command line
    SlideShow     // does the slide show wait for this file to end?
};

// The last four characters of the path, lower-cased (shorter paths give shorter keys).
QString endingKey(const QString &path);

// The kind of the file at the given place. CommandLine knows what a click knows and
// counts everything else as a picture; SlideShow answers only Movie or Unrecognized.
MediaKind classify(const QString &path, KindPlace place);

// True when the slide show waits for this file: the movie endings of the show.
bool isSlideShowMovie(const QString &path);

struct FilterChoice {
    QString entry;   // the text of the entry in the filter box
    QString pattern; // ";"-separated wildcard patterns of the file list
    QString toolTip; // the box's tool tip while the entry is chosen
};

inline constexpr int FilterCount = 5;
const std::array<FilterChoice, FilterCount> &filterChoices();

// The file list's pattern before the first filter choice.
QString initialFilePattern();
// The pattern of the hidden list of sound files that feeds the background music.
QString musicFilePattern();
// The endings of today's kinds as the tool tips write them ("mp4-m4v-..."), to be put
// after the existing endings of their kind.
QString newMovieTips();
QString newPictureTips();
QString newSoundTips();

// A compiled ";"-separated list of wildcard patterns, matched ignoring case.
class FilePattern {
  public:
    FilePattern() = default;
    explicit FilePattern(const QString &patterns);
    bool matches(const QString &name) const;
    const QString &text() const { return m_text; }

  private:
    struct Glob {
        QString text;   // lower-cased pattern
        QString suffix; // for the common "*tail" form: the tail, else empty
        bool isSuffix = false;
    };
    QString m_text;
    std::vector<Glob> m_globs;
};

// Plain wildcard matching ("*" any run, "?" one character), ignoring case.
bool wildcardMatch(const QString &pattern, const QString &name);

} // namespace glimmerby
