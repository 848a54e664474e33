#include "organize/properties_panel.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "organize/properties_record.h"
#include "shell/description_field.h"
#include "windows/form1.h"

#include <QEvent>
#include <QKeyEvent>

namespace glimmerby {

PropertiesPanel::PropertiesPanel(AppContext &ctx, DescriptionField &description)
    : QObject(&ctx.form), m_ctx(ctx), m_description(description) {
    Form1 &f = ctx.form;
    for (KeyField *field : f.MT) {
        field->setMaxLength(PropertyFieldLimit);
        field->installEventFilter(this);
    }
    connect(f.Command1, &QPushButton::clicked, this, &PropertiesPanel::Command1_Click);
}

void PropertiesPanel::Open() {
    Form1 &f = m_ctx.form;
    // The placeholder is not a description: the panel then opens with empty comments.
    const QString d = m_description.placeholderShown() ? QString() : f.Text2->text();
    m_cut = m_description.cutShown();
    const auto setField = [&](int i, const QString &value) {
        f.MT[i]->setText(value);
        if (value.size() > PropertyFieldLimit)
            m_cut = true;
    };
    if (const std::optional<PropertyFields> fields = parsePropertiesRecord(d)) {
        f.MediaPlayer2->Stop();
        for (int i = 0; i < PropertyCount; ++i)
            setField(i, (*fields)[i]);
    } else {
        setField(PropertyCount - 1, d);
    }
    m_target = m_ctx.state.CurrentFile;
    f.SSFrame2->show();
    f.SSFrame2->raise();
    f.MT[0]->setFocus();
}

void PropertiesPanel::Command1_Click() {
    Form1 &f = m_ctx.form;
    PropertyFields fields;
    for (int i = 0; i < PropertyCount; ++i)
        fields[i] = f.MT[i]->text();
    const QString record = buildPropertiesRecord(fields);
    if (!m_cut)
        DescriptionField::storeFor(m_target, record);
    // The description field shows the record only while its file is still the current one.
    if (!m_cut && !m_target.isEmpty() && m_target == m_ctx.state.CurrentFile)
        m_description.setShownText(record);
    f.SSFrame2->hide();
}

bool PropertiesPanel::eventFilter(QObject *watched, QEvent *event) {
    // Enter is taken here, so that it does not travel on to the window's key commands.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        for (int i = 0; i < PropertyCount; ++i) {
            if (watched == m_ctx.form.MT[i] && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                MT_KeyDown(i, key);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void PropertiesPanel::MT_KeyDown(int index, int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (index < PropertyCount - 1)
        m_ctx.form.MT[index + 1]->setFocus();
    else
        Command1_Click();
}

} // namespace glimmerby
