#include "windows/qt_file_dialogs.h"

#include <QFileDialog>
#include <QTimer>

namespace glimmerby {

QString QtFileDialogs::openFile(const FileRequest &request) {
    return run(request, false);
}

QString QtFileDialogs::saveFile(const FileRequest &request) {
    return run(request, true);
}

QString QtFileDialogs::run(const FileRequest &request, bool save) {
    QFileDialog dialog(parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        dialog.selectNameFilter(request.nameFilters.value(request.filterIndex));
    }
    dialog.selectFile(request.fileName);
    if (onShown)
        QTimer::singleShot(0, &dialog, [this, &dialog] { onShown(dialog); });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace glimmerby
