#include "core/decode/color_temperature.h"

#include <array>
#include <cmath>
#include <limits>

namespace quillmere {
namespace {

constexpr double kTintScale = 3000.0;

// Robertson's isotemperature lines (Wyszecki and Stiles, Color Science, table 1(3.11)): the
// reciprocal temperature in mireds, the line's crossing of the Planckian locus in CIE 1960 uv and
// the line's slope dv/du.
struct IsotemperatureLine {
    double mired;
    double u;
    double v;
    double slope;
};

constexpr std::array<IsotemperatureLine, 31> kLines{{
    {0, 0.18006, 0.26352, -0.24341},   {10, 0.18066, 0.26589, -0.25479},
    {20, 0.18133, 0.26846, -0.26876},  {30, 0.18208, 0.27119, -0.28539},
    {40, 0.18293, 0.27407, -0.30470},  {50, 0.18388, 0.27709, -0.32675},
    {60, 0.18494, 0.28021, -0.35156},  {70, 0.18611, 0.28342, -0.37915},
    {80, 0.18740, 0.28668, -0.40955},  {90, 0.18880, 0.28997, -0.44278},
    {100, 0.19032, 0.29326, -0.47888}, {125, 0.19462, 0.30141, -0.58204},
    {150, 0.19962, 0.30921, -0.70471}, {175, 0.20525, 0.31647, -0.84901},
    {200, 0.21142, 0.32312, -1.0182},  {225, 0.21807, 0.32909, -1.2168},
    {250, 0.22511, 0.33439, -1.4512},  {275, 0.23247, 0.33904, -1.7298},
    {300, 0.24010, 0.34308, -2.0637},  {325, 0.24792, 0.34655, -2.4681},
    {350, 0.25591, 0.34951, -2.9641},  {375, 0.26400, 0.35200, -3.5814},
    {400, 0.27218, 0.35407, -4.3633},  {425, 0.28039, 0.35577, -5.3762},
    {450, 0.28863, 0.35714, -6.7262},  {475, 0.29685, 0.35823, -8.5955},
    {500, 0.30505, 0.35907, -11.324},  {525, 0.31320, 0.35968, -15.628},
    {550, 0.32129, 0.36011, -23.325},  {575, 0.32931, 0.36038, -40.770},
    {600, 0.33724, 0.36051, -116.45},
}};

struct Direction {
    double u;
    double v;
};

// The unit vector along a line, pointing to lower v: away from green, towards magenta.
Direction alongLine(const IsotemperatureLine& line) {
    const double length = std::sqrt(1.0 + line.slope * line.slope);
    return {1.0 / length, line.slope / length};
}

// Signed distance of (u, v) from the line, positive on the side of lower temperature.
double distanceFrom(const IsotemperatureLine& line, double u, double v) {
    const Direction along = alongLine(line);
    return (v - line.v) * along.u - (u - line.u) * along.v;
}

TemperatureTint between(const IsotemperatureLine& cooler, const IsotemperatureLine& warmer,
                        double fraction, double u, double v) {
    const double mired = cooler.mired + fraction * (warmer.mired - cooler.mired);
    const double locusU = cooler.u + fraction * (warmer.u - cooler.u);
    const double locusV = cooler.v + fraction * (warmer.v - cooler.v);
    const Direction a = alongLine(cooler);
    const Direction b = alongLine(warmer);
    double alongU = a.u + fraction * (b.u - a.u);
    double alongV = a.v + fraction * (b.v - a.v);
    const double length = std::hypot(alongU, alongV);
    alongU /= length;
    alongV /= length;
    const double towardsMagenta = (u - locusU) * alongU + (v - locusV) * alongV;
    const double temperature =
        mired > 0.0 ? 1.0e6 / mired : std::numeric_limits<double>::infinity();
    return {temperature, -towardsMagenta * kTintScale};
}

}  // namespace

std::optional<TemperatureTint> temperatureTint(double x, double y) {
    const double denominator = -2.0 * x + 12.0 * y + 3.0;
    if (!std::isfinite(x) || !std::isfinite(y) || !(std::fabs(denominator) > 1e-12)) {
        return std::nullopt;
    }
    const double u = 4.0 * x / denominator;
    const double v = 6.0 * y / denominator;

    double previous = distanceFrom(kLines.front(), u, v);
    if (previous <= 0.0) return between(kLines[0], kLines[0], 0.0, u, v);
    for (std::size_t i = 1; i < kLines.size(); ++i) {
        const double distance = distanceFrom(kLines[i], u, v);
        if (distance <= 0.0) {
            return between(kLines[i - 1], kLines[i], previous / (previous - distance), u, v);
        }
        previous = distance;
    }
    return between(kLines.back(), kLines.back(), 0.0, u, v);
}

}  // namespace quillmere
