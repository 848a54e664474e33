#pragma once
// Asks one question in the options dialog and leaves the answer in the shared state:
// what to do about a name clash, what to do with a (damaged) picture, or which
// directory copies and moves go to.

#include <QObject>
#include <QString>

#include <functional>

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
    // the answer in DialogChoice: the button index as text, "4" for Escape, or
    // closedAnswer when the window was closed by its frame without a choice. When a button
    // was pressed, DialogDir holds the directory list's path (ending in "/").
    void ShowOptionsDialog(const QString &mode, const QString &closedAnswer);

    // Called once the dialog is on the screen and waiting; tests answer it from here.
    std::function<void(DialogBox &)> onShown;

    // The heights of the dialog in twips, per question.
    static constexpr int FileExistsHeight = 2460;
    static constexpr int PictureHeight = 2100;
    static constexpr int DirHeight = 2600;

  private:
    void configure(DialogBox &box, const QString &mode) const;

    AppContext &m_ctx;
    InputBoxes &m_inputs; // the "MkDir" button asks with these
};

} // namespace glimmerby
