#include "playback/mpv_engine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <clocale>
#include <cstring>

#include <dlfcn.h>
#include <malloc.h>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

namespace glimmerby {

namespace {

enum class FileState { Empty, Loading, Loaded, Ended, Failed };

// The longest wait for libmpv to let go of a closed file.
constexpr int closeTimeoutMs = 3000;

void *glProcAddress(void *, const char *name) {
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

int64_t entryIdOf(const mpv_node &node) {
    if (node.format != MPV_FORMAT_NODE_MAP)
        return -1;
    for (int i = 0; i < node.u.list->num; ++i) {
        if (std::strcmp(node.u.list->keys[i], "playlist_entry_id") == 0 &&
            node.u.list->values[i].format == MPV_FORMAT_INT64)
            return node.u.list->values[i].u.int64;
    }
    return -1;
}

// libmpv and the hundreds of libraries behind it are loaded when the first player needs
// them, not when the program starts: a start that shows a picture never pays for them.
struct MpvLibrary {
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_set_option_string) set_option_string = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback = nullptr;
    decltype(&::mpv_wait_event) wait_event = nullptr;
    decltype(&::mpv_set_property) set_property = nullptr;
    decltype(&::mpv_set_property_string) set_property_string = nullptr;
    decltype(&::mpv_get_property) get_property = nullptr;
    decltype(&::mpv_command) command = nullptr;
    decltype(&::mpv_command_ret) command_ret = nullptr;
    decltype(&::mpv_free_node_contents) free_node_contents = nullptr;
    decltype(&::mpv_render_context_create) render_context_create = nullptr;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback =
        nullptr;
    decltype(&::mpv_render_context_update) render_context_update = nullptr;
    decltype(&::mpv_render_context_render) render_context_render = nullptr;
    decltype(&::mpv_render_context_free) render_context_free = nullptr;

    // False when the library or one of its functions is missing. The library stays loaded
    // for the rest of the run: its threads and handlers are not made to be unloaded.
    bool load() {
        void *library = nullptr;
        for (const char *name : {"libmpv.so.2", "libmpv.so.1", "libmpv.so"}) {
            library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (library)
                break;
        }
        if (!library)
            return false;
        bool complete = true;
        const auto resolve = [&](auto &function, const char *symbol) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                dlsym(library, symbol));
            complete = complete && function != nullptr;
        };
        resolve(create, "mpv_create");
        resolve(set_option_string, "mpv_set_option_string");
        resolve(initialize, "mpv_initialize");
        resolve(terminate_destroy, "mpv_terminate_destroy");
        resolve(set_wakeup_callback, "mpv_set_wakeup_callback");
        resolve(wait_event, "mpv_wait_event");
        resolve(set_property, "mpv_set_property");
        resolve(set_property_string, "mpv_set_property_string");
        resolve(get_property, "mpv_get_property");
        resolve(command, "mpv_command");
        resolve(command_ret, "mpv_command_ret");
        resolve(free_node_contents, "mpv_free_node_contents");
        resolve(render_context_create, "mpv_render_context_create");
        resolve(render_context_set_update_callback, "mpv_render_context_set_update_callback");
        resolve(render_context_update, "mpv_render_context_update");
        resolve(render_context_render, "mpv_render_context_render");
        resolve(render_context_free, "mpv_render_context_free");
        return complete;
    }
};

// libmpv zeroes a buffer of 10 MiB for every file it opens, on a thread of its own. glibc
// raises its mmap threshold to the size of the largest mapped block freed, so from the
// second file on these buffers come from the arena of whichever thread asked, and stay
// resident there once freed: stepping through sounds left some 10 MB in each of up to
// sixteen arenas (about 170 MB). A fixed threshold keeps such blocks mapped, so that
// freeing one gives it back, and a cap on the arenas bounds what small blocks can hold.
void keepLargeBlocksMapped() {
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
        mallopt(M_ARENA_MAX, 4);
        return true;
    }();
    (void)done;
}

} // namespace

