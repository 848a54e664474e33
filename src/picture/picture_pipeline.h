#pragma once
// The pixel work of the picture modification pipeline: load the source, apply at most one
// operation (resize or turn), and hand back the bitmap to be encoded. No window, no file
// written here.

#include "picture/cdibsection.h"

#include <QString>
#include <functional>

namespace glimmerby {

enum class PictureOperation { None, Resize, RotateLeft, RotateRight, Rotate180 };

// What a step word ("Convert", "Thumb", "ModifyCopy", "ModifyMove") does with the option
// `selected` of the "Chose Operation:" frame (0 "Restrict size To:", 1 to 3 the turns,
// -1 none): "Convert" nothing, "Thumb" always a resize and never a turn, the others what
// is selected.
PictureOperation ChooseOperation(const QString &stepWord, int selected);

// The long side of a resize: 79 for "Thumb" while the modification toggle is off,
// otherwise the size field's leading number plus 4.
double PipelineLongSide(const QString &stepWord, bool modifyEnabled, const QString &sizeText);

enum class PrepareOutcome {
    Ready,       // `out` holds the picture to encode
    NotLoaded,   // unreadable, damaged, not a picture or of zero size: nothing to say
    NoSize,      // the resize leaves no pixels (a long side under 1): nothing to say
    TooLarge,    // the result would be too big to write
    OutOfMemory, // scaling or turning could not get its memory
};

// Loads `source` silently and applies `operation`; `progress` receives the step texts
// ("Start Resize", "Start Rotate", "Rotateing", "Save Tmp.bmp", "Load Tmp.bmp") as the
// work reaches them. `out` is empty unless the outcome is Ready.
PrepareOutcome PreparePicture(const QString &source, PictureOperation operation, double longSide,
                              cDIBSection &out,
                              const std::function<void(const QString &)> &progress = {});

} // namespace glimmerby
