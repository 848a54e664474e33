// Memory while stepping with Down through a folder in the real window, in two folders,
// each stepped in a process of its own so that neither inherits the other's memory:
//   pictures: 40 JPEG files of 12 megapixels, Down 2,400 times 15 ms apart;
//   mixed:    sounds (.wav of many lengths and formats, .mp3), MIDI tunes (.mid, .rmi) and
//             pictures (.jpg, .gif, .bmp), 300 files, Down 900 times 150 ms apart, so that
//             every sound is opened and starts before the next step.
// A pause of a second follows every 120 presses. Reports the resident memory at each pause,
// its plateau (the highest of the last five pauses) and the high-water mark of the run.
// Goal: both under 300 MB.
//
// Arguments: folder (both, pictures or mixed), files, presses, milliseconds between presses;
// "both" uses each folder's own defaults unless files and presses are given.

#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "picture/picture_view.h"
#include "shell/key_commands.h"
#include "support/bench_support.h"

#include <QImage>

#include <cmath>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

constexpr int pressesPerPause = 120;
constexpr int pauseMs = 1000;

struct Folder {
    QString name;
    int files, presses, intervalMs;
};

// ---- Sounds made here, so that the folder is the same on every machine ----

void appendLe(QByteArray &out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// A PCM WAV of a few tones with a fading envelope: rate, channels and length vary.
void makeWav(const QString &path, int seed) {
    const int rates[] = {8000, 11025, 22050, 44100, 48000};
    const int rate = rates[seed % 5];
    const int channels = 1 + seed % 2;
    const double seconds = 0.3 + (seed * 37 % 100) / 10.0; // 0.3 to 10.2 s
    const int frames = int(rate * seconds);
    QByteArray data;
    data.reserve(frames * channels * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double f = 220.0 * (1 + (seed + int(t * 4)) % 6);
        const double v = std::sin(2 * M_PI * f * t) * std::exp(-std::fmod(t, 0.25) * 6) * 12000;
        for (int c = 0; c < channels; ++c)
            appendLe(data, quint32(qint16(v)), 2);
    }
    QByteArray wav("RIFF");
    appendLe(wav, quint32(36 + data.size()), 4);
    wav += "WAVEfmt ";
    appendLe(wav, 16, 4);
    appendLe(wav, 1, 2); // PCM
    appendLe(wav, quint32(channels), 2);
    appendLe(wav, quint32(rate), 4);
    appendLe(wav, quint32(rate * channels * 2), 4);
    appendLe(wav, quint32(channels * 2), 2);
    appendLe(wav, 16, 2);
    wav += "data";
    appendLe(wav, quint32(data.size()), 4);
    wav += data;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size())
        cannotRun(QStringLiteral("cannot write ") + path);
}

void appendBe(QByteArray &out, quint32 value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xff));
}

void appendVarLen(QByteArray &out, quint32 value) {
    QByteArray bytes(1, char(value & 0x7f));
    while (value >>= 7)
        bytes.prepend(char(0x80 | (value & 0x7f)));
    out += bytes;
}

// A type-0 MIDI tune of 8 to 60 seconds: a melody, a bass line and drums, on instruments
// that vary from file to file, so that the sound font's samples for many of them are used.
QByteArray makeMidi(int seed) {
    QByteArray track;
    const auto event = [&](quint32 delta, std::initializer_list<int> bytes) {
        appendVarLen(track, delta);
        for (int b : bytes)
            track.append(char(b));
    };
    event(0, {0xff, 0x51, 0x03, 0x07, 0xa1, 0x20}); // 120 beats a minute
    event(0, {0xc0, seed * 7 % 128});
    event(0, {0xc1, (seed * 13 + 32) % 128});
    const int beats = 16 + seed * 11 % 104; // a quarter note is half a second
    std::mt19937 random{unsigned(seed)};
    for (int beat = 0; beat < beats; ++beat) {
        const int melody = 60 + int(random() % 24), bass = 36 + int(random() % 12);
        event(0, {0x90, melody, 90});
        event(0, {0x91, bass, 80});
        event(0, {0x99, beat % 2 ? 38 : 36, 100});
        event(480, {0x80, melody, 0});
        event(0, {0x81, bass, 0});
        event(0, {0x89, beat % 2 ? 38 : 36, 0});
    }
    event(0, {0xff, 0x2f, 0x00});
    QByteArray midi("MThd");
    appendBe(midi, 6, 4);
    appendBe(midi, 0, 2);
    appendBe(midi, 1, 2);
    appendBe(midi, 480, 2);
    midi += "MTrk";
    appendBe(midi, quint32(track.size()), 4);
    return midi + track;
}