struct MpvEngine::Impl {
    MpvLibrary api;
    mpv_handle *handle = nullptr;
    mpv_render_context *render = nullptr;
    std::atomic<bool> wakeupQueued{false};
    std::atomic<bool> updateQueued{false};

    QString path;
    int64_t entry = -1;        // playlist entry of the file we opened last, -1 for none
    int64_t startedEntry = -1; // entry of the most recent START_FILE event
    FileState state = FileState::Empty;
    bool wantPlay = false;
    bool startedSent = false;
    quint64 generation = 0; // counts openings, so late notifications can be told apart
    double duration = 0;
    double pendingPosition = -1;
    bool drawsVideo = false; // the picture goes through the render context

    void setFlag(const char *name, bool on) {
        int flag = on ? 1 : 0;
        api.set_property(handle, name, MPV_FORMAT_FLAG, &flag);
    }
    bool flag(const char *name) const {
        int flag = 0;
        if (api.get_property(handle, name, MPV_FORMAT_FLAG, &flag) < 0)
            return false;
        return flag != 0;
    }
    double number(const char *name) const {
        double value = 0;
        if (api.get_property(handle, name, MPV_FORMAT_DOUBLE, &value) < 0)
            return 0;
        return value;
    }
    void seek(double seconds) {
        const QByteArray where = QByteArray::number(std::max(0.0, seconds), 'f', 3);
        const char *cmd[] = {"seek", where.constData(), "absolute", nullptr};
        api.command(handle, cmd);
    }
};

