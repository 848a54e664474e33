// Reads or writes one description in a process of its own (for tests that run it as
// another user or inside a mount namespace):
//   read <dir> <key>          prints the description and a line feed
//   write <dir> <key> <text>  exit 0 when written, 1 when not
#include "shell/picture_text.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "read") {
        const QByteArray text = glimmerby::ReadPictureText(args[2], args[3]).toUtf8() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (args.size() == 5 && args[1] == "write")
        return glimmerby::WritePictureText(args[2], args[3], args[4]) ? 0 : 1;
    return 2;
}
