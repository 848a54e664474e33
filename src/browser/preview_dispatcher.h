#pragma once
// Choosing a file previews it the way its kind calls for: movies in the large player,
// sounds in the small player, pictures in the preview.

#include "browser/media_kinds.h"

#include <QObject>
#include <QPoint>

namespace glimmerby {

struct AppContext;

class PreviewDispatcher : public QObject {
    Q_OBJECT
  public:
    explicit PreviewDispatcher(AppContext &ctx);

    void PreviewClicked(Qt::MouseButton button, Qt::KeyboardModifiers shift,
                        const QPoint &globalPos);
    void ShowNextFile();
    void ShowPreviousFile();
    void PlayInLargePlayer();
    void PlayInSmallPlayer();
    void SizeMoviePlayer();
    // The slide show's timer rule (SlideShow::applyTimerRule), for the callers here.
    void applyTimerRule();

  private:
    void showDescription(const QString &path);
    void unrecognized();
    // Re-lists, selects ReselectName exactly and makes it CurrentFile; false when absent.
    bool reselectExactly();
    // Previews CurrentFile by its kind at a step of the list.
    void previewStep(KindPlace place);

    AppContext &m_ctx;
};

} // namespace glimmerby
