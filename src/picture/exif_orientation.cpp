#include "picture/exif_orientation.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace glimmerby {

namespace {

struct ExifDataUnref {
    void operator()(ExifData *data) const { exif_data_unref(data); }
};

// The APP1 segment that starts with "Exif\0\0" in front of the first scan: where its
// payload (from "Exif") starts and how long it is. False when there is none.
bool FindExifSegment(const unsigned char *data, std::size_t size, std::size_t &start,
                     std::size_t &length) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return false;
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            pos += 2;
            continue;
        }
        const std::size_t segment = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (segment < 2)
            return false;
        if (marker == 0xE1 && segment >= 8 && pos + 10 <= size &&
            std::memcmp(data + pos + 4, "Exif\0\0", 6) == 0) {
            start = pos + 4;
            // A segment cut short by the end of the file gives what is there.
            length = std::min(segment - 2, size - start);
            return true;
        }
        pos += 2 + segment;
    }
    return false;
}

} // namespace

int JpegExifOrientation(const unsigned char *data, std::size_t size) {
    std::size_t start = 0, length = 0;
    if (!data || !FindExifSegment(data, size, start, length))
        return 1;
    const std::unique_ptr<ExifData, ExifDataUnref> exif(exif_data_new());
    if (!exif)
        return 1;
    // Read what is there: no entries added or "fixed" to the standard's defaults.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif.get(), data + start, static_cast<unsigned int>(length));
    ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 || !entry->data ||
        entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

} // namespace glimmerby
