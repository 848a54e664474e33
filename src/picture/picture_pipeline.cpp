#include "picture/picture_pipeline.h"

#include "picture/bmp_rotate.h"
#include "picture/picture_scale.h"
#include "picture/silent_loader.h"

namespace glimmerby {

PictureOperation ChooseOperation(const QString &stepWord, int selected) {
    if (stepWord == QLatin1String("Thumb"))
        return PictureOperation::Resize;
    if (stepWord != QLatin1String("ModifyCopy") && stepWord != QLatin1String("ModifyMove"))
        return PictureOperation::None;
    switch (selected) {
    case 0:
        return PictureOperation::Resize;
    case 1:
        return PictureOperation::RotateLeft;
    case 2:
        return PictureOperation::RotateRight;
    case 3:
        return PictureOperation::Rotate180;
    default:
        return PictureOperation::None;
    }
}

double PipelineLongSide(const QString &stepWord, bool modifyEnabled, const QString &sizeText) {
    if (stepWord == QLatin1String("Thumb") && !modifyEnabled)
        return ThumbLongSide;
    return RestrictSizeFromText(sizeText);
}

PrepareOutcome PreparePicture(const QString &source, PictureOperation operation, double longSide,
                              cDIBSection &out,
                              const std::function<void(const QString &)> &progress) {
    out.CleanUp();
    const auto report = [&](const char *text) {
        if (progress)
            progress(QString::fromLatin1(text));
    };
    PrepareOutcome refused = PrepareOutcome::NotLoaded;
    QSize target;
    std::function<QSize(QSize)> wanted;
    if (operation == PictureOperation::Resize) {
        wanted = [&](QSize natural) {
            target = ResizeTarget(natural, longSide);
            if (TargetWritable(target))
                return target;
            refused = target.isEmpty() && target.width() == 0 ? PrepareOutcome::NoSize
                                                              : PrepareOutcome::TooLarge;
            return QSize();
        };
    }
    cDIBSection loaded;
    if (!LoadPictureSilently(source, loaded, wanted))
        return refused;

    switch (operation) {
    case PictureOperation::Resize:
        report("Start Resize");
        if (loaded.dib_width() == target.width() && loaded.dib_height() == target.height())
            out.Swap(loaded);
        else if (!ScalePicture(loaded, out, target.width(), target.height()))
            return PrepareOutcome::OutOfMemory;
        break;
    case PictureOperation::RotateLeft:
    case PictureOperation::RotateRight:
    case PictureOperation::Rotate180: {
        report("Start Rotate");
        const float angle = operation == PictureOperation::RotateLeft    ? RotateLeftAngle
                            : operation == PictureOperation::RotateRight ? RotateRightAngle
                                                                         : Rotate180Angle;
        if (!bmp_rotate(loaded, out, angle, [&] { report("Rotateing"); }))
            return PrepareOutcome::OutOfMemory;
        break;
    }
    case PictureOperation::None:
        out.Swap(loaded);
        break;
    }
    // The steps keep their names, though the pixels stay in memory.
    report("Save Tmp.bmp");
    report("Load Tmp.bmp");
    return PrepareOutcome::Ready;
}

} // namespace glimmerby
