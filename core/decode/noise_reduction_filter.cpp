#include "core/decode/noise_reduction_filter.h"

#include <new>
#include <span>
#include <vector>

#include "core/decode/luma_chroma_denoiser.h"

namespace quillmere {
namespace {

// A texture as luma ((R + 2G + B) / 4) and chroma (R − G, B − G).
class TextureImage final : public LumaChromaImage {
  public:
    TextureImage(const Texture& source, Texture& destination, float noiseLevel)
        : source_(source),
          destination_(destination),
          shot_(4.0f * noiseLevel * noiseLevel),
          black_(noiseLevel * noiseLevel * noiseLevel * noiseLevel) {}

    int width() const override { return source_.width(); }
    int height() const override { return source_.height(); }
    bool hasDetail() const override { return false; }

    void readRow(int y, const LumaChromaRow& row) const override {
        std::vector<msl::float4> texels(static_cast<std::size_t>(width()));
        source_.readRow(0, y, texels);
        for (int x = 0; x < width(); ++x) {
            const msl::float4 t = texels[static_cast<std::size_t>(x)];
            row.luma[x] = 0.25f * (t.x + 2.0f * t.y + t.z);
            row.chroma1[x] = t.x - t.y;
            row.chroma2[x] = t.z - t.y;
        }
    }

    void noiseVariances(int count, const ConstLumaChromaRow& values, float* luma, float* chroma1,
                        float* chroma2) const override {
        for (int x = 0; x < count; ++x) {
            const msl::float3 rgb = toRGB(values.luma[x], values.chroma1[x], values.chroma2[x]);
            const float red = signalDependentVariance(black_, shot_, rgb.x);
            const float green = signalDependentVariance(black_, shot_, rgb.y);
            const float blue = signalDependentVariance(black_, shot_, rgb.z);
            luma[x] = (red + 4.0f * green + blue) / 16.0f;
            chroma1[x] = red + green;
            chroma2[x] = blue + green;
        }
    }

    void writeRow(int y, const ConstLumaChromaRow& row) override {
        std::vector<msl::float4> texels(static_cast<std::size_t>(width()));
        source_.readRow(0, y, texels);  // for the alpha
        for (int x = 0; x < width(); ++x) {
            msl::float4& t = texels[static_cast<std::size_t>(x)];
            t = msl::float4(toRGB(row.luma[x], row.chroma1[x], row.chroma2[x]), t.w);
        }
        destination_.writeRow(0, y, texels);
    }

  private:
    static msl::float3 toRGB(float luma, float chroma1, float chroma2) {
        const float green = luma - 0.25f * (chroma1 + chroma2);
        return {chroma1 + green, green, chroma2 + green};
    }

    const Texture& source_;
    Texture& destination_;
    float shot_;
    float black_;
};

}  // namespace

std::shared_ptr<Texture> reduceTextureNoise(const Texture& source, const Device& device,
                                            float noiseLevel) {
    std::shared_ptr<Texture> destination =
        device.makeTexture({source.pixelFormat(), source.width(), source.height(), source.usage(),
                            source.storageMode()});
    if (!destination) return nullptr;
    TextureImage image(source, *destination, noiseLevel);
    try {
        reduceNoise(image, {1.0f, 1.0f});
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return destination;
}

}  // namespace quillmere
