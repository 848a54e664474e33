#pragma once
// The copy and move batches of the file list's menu: "Copy File(s) To..." (plainly, as
// JPEG files or as thumbnails) and "Move File(s) To", each selected file named by the
// clash check, with the two progress bars and a sensible selection afterwards.

#include <QObject>

#include <QString>
#include <QStringList>

#include <memory>

namespace glimmerby {

struct AppContext;
class TransferBatch;

class CopyMove : public QObject {
    Q_OBJECT
  public:
    explicit CopyMove(AppContext &ctx);
    ~CopyMove() override;

    // Index 0: to the destination; 1: as JPEG files; 2: as thumbnails; 3: "Browse..."
    // (not in use: only the end-of-command reset).
    void Copyit_Click(int index);
    // Index 0: to the destination; 1: "Browse..." (as above).
    void moveit_Click(int index);

  private:
    enum class Command { Copy, Convert, Thumb, Move };
    enum class Step { Next, Cancel };

    void startCommand();
    void runBatch(Command command);
    Step handleFile(Command command, const QString &source);
    Step modify(const QString &stepWord, const QString &source, bool move);
    void normalEnd(Command command);
    void cancelEnd(Command command);
    void endReset();
    void finishBatch();
    void stopPreview();
    void step(const QString &text);
    bool isPicture() const;

    AppContext &m_ctx;
    bool m_running = false;
    bool m_destinationOk = false;
    bool m_movesInPlace = false; // the destination is the folder listed: a move renames
    QString m_firstSelected;
    std::unique_ptr<TransferBatch> m_batch;
    QString m_report; // what panel 4 says when the command is over
};

} // namespace glimmerby
