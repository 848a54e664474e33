#pragma once
// The description field Text2 under the preview: it shows the clicked file's description,
// stores every edit at once, and Enter stores, steps to the next file and keeps the text
// selected for it. While Text2 or a properties field has the focus the key commands and
// pop-up menus wait (the typing field's share of BatchBusy).

#include <QObject>
#include <QString>
#include <QTimer>

namespace glimmerby {

struct AppContext;
class PropertiesPanel;

// Longest text the description field takes; a longer stored value shows cut, read-only.
inline constexpr int DescriptionFieldLimit = 65536;

class DescriptionField : public QObject {
    Q_OBJECT
  public:
    explicit DescriptionField(AppContext &ctx);

    // Text2 = the description of path (a click's preview).
    void showDescription(const QString &path);
    // Puts text into Text2 as an edited description (no store).
    void setShownText(const QString &text);
    // True while Text2 shows "No discription avalible for: ..." unedited.
    bool placeholderShown() const { return m_placeholder; }
    // True while Text2 shows a stored value too long for it (never stored back).
    bool cutShown() const { return m_cut; }
    PropertiesPanel *panel() const { return m_panel; }

    // Stores text as the description of file (its directory's description file, its
    // base name as key). False when nothing was written.
    static bool storeFor(const QString &file, const QString &text);

    // The typing field's share of BatchBusy.
    void takeTypingHold();
    void releaseTypingHold();
    bool holdsTyping() const { return m_held; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void Text2_Change(const QString &text);
    void Text2_KeyDown(int key, Qt::KeyboardModifiers shift);
    void enterPressed();

    AppContext &m_ctx;
    PropertiesPanel *m_panel = nullptr;
    bool m_held = false;
    bool m_placeholder = false;
    bool m_cut = false;
};

} // namespace glimmerby
