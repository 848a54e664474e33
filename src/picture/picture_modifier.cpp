#include "picture/picture_modifier.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "organize/file_transfer.h"
#include "organize/free_name.h"
#include "picture/ijl.h"
#include "picture/picture_pipeline.h"
#include "picture/picture_scale.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

// Taken: anything under the name or an entry equal to it ignoring case; a failed lookup
// counts as taken too, except a directory that is not there, where the write itself fails
// and says so.
bool PathTaken(const QString &path) {
    const QFileInfo info(path);
    const NameLookup lookup = LookUpName(info.path(), info.fileName());
    if (lookup.state == NameState::LookupError)
        return lookup.error != ENOENT && lookup.error != ENOTDIR;
    return lookup.state == NameState::Taken;
}

} // namespace

PictureModifier::PictureModifier(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void PictureModifier::setClashCheck(std::function<bool()> check) {
    m_clashCheck = std::move(check);
}

void PictureModifier::progress(const QString &text) {
    if (m_ctx.toggles)
        m_ctx.toggles->pbplus1(text);
}

int PictureModifier::selectedOption() const {
    for (int i = 0; i < int(m_ctx.form.O.size()); ++i)
        if (m_ctx.form.O[std::size_t(i)]->isChecked())
            return i;
    return -1;
}

void PictureModifier::checkName() {
    AppState &s = m_ctx.state;
    if (m_clashCheck) {
        m_clashCheck();
    } else if (PathTaken(s.DestinationPath())) {
        s.ExistsChoice = 5;
    } else if (s.ExistsChoice == 5) {
        s.ExistsChoice = 6;
    }
    s.DestPath = s.DestinationPath();
}

QString PictureModifier::unreadableReason(const QString &path) {
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISREG(st.st_mode) && st.st_size == 0)
        return QStringLiteral("Empty file");
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return QStringLiteral("Not a picture that could be read");
}

ModifyResult PictureModifier::ModifyPicture(const QString &stepWord) {
    AppState &s = m_ctx.state;
    // Everything the work depends on is taken now: the progress steps let other events in.
    const QString source = s.SourcePath();
    const PictureOperation operation = ChooseOperation(stepWord, selectedOption());
    const double longSide =
        PipelineLongSide(stepWord, s.ModifyEnabled == 1, m_ctx.form.T[0]->text());
    const int quality = std::clamp(s.JpegQuality, 0, 100);
    const bool move = stepWord == QLatin1String("ModifyMove");

    s.DstExt = QStringLiteral(".JPG");
    if (stepWord == QLatin1String("Thumb"))
        s.DstName += QStringLiteral("_s");
    s.DestPath = s.DestinationPath();

    ModifyResult result;
    const auto notWritten = [&result](const QString &reason) {
        result.kind = ModifyResult::Kind::NotWritten;
        result.reason = reason;
        return result;
    };
    // A private bitmap: the preview's WorkDib is never touched.
    cDIBSection picture;
    bool prepared = false;
    bool written = false;
    for (int attempt = 0; attempt < MaxNameRetries && !written; ++attempt) {
        progress(QStringLiteral("Check Name"));
        checkName();
        result.destination = s.DestinationPath();
        if (s.ExistsChoice == 4 || s.ExistsChoice == 5)
            return result; // settled by the answer
        const bool replace = s.ExistsChoice == 0 || s.ExistsChoice == 1;
        if (!replace &&
            PathTaken(result.destination)) // an undecided answer never writes over a file
            return notWritten(QString::fromLocal8Bit(std::strerror(EEXIST)));
        if (!prepared) {
            const PrepareOutcome outcome =
                PreparePicture(source, operation, longSide, picture,
                               [this](const QString &text) { progress(text); });
            switch (outcome) {
            case PrepareOutcome::Ready:
                break;
            case PrepareOutcome::NotLoaded:
                return notWritten(unreadableReason(source));
            case PrepareOutcome::NoSize:
                return notWritten(QStringLiteral("No pixels at that size"));
            case PrepareOutcome::TooLarge:
            case PrepareOutcome::OutOfMemory:
                m_ctx.codec->ReportJpegError(QStringLiteral("Failed to save to JPG"),
                                             JpegCode::TooLarge);
                return notWritten(outcome == PrepareOutcome::TooLarge
                                      ? QStringLiteral("Too large to write")
                                      : QString::fromLocal8Bit(std::strerror(ENOMEM)));
            }
            prepared = true;
        }
        progress(QStringLiteral("Save File"));
        // What an overwrite replaces (the source itself included) is kept in the trash; a
        // file that cannot be kept there is not replaced.
        if (replace && m_ctx.trash && PathTaken(result.destination)) {
            const TrashResult kept = m_ctx.trash->keepInTrash(result.destination);
            if (kept.outcome == TrashOutcome::Failed)
                return notWritten(QString::fromLocal8Bit(std::strerror(kept.error)));
            result.replaced = kept.outcome == TrashOutcome::Trashed
                                  ? kept.item
                                  : TrashedFile{result.destination, {}, {}};
        }
        const int code = m_ctx.codec->JpegWriteFile(picture, result.destination, quality, replace);
        if (code != JpegCode::Ok && !result.replaced.isEmpty()) {
            // Not written: the trash gives back its entry, the destination stays as it was.
            if (PathTaken(result.destination))
                DropTrashEntry(result.replaced);
            else
                RestoreFromTrash(result.replaced, result.destination);
        }
        if (code != JpegCode::Ok)
            result.replaced = {};
        if (code == JpegCode::NameTaken)
            continue; // the name was taken meanwhile: ask again
        if (code != JpegCode::Ok)
            return notWritten(QStringLiteral("Failed to save to JPG"));
        written = true;
    }
    if (!written)
        return notWritten(QString::fromLocal8Bit(std::strerror(EEXIST)));
    result.kind = ModifyResult::Kind::Written;
    if (move) {
        // The source goes only when it is not the file just written (an overwrite of the
        // source itself, a second name of the same file).
        // It goes into the trash, from where Ctrl+Z or the desktop can bring it back; only
        // on a volume without a trash is it removed.
        if (!SameFile(source, result.destination)) {
            const TrashResult r = m_ctx.trash ? m_ctx.trash->moveToTrash(source) : TrashResult{};
            if (r.outcome == TrashOutcome::Trashed) {
                result.trashedSource = r.item;
            } else if ((r.outcome == TrashOutcome::Failed && m_ctx.trash) ||
                       ::unlink(QFile::encodeName(source).constData()) != 0) {
                result.sourceKept = true;
                result.reason = QString::fromLocal8Bit(std::strerror(r.error ? r.error : errno));
            }
        }
        s.ReselectName = s.DstName + s.DstExt;
    }
    return result;
}

} // namespace glimmerby
