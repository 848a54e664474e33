#pragma once
// The properties panel SSFrame2: five fields MT(0) to MT(4) editing a picture's
// properties record, opened from the description field and stored by "Close".

#include <QObject>
#include <QString>

namespace glimmerby {

struct AppContext;
class DescriptionField;

// Longest text a properties field takes (five full fields still fit the description).
inline constexpr int PropertyFieldLimit = 4096;

class PropertiesPanel : public QObject {
    Q_OBJECT
  public:
    PropertiesPanel(AppContext &ctx, DescriptionField &description);

    // Double-click on Text2 or F12 in it.
    void Open();
    // "Close": stores the record for the file the panel was opened for and hides.
    void Command1_Click();
    QString target() const { return m_target; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void MT_KeyDown(int index, int key);

    AppContext &m_ctx;
    DescriptionField &m_description;
    QString m_target;   // the file whose record is being edited
    bool m_cut = false; // a field could not hold its value: nothing is stored
};

} // namespace glimmerby
