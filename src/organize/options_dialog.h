#pragma once
// Asks one question in the options dialog and leaves the answer in the shared state:
// what to do about a name clash, what to do with a (damaged) picture, or which
// directory copies and moves go to.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace glimmerby {

struct AppContext;
class InputBoxes;
class DialogBox;

class OptionsDialog : public QObject {
    Q_OBJECT
  public:
    OptionsDialog(AppContext &ctx, InputBoxes &inputs);

    // mode, compared ignoring case: "FILEEXISTS", "BADJPG", "PHOTOCALL" or "DIRCALL"; any
    // other mode shows the dialog as designed. Returns when the dialog has closed, with
    // the answer in DialogChoice (the button index as text, "4" for Escape) and, when a
    // button was pressed, the directory list's path (ending in "/") in DialogDir.
    //
    // Closed by its window frame, the dialog answers "3" (cancel) for the picture
    // questions; otherwise it answers what the caller set DialogChoice to beforehand, or,
    // when the caller set nothing, the mode's answer for "no choice": "6" for a clash
    // (undecided), "5" for the directory question, "4" for any other mode. A DialogChoice
    // that still holds the previous dialog's answer counts as nothing set.
    void ShowOptionsDialog(const QString &mode);

    // Called once the dialog is on the screen and waiting; tests answer it from here.
    std::function<void(DialogBox &)> onShown;

    // The heights of the dialog in twips, per question.
    static constexpr int FileExistsHeight = 2460;
    static constexpr int PictureHeight = 2100;
    static constexpr int DirHeight = 2600;

  private:
    QString closedAnswer(const QString &mode) const;
    void configure(DialogBox &box, const QString &mode) const;

    AppContext &m_ctx;
    InputBoxes &m_inputs;
    // What the last dialog left in DialogChoice: a DialogChoice that still holds it at the
    // next call was not set by the caller.
    std::optional<QString> m_lastAnswer;
};

} // namespace glimmerby
