#include "picture/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace glimmerby {

double RestrictSizeFromText(const QString &text) {
    // Leading blanks, an optional sign, digits and an optional fraction.
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    double value = 0;
    if (digits) {
        bool ok = false;
        value = text.mid(start, i - start).toDouble(&ok);
        if (!ok)
            value = 0;
    }
    return value + 4;
}

QSize ResizeTarget(QSize natural, double longSide) {
    if (natural.width() <= 0 || natural.height() <= 0)
        return {0, 0};
    const auto roundUp = [](double v) { return std::floor(v + 0.5); };
    const double l = roundUp(longSide);
    if (!(l >= 1))
        return {0, 0};
    const double w = natural.width(), h = natural.height();
    double tw = l, th = l;
    if (w > h)
        th = std::max(1.0, roundUp(longSide * h / w));
    else
        tw = std::max(1.0, roundUp(longSide * w / h));
    if (tw > MaxSide || th > MaxSide || tw * th > double(cDIBSection::MaxPixels))
        return {-1, -1};
    return {int(tw), int(th)};
}

namespace {

// The source pixels one target pixel takes along one axis, with their weights (summing
// to 1 << Shift).
struct Taps {
    std::vector<std::int32_t> first; // per target pixel
    std::vector<std::int32_t> count; // per target pixel
    std::vector<std::int32_t> offset;
    std::vector<std::int32_t> weight; // all taps, target pixel after target pixel
};

constexpr int Shift = 14;
constexpr std::int32_t One = 1 << Shift;

void AddTaps(Taps &taps, std::int32_t first, const std::vector<double> &w) {
    // Fixed-point weights whose sum is exactly One.
    std::int32_t total = 0;
    std::size_t largest = 0;
    const std::size_t base = taps.weight.size();
    for (std::size_t i = 0; i < w.size(); ++i) {
        const auto v = std::int32_t(std::lround(w[i] * One));
        taps.weight.push_back(v);
        total += v;
        if (w[i] > w[largest])
            largest = i;
    }
    taps.weight[base + largest] += One - total;
    taps.first.push_back(first);
    taps.count.push_back(std::int32_t(w.size()));
    taps.offset.push_back(std::int32_t(base));
}

Taps MakeTaps(std::int32_t from, std::int32_t to) {
    Taps taps;
    const double scale = double(from) / to;
    std::vector<double> w;
    for (std::int32_t t = 0; t < to; ++t) {
        w.clear();
        if (scale >= 1) {
            // Coverage: the part of each source pixel inside [t * scale, (t + 1) * scale).
            const double lo = t * scale, hi = std::min<double>(from, (t + 1) * scale);
            auto first = std::int32_t(std::floor(lo));
            for (std::int32_t s = first; s < hi; ++s)
                w.push_back((std::min<double>(s + 1, hi) - std::max<double>(s, lo)) / scale);
            // Rounding may leave a last tap of nothing.
            while (w.size() > 1 && w.back() <= 0)
                w.pop_back();
            AddTaps(taps, first, w);
        } else {
            // Bilinear between the two source pixels around the target pixel's centre.
            const double c = std::clamp((t + 0.5) * scale - 0.5, 0.0, double(from - 1));
            const auto first = std::min(std::int32_t(std::floor(c)), from - 1);
            const double f = c - first;
            if (first + 1 < from && f > 0)
                w = {1 - f, f};
            else
                w = {1};
            AddTaps(taps, first, w);
        }
    }
    return taps;
}

// Reduces one source row horizontally into `out` (width x channels values at One scale).
void ScaleRow(const unsigned char *src, int channels, const Taps &taps,
              std::vector<std::int32_t> &out) {
    const std::size_t to = taps.first.size();
    for (std::size_t t = 0; t < to; ++t) {
        const unsigned char *p = src + std::ptrdiff_t(taps.first[t]) * channels;
        const std::int32_t *wt = taps.weight.data() + taps.offset[t];
        std::int32_t acc[4] = {0, 0, 0, 0};
        for (std::int32_t k = 0; k < taps.count[t]; ++k, p += channels)
            for (int c = 0; c < channels; ++c)
                acc[c] += p[c] * wt[k];
        for (int c = 0; c < channels; ++c)
            out[t * channels + c] = acc[c];
    }
}

} // namespace

bool ScalePicture(const cDIBSection &source, cDIBSection &destination, int width, int height) {
    destination.CleanUp();
    if (source.IsEmpty() || width <= 0 || height <= 0)
        return false;
    const int channels = source.dib_channels();
    if (!destination.Create(width, height, channels))
        return false;
    const Taps across = MakeTaps(source.dib_width(), width);
    const Taps down = MakeTaps(source.dib_height(), height);

    const std::size_t rowValues = std::size_t(width) * channels;
    std::vector<std::int64_t> acc(rowValues);
    std::int32_t cached = -1;
    std::vector<std::int32_t> cachedRow(rowValues);
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0);
        const std::int32_t *wt = down.weight.data() + down.offset[y];
        for (std::int32_t k = 0; k < down.count[y]; ++k) {
            const std::int32_t sy = down.first[y] + k;
            // A source row on the border of two target rows is reduced only once.
            if (sy != cached) {
                ScaleRow(source.TopRow(sy), channels, across, cachedRow);
                cached = sy;
            }
            for (std::size_t i = 0; i < rowValues; ++i)
                acc[i] += std::int64_t(cachedRow[i]) * wt[k];
        }
        unsigned char *d = destination.TopRow(y);
        constexpr std::int64_t half = std::int64_t(1) << (2 * Shift - 1);
        for (std::size_t i = 0; i < rowValues; ++i)
            d[i] = static_cast<unsigned char>(
                std::clamp<std::int64_t>((acc[i] + half) >> (2 * Shift), 0, 255));
    }
    return true;
}

} // namespace glimmerby
