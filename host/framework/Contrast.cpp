#include "Contrast.h"

#include <cmath>

namespace Velmora {

namespace {
double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &text, const QColor &background, double ratio)
{
    QColor candidate = text.toRgb();
    const bool lightBackground = luminance(background) > 0.18;
    // Lightness moves in small steps toward black or white; black or white always reaches
    // 4.5:1 against any background, so the walk ends.
    for (int step = 0; step < 255 && ContrastRatio(candidate, background) < ratio; ++step) {
        const QColor hsl = candidate.toHsl();
        const int lightness =
            lightBackground ? std::max(0, hsl.lightness() - 4) : std::min(255, hsl.lightness() + 4);
        candidate = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness).toRgb();
    }
    return candidate;
}

} // namespace Velmora
