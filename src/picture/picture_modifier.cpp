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

void PictureModifier::ModifyPicture(const QString &stepWord) {
    AppState &s = m_ctx.state;
    // Everything the work depends on is taken now: the progress steps let other events in.
    const QString source = s.SourcePath();
    const PictureOperation operation = ChooseOperation(stepWord, selectedOption());
    const double longSide =
        PipelineLongSide(stepWord, s.ModifyEnabled == 1, m_ctx.form.T[0]->text());
    const int quality = std::clamp(s.JpegQuality, 0, 100);
    const bool move = stepWord == QLatin1String("ModifyMove");
    m_replaced = {};
    m_trashedSource = {};

    s.DstExt = QStringLiteral(".JPG");
    if (stepWord == QLatin1String("Thumb"))
        s.DstName += QStringLiteral("_s");
    s.DestPath = s.DestinationPath();

    // A private bitmap: the preview's WorkDib is never touched.
    cDIBSection picture;
    bool prepared = false;
    QString destination;
    for (;;) {
        progress(QStringLiteral("Check Name"));
        checkName();
        if (s.ExistsChoice == 4 || s.ExistsChoice == 5)
            return;
        destination = s.DestinationPath();
        const bool replace = s.ExistsChoice == 0 || s.ExistsChoice == 1;
        if (!replace && PathTaken(destination))
            return; // an undecided answer never writes over a file
        if (!prepared) {
            const PrepareOutcome outcome =
                PreparePicture(source, operation, longSide, picture,
                               [this](const QString &text) { progress(text); });
            if (outcome == PrepareOutcome::TooLarge || outcome == PrepareOutcome::OutOfMemory)
                m_ctx.codec->ReportJpegError(QStringLiteral("Failed to save to JPG"),
                                             JpegCode::TooLarge);
            if (outcome != PrepareOutcome::Ready)
                return;
            prepared = true;
        }
        progress(QStringLiteral("Save File"));
        // What an overwrite replaces (the source itself included) is kept in the trash; a
        // file that cannot be kept there is not replaced.
        if (replace && m_ctx.trash && PathTaken(destination)) {
            const TrashResult kept = m_ctx.trash->keepInTrash(destination);
            if (kept.outcome == TrashOutcome::Failed)
                return;
            m_replaced = kept.outcome == TrashOutcome::Trashed ? kept.item
                                                               : TrashedFile{destination, {}, {}};
        }
        const int result = m_ctx.codec->JpegWriteFile(picture, destination, quality, replace);
        if (result != JpegCode::Ok && !m_replaced.isEmpty()) {
            // Not written: the trash gives back its entry, the destination stays as it was.
            if (PathTaken(destination))
                DropTrashEntry(m_replaced);
            else
                RestoreFromTrash(m_replaced, destination);
            m_replaced = {};
        }
        if (result == JpegCode::NameTaken)
            continue; // the name was taken meanwhile: ask again
        if (result != JpegCode::Ok)
            return;
        break;
    }
    if (move) {
        // The source goes only when it is not the file just written (an overwrite of the
        // source itself, a second name of the same file).
        // It goes into the trash, from where Ctrl+Z or the desktop can bring it back.
        if (!SameFile(source, destination)) {
            const TrashResult r = m_ctx.trash ? m_ctx.trash->moveToTrash(source) : TrashResult{};
            if (r.outcome == TrashOutcome::Trashed)
                m_trashedSource = r.item;
            else if (r.outcome == TrashOutcome::NoTrash || !m_ctx.trash)
                QFile::remove(source);
        }
        s.ReselectName = s.DstName + s.DstExt;
    }
}

} // namespace glimmerby
