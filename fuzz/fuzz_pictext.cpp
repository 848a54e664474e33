// Feeds arbitrary bytes to the description file's document, the description codec and
// the properties record, checking their round trips.

#include "pictext_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const char *broken = glimmerby::checkPictextInput(bytes)) {
        std::fprintf(stderr, "pictext: %s\n", broken);
        std::abort();
    }
    return 0;
}
