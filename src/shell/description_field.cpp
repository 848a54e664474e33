#include "shell/description_field.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/split_path.h"
#include "organize/properties_panel.h"
#include "shell/key_commands.h"
#include "shell/picture_text.h"
#include "windows/form1.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace glimmerby {

DescriptionField::DescriptionField(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    f.Text2->setMaxLength(DescriptionFieldLimit);
    m_panel = new PropertiesPanel(ctx, *this);
    // Every edit (typing, deleting, pasting, cutting, undo) stores the text shown.
    connect(f.Text2, &QLineEdit::textEdited, this, &DescriptionField::Text2_Change);
    connect(f.Text2, &KeyField::keyDown, this, &DescriptionField::Text2_KeyDown);
    connect(f.Text2, &KeyField::doubleClicked, m_panel, &PropertiesPanel::Open);
    f.Text2->installEventFilter(this);
    for (KeyField *field : f.MT)
        field->installEventFilter(this);
}

bool DescriptionField::storeFor(const QString &file, const QString &text) {
    if (file.isEmpty())
        return false;
    const PathParts parts = splitPath(file);
    return WritePictureText(parts.Dir, parts.Name, text);
}

void DescriptionField::showDescription(const QString &path) {
    const PathParts parts = splitPath(path);
    const PictureTextRead read = readPictureText(parts.Dir, parts.Name);
    KeyField *text2 = m_ctx.form.Text2;
    m_placeholder = !read.found;
    m_cut = read.text.size() > DescriptionFieldLimit;
    text2->setReadOnly(m_cut);
    text2->setText(read.text.left(DescriptionFieldLimit));
}

void DescriptionField::setShownText(const QString &text) {
    m_placeholder = false;
    m_cut = false;
    m_ctx.form.Text2->setReadOnly(false);
    m_ctx.form.Text2->setText(text);
}

void DescriptionField::Text2_Change(const QString &text) {
    m_placeholder = false;
    if (!m_cut)
        storeFor(m_ctx.state.CurrentFile, text);
}

void DescriptionField::Text2_KeyDown(int key, Qt::KeyboardModifiers) {
    if (key == Qt::Key_F12)
        m_panel->Open();
}

void DescriptionField::enterPressed() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    // The placeholder and a cut value are never stored; Enter then only steps.
    if (!m_placeholder && !m_cut)
        storeFor(s.CurrentFile, f.Text2->text());
    releaseTypingHold();
    if (m_ctx.keys) {
        m_ctx.keys->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::processEvents();
        // Thumbnails made by the copy command sit right after their pictures.
        if (s.CurrentFile.toLower().endsWith(QLatin1String("_s.jpg")))
            m_ctx.keys->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
    }
    // Only a field that still has the focus takes the hold again.
    if (f.Text2->hasFocus())
        takeTypingHold();
    f.Text2->selectAll();
}

void DescriptionField::takeTypingHold() {
    // A batch or key command holding BatchBusy keeps its own hold; the field takes none.
    if (m_held || m_ctx.state.BatchBusy != 0)
        return;
    m_ctx.state.BatchBusy = -1;
    m_held = true;
}

void DescriptionField::releaseTypingHold() {
    if (!m_held)
        return;
    m_held = false;
    m_ctx.state.BatchBusy = 0;
}

bool DescriptionField::eventFilter(QObject *watched, QEvent *event) {
    // Enter in Text2 is handled here and discarded: it reaches neither the field nor,
    // through it, the window's key commands.
    if (event->type() == QEvent::KeyPress && watched == m_ctx.form.Text2) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enterPressed();
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn) {
        takeTypingHold();
        // The placeholder is selected, so that typing replaces it instead of adding to it
        // (again once a click has placed the cursor).
        if (watched == m_ctx.form.Text2 && m_placeholder) {
            m_ctx.form.Text2->selectAll();
            QTimer::singleShot(0, m_ctx.form.Text2, [this] {
                if (m_placeholder)
                    m_ctx.form.Text2->selectAll();
            });
        }
    } else if (event->type() == QEvent::FocusOut)
        releaseTypingHold();
    return QObject::eventFilter(watched, event);
}

} // namespace glimmerby