MpvEngine::MpvEngine(const Config &config, QObject *parent)
    : PlaybackEngine(parent), d(std::make_unique<Impl>()) {
    // libmpv refuses to start under a locale whose decimal separator is not a dot.
    std::setlocale(LC_NUMERIC, "C");
    keepLargeBlocksMapped();
    if (!d->api.load())
        return;
    mpv_handle *h = d->api.create();
    if (!h)
        return;
    auto option = [this, h](const char *name, const QString &value) {
        d->api.set_option_string(h, name, value.toUtf8().constData());
    };
    option("config", "no");
    option("terminal", "no");
    option("idle", "yes");
    // The end of a file must end it, so that END_FILE arrives and the file is let go.
    option("keep-open", "no");
    option("osc", "no");
    option("load-scripts", "no");
    option("ytdl", "no");
    option("input-default-bindings", "no");
    option("input-vo-keyboard", "no");
    option("audio-display", "no");
    option("hwdec", "no");
    option("gpu-hwdec-interop", "no");
    // A machine without a sound device still plays (silently) and reaches the end;
    // without this an audio-only file ends at once with an error.
    option("audio-fallback-to-null", "yes");
    if (!config.audioOutput.isEmpty())
        option("ao", config.audioOutput);
    if (config.video) {
        const QString vo =
            config.videoOutput.isEmpty() ? QStringLiteral("libmpv") : config.videoOutput;
        option("vo", vo);
        d->drawsVideo = vo == QLatin1String("libmpv");
    } else {
        option("vid", "no");
        option("vo", "null");
    }
    if (d->api.initialize(h) < 0) {
        d->api.terminate_destroy(h);
        return;
    }
    d->handle = h;
    d->api.set_wakeup_callback(
        h,
        [](void *context) {
            auto *self = static_cast<MpvEngine *>(context);
            // Runs on a libmpv thread: only hand the work to the UI thread.
            if (!self->d->wakeupQueued.exchange(true))
                QMetaObject::invokeMethod(
                    self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
        },
        this);
}

MpvEngine::~MpvEngine() {
    if (!d->handle)
        return;
    d->api.set_wakeup_callback(d->handle, nullptr, nullptr);
    // The render context should have been freed by its view with the GL context
    // current; freeing it here is the last resort and still needs to precede the
    // handle's destruction.
    if (d->render) {
        d->api.render_context_set_update_callback(d->render, nullptr, nullptr);
        d->api.render_context_free(d->render);
        d->render = nullptr;
    }
    d->api.terminate_destroy(d->handle);
}

bool MpvEngine::isValid() const {
    return d->handle != nullptr;
}

void MpvEngine::load(const QString &path) {
    if (!d->handle)
        return;
    ++d->generation;
    d->path = path;
    d->wantPlay = false;
    d->startedSent = false;
    d->duration = 0;
    d->pendingPosition = -1;
    // The pause state carries over from file to file: every opening sets it.
    d->setFlag("pause", true);
    // Without a render context the video output cannot start and libmpv would drop
    // the picture (or fail a file that has nothing else): open it without video; the
    // picture is switched on when the context comes.
    if (d->drawsVideo)
        d->api.set_property_string(d->handle, "vid", d->render ? "auto" : "no");
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const char *cmd[] = {"loadfile", file.constData(), "replace", nullptr};
    mpv_node result;
    if (d->api.command_ret(d->handle, cmd, &result) < 0) {
        d->entry = -1;
        d->state = FileState::Failed;
        return;
    }
    d->entry = entryIdOf(result);
    d->api.free_node_contents(&result);
    d->state = FileState::Loading;
}

void MpvEngine::close() {
    if (!d->handle)
        return;
    const bool open = hasFile();
    const int64_t closing = d->entry;
    ++d->generation;
    d->path.clear();
    d->entry = -1;
    d->state = FileState::Empty;
    d->wantPlay = false;
    d->startedSent = false;
    d->duration = 0;
    d->pendingPosition = -1;
    const char *cmd[] = {"stop", nullptr};
    d->api.command(d->handle, cmd);
    if (!open)
        return;
    // "stop" only asks for the file to be closed. The caller is about to move, rename
    // or delete it, so wait here until libmpv reports it closed (or idle). The events
    // read meanwhile are handled as usual; the closed entry's are ignored.
    QDeadlineTimer deadline(closeTimeoutMs);
    QPointer<MpvEngine> alive(this);
    while (alive && !deadline.hasExpired()) {
        mpv_event *event = d->api.wait_event(d->handle, deadline.remainingTime() / 1000.0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        // An IDLE event may be an old one still queued: ask whether the core is idle now.
        const bool closed =
            (event->event_id == MPV_EVENT_IDLE && d->flag("idle-active")) ||
            (event->event_id == MPV_EVENT_END_FILE &&
             static_cast<mpv_event_end_file *>(event->data)->playlist_entry_id == closing);
        handleEvent(event);
        if (closed)
            break;
    }
}

void MpvEngine::play() {
    if (!d->handle || d->path.isEmpty())
        return;
    if (d->state == FileState::Ended || d->state == FileState::Failed ||
        d->state == FileState::Empty)
        load(d->path);
    d->wantPlay = true;
    d->setFlag("pause", false);
    if (d->state == FileState::Loaded && !d->startedSent)
        emitStartedLater();
}

void MpvEngine::pause() {
    if (!d->handle)
        return;
    d->wantPlay = false;
    d->setFlag("pause", true);
}

void MpvEngine::stop() {
    pause();
    if (!d->handle)
        return;
    if (d->state == FileState::Loaded)
        d->seek(0);
    else if (d->state == FileState::Loading)
        d->pendingPosition = 0;
}

double MpvEngine::position() const {
    if (!d->handle || d->state != FileState::Loaded)
        return 0;
    return d->number("time-pos");
}

void MpvEngine::setPosition(double seconds) {
    if (!d->handle)
        return;
    if (d->state == FileState::Loaded)
        d->seek(seconds);
    else if (d->state == FileState::Loading)
        d->pendingPosition = seconds;
}

double MpvEngine::duration() const {
    return d->state == FileState::Loaded ? d->duration : 0;
}

void MpvEngine::setMute(bool mute) {
    if (d->handle)
        d->setFlag("mute", mute);
}

void MpvEngine::setVolume(int percent) {
    if (!d->handle)
        return;
    double volume = percent;
    d->api.set_property(d->handle, "volume", MPV_FORMAT_DOUBLE, &volume);
}

bool MpvEngine::decoderMuted() const {
    return d->handle && d->flag("mute");
}

bool MpvEngine::isPlaying() const {
    return hasFile() && !d->flag("pause");
}

bool MpvEngine::hasFile() const {
    return d->handle && (d->state == FileState::Loading || d->state == FileState::Loaded);
}

void MpvEngine::emitStartedLater() {
    d->startedSent = true;
    const quint64 generation = d->generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == d->generation)
            emit started();
    });
}

