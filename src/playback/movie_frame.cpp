#include "playback/movie_frame.h"

#include <QFile>

#include <libffmpegthumbnailer/videothumbnailerc.h>

#include <memory>

namespace glimmerby {

QImage MovieFrame(const QString &path, int longSide) {
    struct Thumbnailer {
        video_thumbnailer *t = video_thumbnailer_create();
        image_data *data = video_thumbnailer_create_image_data();
        ~Thumbnailer() {
            if (data)
                video_thumbnailer_destroy_image_data(data);
            if (t)
                video_thumbnailer_destroy(t);
        }
    } v;
    if (!v.t || !v.data || longSide <= 0)
        return {};
    video_thumbnailer_set_size(v.t, longSide, 0);
    v.t->seek_percentage = 10;
    v.t->thumbnail_image_type = Rgb;
    v.t->maintain_aspect_ratio = 1;
    const QByteArray name = QFile::encodeName(path);
    if (video_thumbnailer_generate_thumbnail_to_buffer(v.t, name.constData(), v.data) != 0)
        return {};
    const int w = v.data->image_data_width, h = v.data->image_data_height;
    if (w <= 0 || h <= 0 || !v.data->image_data_ptr ||
        qint64(v.data->image_data_size) < qint64(w) * h * 3)
        return {};
    // The buffer belongs to the thumbnailer: the image takes a copy of it.
    return QImage(v.data->image_data_ptr, w, h, w * 3, QImage::Format_RGB888).copy();
}

} // namespace glimmerby
