#include "picture/exif_orientation.h"

#include "picture/jpeg_markers.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace glimmerby {

namespace {

struct ExifDataUnref {
    void operator()(ExifData *data) const { exif_data_unref(data); }
};

} // namespace

namespace {

// The orientation in an Exif block that starts with "Exif\0\0" and a TIFF header.
int OrientationOfExifBlock(const unsigned char *data, std::size_t size) {
    const std::unique_ptr<ExifData, ExifDataUnref> exif(exif_data_new());
    if (!exif)
        return 1;
    // Read what is there: no entries added or "fixed" to the standard's defaults.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif.get(), data, static_cast<unsigned int>(size));
    ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 || !entry->data ||
        entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

} // namespace

int JpegExifOrientation(const unsigned char *data, std::size_t size) {
    std::size_t start = 0, length = 0;
    if (!FindJpegSegment(data, size, 0xE1, "Exif\0\0", 6, start, length))
        return 1;
    return OrientationOfExifBlock(data + start, length);
}

int TiffExifOrientation(const unsigned char *data, std::size_t size) {
    static const unsigned char header[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || size < 8 || size > (std::size_t(1) << 30))
        return 1;
    // Some writers keep the JPEG segment's "Exif\0\0" in front of the TIFF header.
    if (size >= 6 && std::memcmp(data, header, 6) == 0)
        return OrientationOfExifBlock(data, size);
    std::vector<unsigned char> block(header, header + 6);
    block.insert(block.end(), data, data + size);
    return OrientationOfExifBlock(block.data(), block.size());
}

} // namespace glimmerby
