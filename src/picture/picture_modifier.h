#pragma once
// ModifyPicture: one source picture to one JPEG file at the prepared destination, as a
// plain conversion ("Convert"), a thumbnail ("Thumb") or with the operation chosen in the
// "Chose Operation:" frame ("ModifyCopy", "ModifyMove").

#include <QObject>
#include <QString>
#include <functional>

namespace glimmerby {

struct AppContext;

class PictureModifier : public QObject {
    Q_OBJECT
  public:
    explicit PictureModifier(AppContext &ctx);

    // Before the call the caller has split the source and the destination into the naming
    // state; afterwards it reads ExistsChoice (4 ends its batch) and ReselectName.
    void ModifyPicture(const QString &stepWord);

    // The name check run before anything is written: it may rename DstName (answering
    // true) and sets ExistsChoice. Without one, a taken name gives ExistsChoice 5 (skip)
    // and a free one turns a remembered 5 back into 6.
    void setClashCheck(std::function<bool()> check);

  private:
    void checkName();
    void progress(const QString &text);
    int selectedOption() const;

    AppContext &m_ctx;
    std::function<bool()> m_clashCheck;
};

} // namespace glimmerby
