#include "organize/options_dialog.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/pane_widgets.h"
#include "organize/make_directory.h"
#include "organize/path_choice.h"
#include "windows/center_window.h"
#include "windows/dialog_box.h"
#include "organize/file_undo.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QStringList>
#include <QTimer>

namespace glimmerby {

namespace {

enum class PathShown { DestPath, CurrentFile, Nothing };

struct Question {
    const char *mode;
    const char *caption;
    std::array<const char *, 6> buttons; // nullptr: hidden
    bool directoryControls;
    PathShown path;
    QStringList lines;
    bool endsWithBreak;
    int heightTwips;
};

const std::array<Question, 4> &questions() {
    static const std::array<Question, 4> table{{
        {"FILEEXISTS",
         "File Exists?",
         {"Overwrite One", "Overwrite All", "Rename One", "Rename All", "Cancel", "Skip One"},
         false,
         PathShown::DestPath,
         {QStringLiteral("Exists... What do you want me to do?:"), QString(),
          QStringLiteral("Here are your options:")},
         true,
         OptionsDialog::FileExistsHeight},
        {"BADJPG",
         "Error Loading JPG File",
         {"Open in PSP", "Delete File", nullptr, "Cancel", nullptr, nullptr},
         false,
         PathShown::CurrentFile,
         {QStringLiteral("Failed on Load... This is all I could get."),
          QStringLiteral("What do you want me to do?:"), QStringLiteral("Here are your options:")},
         false,
         OptionsDialog::PictureHeight},
        {"PHOTOCALL",
         "Picture Options",
         {"Open in PSP", "Delete File", nullptr, "Cancel", nullptr, nullptr},
         false,
         PathShown::CurrentFile,
         {QStringLiteral("Yep It's a Picture..."), QStringLiteral("What do you want me to do?:"),
          QStringLiteral("Here are your options:")},
         false,
         OptionsDialog::PictureHeight},
        {"DIRCALL",
         "Set Copy/Move Dir",
         {"Set Dir", nullptr, nullptr, nullptr, nullptr, "Cancel"},
         true,
         PathShown::Nothing,
         {QStringLiteral("Select"), QStringLiteral("Dir:")},
         true,
         OptionsDialog::DirHeight},
    }};
    return table;
}

const Question *questionFor(const QString &mode) {
    for (const Question &q : questions())
        if (mode.compare(QLatin1String(q.mode), Qt::CaseInsensitive) == 0)
            return &q;
    return nullptr;
}

} // namespace

OptionsDialog::OptionsDialog(AppContext &ctx, InputBoxes &inputs)
    : QObject(&ctx.form), m_ctx(ctx), m_inputs(inputs) {}

void OptionsDialog::configure(DialogBox &box, const QString &mode) const {
    const Question *q = questionFor(mode);
    if (!q)
        return; // shown as designed
    const AppState &s = m_ctx.state;
    box.setWindowTitle(QString::fromLatin1(q->caption));
    for (int i = 0; i < 6; ++i) {
        if (q->buttons[i]) {
            box.setButtonCaption(i, QString::fromLatin1(q->buttons[i]));
            box.C[i]->show();
        } else {
            box.C[i]->hide();
        }
    }
    box.Command1->setVisible(q->directoryControls);
    box.Drive1->setVisible(q->directoryControls);
    box.Dir1->setVisible(q->directoryControls);
    box.Picture1->hide();
    switch (q->path) {
    case PathShown::DestPath:
        box.Label2->setText(s.DestPath);
        break;
    case PathShown::CurrentFile:
        box.Label2->setText(s.CurrentFile);
        break;
    case PathShown::Nothing:
        box.Label2->setText(QString());
        break;
    }
    // The message's lines are joined by line feeds: a Qt label breaks lines only there,
    // not at a lone carriage return.
    QString message = q->lines.join(u'\n');
    if (q->endsWithBreak)
        message += u'\n';
    box.Label1->setText(message);
    box.setHeightTwips(q->heightTwips);
}

void OptionsDialog::ShowOptionsDialog(const QString &mode, const QString &closedAnswer) {
    AppState &s = m_ctx.state;
    s.DialogChoice = closedAnswer;
    DialogBox box(&m_ctx.form);
    box.setWindowState(Qt::WindowNoState);
    configure(box, mode);
    box.setClosedAnswer(closedAnswer);
    // The lists open on the destination, or what is left of it when it has gone.
    box.setStartDirectory(nearestExistingDirectory(s.DestinationDir));
    box.makeDirectory = [this](const QString &parent) {
        const std::optional<QString> made = AskAndMakeDirectory(m_inputs, m_ctx.boxes, parent);
        if (made)
            ReportDirectoryMade(m_ctx, *made);
        return made.has_value();
    };
    CenterWindow(box);
    if (onShown)
        QTimer::singleShot(0, &box, [this, &box] { onShown(box); });
    box.exec();

    s.DialogChoice = box.choice();
    if (box.buttonPressed())
        s.DialogDir = box.chosenDir();
}

} // namespace glimmerby