void MpvEngine::drainEvents() {
    d->wakeupQueued = false;
    QPointer<MpvEngine> alive(this);
    while (alive && d->handle) {
        mpv_event *event = d->api.wait_event(d->handle, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(event);
    }
}

void MpvEngine::handleEvent(void *rawEvent) {
    const auto *event = static_cast<mpv_event *>(rawEvent);
    switch (event->event_id) {
    case MPV_EVENT_START_FILE:
        d->startedEntry = static_cast<mpv_event_start_file *>(event->data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED:
        if (d->state != FileState::Loading || d->startedEntry != d->entry)
            break;
        d->state = FileState::Loaded;
        d->duration = d->number("duration");
        if (d->pendingPosition > 0)
            d->seek(d->pendingPosition);
        d->pendingPosition = -1;
        if (d->wantPlay && !d->startedSent) {
            d->startedSent = true;
            emit started();
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<mpv_event_end_file *>(event->data);
        if (end->playlist_entry_id != d->entry || d->entry < 0)
            break;
        if (end->reason == MPV_END_FILE_REASON_EOF) {
            d->state = FileState::Ended;
            d->entry = -1;
            if (d->startedSent)
                emit finished();
        } else if (end->reason == MPV_END_FILE_REASON_ERROR ||
                   end->reason == MPV_END_FILE_REASON_REDIRECT) {
            // A file that turned out to be a playlist would go on to play other files
            // behind our back; it is refused like any file we cannot play.
            if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
                const char *cmd[] = {"stop", nullptr};
                d->api.command(d->handle, cmd);
            }
            d->state = FileState::Failed;
            d->entry = -1;
            emit failed();
        }
        break;
    }
    default:
        break;
    }
}

bool MpvEngine::createRenderContext() {
    if (!d->handle || d->render)
        return d->render != nullptr;
    mpv_opengl_init_params gl{glProcAddress, nullptr};
    const char *api = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(api)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (d->api.render_context_create(&d->render, d->handle, params) < 0) {
        d->render = nullptr;
        return false;
    }
    d->api.render_context_set_update_callback(
        d->render,
        [](void *context) {
            auto *self = static_cast<MpvEngine *>(context);
            if (!self->d->updateQueued.exchange(true))
                QMetaObject::invokeMethod(
                    self, [self] { self->renderUpdate(); }, Qt::QueuedConnection);
        },
        this);
    // A video output that failed for want of a render context has dropped the
    // picture of the open file; bring it back now that one exists.
    // Files opened while there was no render context were opened without their
    // picture; bring it in now.
    if (d->drawsVideo && hasFile())
        d->api.set_property_string(d->handle, "vid", "auto");
    return true;
}

bool MpvEngine::hasRenderContext() const {
    return d->render != nullptr;
}

void MpvEngine::render(int framebufferObject, int width, int height) {
    if (!d->render)
        return;
    mpv_opengl_fbo fbo{framebufferObject, width, height, 0};
    int flipY = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    d->api.render_context_render(d->render, params);
}

void MpvEngine::freeRenderContext() {
    if (!d->render)
        return;
    // Take the picture away first, so that the video output closes in order instead
    // of failing, which would drop the video track for good.
    if (d->drawsVideo && hasFile())
        d->api.set_property_string(d->handle, "vid", "no");
    d->api.render_context_set_update_callback(d->render, nullptr, nullptr);
    d->api.render_context_free(d->render);
    d->render = nullptr;
}

void MpvEngine::renderUpdate() {
    d->updateQueued = false;
    if (d->render && (d->api.render_context_update(d->render) & MPV_RENDER_UPDATE_FRAME))
        emit frameReady();
}

} // namespace glimmerby