// The same tune in a RIFF "RMID" wrapper.
QByteArray wrapRmi(const QByteArray &midi) {
    QByteArray out("RIFF");
    const QByteArray padded = midi.size() % 2 ? midi + '\0' : midi;
    appendLe(out, quint32(4 + 8 + padded.size()), 4);
    out += "RMIDdata";
    appendLe(out, quint32(midi.size()), 4);
    return out + padded;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        cannotRun(QStringLiteral("cannot write ") + path);
}

// A picture for the mixed folder: sizes from an icon to a camera's, in three formats.
void makePicture(const QString &dir, int i) {
    const QString base = dir + QStringLiteral("/picture%1").arg(i, 3, 10, QChar(u'0'));
    const int sizes[][2] = {{64, 64}, {640, 480}, {1600, 1200}, {3000, 2000}, {320, 240}};
    const int w = sizes[i % 5][0], h = sizes[i % 5][1];
    if (i % 3 == 0) {
        makePhotoJpeg(base + QStringLiteral(".jpg"), w, h, i);
        return;
    }
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = uchar(x * 255 / w);
            p[1] = uchar(y * 255 / h);
            p[2] = uchar((x ^ y) + i);
        }
    }
    const bool gif = i % 3 == 1;
    const QString path = base + (gif ? QStringLiteral(".gif") : QStringLiteral(".bmp"));
    if (!(gif ? image.convertToFormat(QImage::Format_Indexed8) : image).save(path))
        cannotRun(QStringLiteral("cannot write ") + path);
}

// Sounds, tunes and pictures in about equal numbers, names mixing them in the list.
void makeMixedFolder(const QString &dir, int files) {
    const bool haveFfmpeg = !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    for (int i = 0; i < files; ++i) {
        const QString base = dir + QStringLiteral("/item%1").arg(i, 4, 10, QChar(u'0'));
        switch (i % 6) {
        case 0:
        case 3:
            makeWav(base + QStringLiteral(".wav"), i);
            break;
        case 1:
            writeFile(base + QStringLiteral(".mid"), makeMidi(i));
            break;
        case 4:
            if (i % 12 == 4)
                writeFile(base + QStringLiteral(".rmi"), wrapRmi(makeMidi(i)));
            else
                writeFile(base + QStringLiteral(".mid"), makeMidi(i));
            break;
        case 5:
            if (haveFfmpeg && i % 18 == 5) {
                // An MP3 (played by the large player) now and then.
                if (!runTool(QStringLiteral("ffmpeg"),
                             {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi",
                              "-i", QStringLiteral("sine=frequency=%1:duration=4").arg(300 + i),
                              base + QStringLiteral(".mp3")}))
                    cannotRun(QStringLiteral("ffmpeg could not make ") + base + ".mp3");
                break;
            }
            makePicture(dir, i);
            break;
        default:
            makePicture(dir, i);
            break;
        }
    }
}

void makePictureFolder(const QString &dir, int files) {
    // Four different pictures under many names: every step decodes a file anew.
    for (int i = 0; i < std::min(4, files); ++i)
        makePhotoJpeg(dir + QStringLiteral("/photo%1.jpg").arg(i, 2, 10, QChar(u'0')), 4000, 3000,
                      i + 1);
    for (int i = 4; i < files; ++i)
        if (!QFile::copy(dir + QStringLiteral("/photo%1.jpg").arg(i % 4, 2, 10, QChar(u'0')),
                         dir + QStringLiteral("/photo%1.jpg").arg(i, 2, 10, QChar(u'0'))))
            cannotRun(QStringLiteral("cannot copy a picture in ") + dir);
}

