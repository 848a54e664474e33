#include "organize/make_directory.h"

#include "app/file_ops.h"
#include "app/input_boxes.h"
#include "app/message_boxes.h"
#include "organize/path_choice.h"

#include <QDir>

namespace glimmerby {

std::optional<QString> AskAndMakeDirectory(InputBoxes &inputs, MessageBoxes &boxes,
                                           const QString &parent) {
    const QString prompt =
        QStringLiteral("Create Sub Dir of: ") + parent + QStringLiteral("\n\nCalled: ");
    const QString answer = inputs.ask(prompt, QStringLiteral("Make Dir"), parent);
    if (answer.isEmpty() || answer.compare(parent, Qt::CaseInsensitive) == 0)
        return std::nullopt;
    // A bare name is made inside the directory shown, never against the working one.
    const QString target =
        QDir::cleanPath(QDir::isAbsolutePath(answer) ? answer : parent + u'/' + answer);
    if (const int error = MakeOneDirectory(target)) {
        boxes.show(QStringLiteral("Error creating dir\n\n%1 %2").arg(error).arg(errnoText(error)),
                   ProgramTitle);
        return std::nullopt;
    }
    return target.endsWith(u'/') ? target : target + u'/';
}

} // namespace glimmerby
