#include "core/decode/raw_filter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/decode/raw_filter_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/edit/temporary_folder.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::statisticsOf;

// Three grey stripes, 0.2, 0.3 and 0.6 of the range, with edges at a third and two thirds of
// the width, seen by an sRGB camera balanced for them.
SyntheticDNGOptions stripes(double shot, double read) {
    SyntheticDNGOptions options;
    options.width = 384;
    options.height = 256;
    options.asShotNeutral = std::array<double, 3>{1.0, 1.0, 1.0};
    options.whiteLevel = 16383;
    options.blackLevels = {512};
    const int width = options.width;
    options.scene = [width](int x, int) -> std::array<float, 3> {
        const float level = x < width / 3 ? 0.2f : x < 2 * width / 3 ? 0.3f : 0.6f;
        return {level, level, level};
    };
    options.shotNoise = shot;
    options.readNoiseVariance = read;
    options.seed = 7;
    return options;
}

std::shared_ptr<Texture> develop(const std::filesystem::path& file, float amount) {
    RawFilter filter(file);
    RawFilterSettings settings = filter.settings();
    settings.luminanceNoiseReductionAmount = amount;
    settings.colorNoiseReductionAmount = amount;
    settings.extendedDynamicRangeAmount = 2.0f;
    filter.setSettings(settings);
    return filter.outputTexture(Device());
}

void chroma(const Texture& t, int x, int w, const char* name) {
    const auto texels = testing::readTexels(t);
    double s = 0, q = 0; int n = 0;
    for (int y = 20; y < 236; ++y) for (int c = x; c < x + w; ++c) { const auto p = texels[y * t.width() + c]; double v = p.x - p.y; s += v; q += v * v; ++n; }
    std::printf("%s chroma std %.5f\n", name, std::sqrt(q / n - (s / n) * (s / n)));
}

TEST(RawFilterNoiseReduction, Figures) {
    const testing::TemporaryFolder folder;
    const auto noisyFile = folder.path() / "noisy.dng";
    const auto cleanFile = folder.path() / "clean.dng";
    const char* heavy = std::getenv("HEAVY");
    fixtures::writeSyntheticDNG(noisyFile, heavy ? stripes(2e-3, 2e-4) : stripes(4e-4, 4e-5));
    fixtures::writeSyntheticDNG(cleanFile, stripes(0, 0));
    const auto clean = develop(cleanFile, 0);
    const auto noisy = develop(noisyFile, 0);
    const auto denoised = develop(noisyFile, 1);
    const int third = 128;
    chroma(*noisy, 20, 88, "noisy"); chroma(*denoised, 20, 88, "denoised");
    for (int c = 0; c < 3; ++c) {
        for (int stripe = 0; stripe < 3; ++stripe) {
            const int x = stripe * third + 20;
            const auto n = statisticsOf(*noisy, c, x, 20, third - 40, 216);
            const auto d = statisticsOf(*denoised, c, x, 20, third - 40, 216);
            const auto k = statisticsOf(*clean, c, x, 20, third - 40, 216);
            std::printf("c%d stripe%d clean %.5f noisy %.5f±%.5f denoised %.5f±%.5f ratio %.2f\n", c,
                        stripe, k.mean, n.mean, n.deviation, d.mean, d.deviation,
                        n.deviation / d.deviation);
        }
        for (int edge : {third, 2 * third}) {
            const double ck = statisticsOf(*clean, c, edge, 10, 2, 236).mean -
                              statisticsOf(*clean, c, edge - 2, 10, 2, 236).mean;
            const double cn = statisticsOf(*noisy, c, edge, 10, 2, 236).mean -
                              statisticsOf(*noisy, c, edge - 2, 10, 2, 236).mean;
            const double cd = statisticsOf(*denoised, c, edge, 10, 2, 236).mean -
                              statisticsOf(*denoised, c, edge - 2, 10, 2, 236).mean;
            std::printf("c%d edge%d clean %.5f noisy %.5f denoised %.5f\n", c, edge, ck, cn, cd);
        }
    }
}

}  // namespace
}  // namespace quillmere