// Steps through one folder in this process and reports.
int stepFolder(const Folder &folder) {
    QTemporaryDir media;
    if (!media.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const bool mixed = folder.name == QLatin1String("mixed");
    if (mixed)
        makeMixedFolder(media.path(), folder.files);
    else
        makePictureFolder(media.path(), folder.files);
    resetPeakMemory();

    SandboxedApp sandbox;
    sandbox.start(true);
    Form1 &form = sandbox.form();
    AppContext &ctx = sandbox.ctx();
    AppState &state = sandbox.state();
    // "All" lists the sounds and tunes beside the pictures.
    form.Combo1->setCurrentIndex(4);
    ctx.browser->setDirectory(media.path());
    if (form.File1->listCount() != folder.files)
        cannotRun(QStringLiteral("the file list shows %1 of the %2 files")
                      .arg(form.File1->listCount())
                      .arg(folder.files));
    form.File1->setListIndex(0);
    state.CurrentFile = form.File1->fullPath(0);
    ctx.picture->ShowPicture();
    runEventsFor(500);
    std::printf("%s folder (%d files): resident after the first file %.0f MB\n",
                qPrintable(folder.name), folder.files, statusMegabytes("VmRSS"));

    std::vector<double> atPauses;
    QElapsedTimer clock;
    clock.start();
    qint64 next = 0;
    int moved = 0;
    for (int i = 1; i <= folder.presses; ++i) {
        while (clock.elapsed() < next) {
            QApplication::processEvents();
            QThread::msleep(1);
        }
        next = clock.elapsed() + folder.intervalMs;
        const QString before = state.CurrentFile;
        ctx.keys->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
        QApplication::processEvents();
        moved += state.CurrentFile != before ? 1 : 0;
        if (i % pressesPerPause == 0 || i == folder.presses) {
            runEventsFor(pauseMs);
            atPauses.push_back(statusMegabytes("VmRSS"));
            std::printf("  after %4d presses: resident %.0f MB\n", i, atPauses.back());
            next = clock.elapsed();
        }
    }
    if (moved < folder.presses)
        cannotRun(
            QStringLiteral("Down moved on %1 times in %2 presses").arg(moved).arg(folder.presses));
    const double plateau =
        *std::max_element(atPauses.end() - std::min<qsizetype>(5, atPauses.size()), atPauses.end());
    std::printf("%s: last file %s, %.1f s of stepping\n", qPrintable(folder.name),
                qPrintable(QFileInfo(state.CurrentFile).fileName()), clock.elapsed() / 1000.0);
    std::printf("%s: resident plateau while stepping %.0f MB (goal < 300)\n",
                qPrintable(folder.name), plateau);
    std::printf("%s: high-water mark of the run      %.0f MB (goal < 300)\n",
                qPrintable(folder.name), statusMegabytes("VmHWM"));
    return sandbox.finish();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    startBenchmark(argv[0]);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("both");
    const Folder pictures{QStringLiteral("pictures"), 40, 2400, 15};
    const Folder mixed{QStringLiteral("mixed"), 300, 900, 150};
    const auto asked = [&](Folder f) {
        f.files = intArgument(argc, argv, 2, f.files, 2);
        f.presses = intArgument(argc, argv, 3, f.presses);
        f.intervalMs = intArgument(argc, argv, 4, f.intervalMs);
        return f;
    };
    if (which == QLatin1String("pictures"))
        return stepFolder(asked(pictures));
    if (which == QLatin1String("mixed"))
        return stepFolder(asked(mixed));
    if (which != QLatin1String("both"))
        cannotRun(QStringLiteral("the folder is \"both\", \"pictures\" or \"mixed\", not \"") +
                  which + u'"');
    // Each folder in a process of its own, with the same arguments.
    int status = 0;
    for (const QString &folder : {QStringLiteral("pictures"), QStringLiteral("mixed")}) {
        QStringList arguments{folder};
        for (int i = 2; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), arguments);
        if (!child.waitForStarted(-1) || !child.waitForFinished(-1))
            cannotRun(QStringLiteral("the %1 run could not be started").arg(folder));
        if (child.exitStatus() != QProcess::NormalExit)
            cannotRun(QStringLiteral("the %1 run crashed").arg(folder));
        status = std::max(status, child.exitCode());
    }
    return status;
}
