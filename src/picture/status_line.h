#pragma once
// The window caption and the four status panels for the current file.

#include <QString>

namespace glimmerby {

struct AppContext;

class StatusLine {
  public:
    explicit StatusLine(AppContext &ctx) : m_ctx(ctx) {}
    void UpdateStatusLine();

    // "Glimmerby <major>.<minor>.<revision> - <file>"
    static QString caption(const QString &currentFile);
    // The size panel: kilobytes with grouping and two decimals in the user's locale, "K  ".
    static QString sizePanel(qint64 bytes);

  private:
    AppContext &m_ctx;
};

} // namespace glimmerby
