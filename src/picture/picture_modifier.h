#pragma once
// ModifyPicture: one source picture to one JPEG file at the prepared destination, as a
// plain conversion ("Convert"), a thumbnail ("Thumb") or with the operation chosen in the
// "Chose Operation:" frame ("ModifyCopy", "ModifyMove").

#include "app/trash.h"

#include <QObject>
#include <QString>
#include <functional>

namespace glimmerby {

struct AppContext;

// What one call of ModifyPicture did.
struct ModifyResult {
    enum class Kind {
        Written,    // the JPEG is at destination (for "ModifyMove", see sourceKept)
        Settled,    // the clash check's answer (ExistsChoice 4 or 5) ended the call
        NotWritten, // nothing written, nothing deleted; reason says why
    };
    Kind kind = Kind::Settled;
    QString destination;
    bool sourceKept = false;   // "ModifyMove" whose source could not be removed
    QString reason;            // NotWritten, or sourceKept: the reason as the user reads it
    TrashedFile replaced;      // what the picture replaced, kept in the trash
    TrashedFile trashedSource; // "ModifyMove": the source, kept in the trash
};

class PictureModifier : public QObject {
    Q_OBJECT
  public:
    explicit PictureModifier(AppContext &ctx);

    // Before the call the caller has split the source and the destination into the naming
    // state; afterwards it reads the result, ExistsChoice (4 ends its batch) and
    // ReselectName.
    ModifyResult ModifyPicture(const QString &stepWord);

    // Why a picture the pipeline could not load was left alone.
    static QString unreadableReason(const QString &path);

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
