#include "core/render/develop/tone_kernel.h"

#include <array>
#include <stdexcept>

#include "core/compute/compute_pass.h"
#include "core/compute/kernel_errors.h"
#include "core/render/develop/tone_parameters.h"
#include "core/render/develop/tone_uniforms.h"
#include "core/render/develop/white_balance.h"

namespace quillmere {
namespace {

constexpr const char* kPrepareLabel = "Recovery: scene-linear luminance";
constexpr const char* kMeterLabel = "Recovery: scene white point";
constexpr const char* kBilateralLabel = "Recovery: edge-aware base";
constexpr const char* kToneLabel = "ToneKernel";

// The white-point reduction runs as one threadgroup of this many threads.
constexpr int kMeterThreads = 256;

// Every pass writes all of its work texture, so one kept from an earlier render will do.
std::shared_ptr<Texture> makeWorkTexture(TextureRecycler& textures, PixelFormat format, int width,
                                         int height) {
    std::shared_ptr<Texture> texture =
        textures.texture({.pixelFormat = format,
                          .width = width,
                          .height = height,
                          .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                          .storageMode = StorageMode::devicePrivate});
    if (!texture) throw BufferError::allocationFailed();
    return texture;
}

bool sameSize(const Texture& a, const Texture& b) {
    return a.width() == b.width() && a.height() == b.height();
}

}  // namespace

ToneKernel::ToneKernel(std::shared_ptr<const Device> device, const KernelLibrary& toneLibrary,
                       const KernelLibrary& sharpeningLibrary)
    : device(device),
      sharpening(device, sharpeningLibrary),
      curveTables(device),
      workTextures(device) {
    pipeline = requirePipeline(toneLibrary, "tone_kernel_main");
    constexpr const char* kRecoveryPair = "recovery_prepare / recovery_bilateral";
    recoveryPrepare = requirePipeline(toneLibrary, "recovery_prepare", kRecoveryPair);
    recoveryBilateral = requirePipeline(toneLibrary, "recovery_bilateral", kRecoveryPair);
    recoveryMeter = requirePipeline(toneLibrary, "recovery_meter");
    constexpr std::array<float, 4> zeros{};
    dummyLUTBuffer = this->device->makeBuffer(zeros.data(), sizeof zeros, StorageMode::shared);
    if (!dummyLUTBuffer) throw BufferError::allocationFailed();
}

void ToneKernel::encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                        const EditParams& params, double asShotTemperature, double asShotTint,
                        std::shared_ptr<Texture> denoisedInput, bool isRAW, double sourcePixelScale,
                        CommandBuffer& commandBuffer) const {
    if (!input || !output || input == output || !sameSize(*input, *output) ||
        (denoisedInput && (denoisedInput == output || !sameSize(*denoisedInput, *input)))) {
        throw std::invalid_argument(
            "The develop writes a separate output of its input's size, from a denoised input of "
            "that size when there is one.");
    }

    const bool sharpens = params.sharpening.sanitized().amount > 0 &&
                          params.visualizePointIndex < 0 && params.visualizeBandIndex < 0;
    const std::shared_ptr<Texture> toneOutput =
        sharpens ? makeWorkTexture(workTextures, PixelFormat::rgba16Float, output->width(),
                                   output->height())
                 : output;

    std::shared_ptr<Buffer> curveTable;
    if (!params.toneCurve.isIdentity()) curveTable = curveTables.lutBuffer(params.toneCurve);
    const ToneUniforms uniforms = makeToneUniforms(
        params, {.whiteBalanceGains = whiteBalanceGains(params.temperature, params.tint,
                                                        asShotTemperature, asShotTint),
                 .curveActive = curveTable != nullptr,
                 .hasDenoisedInput = denoisedInput != nullptr,
                 .isRAW = isRAW});
    const HSLUniforms hslUniforms = makeHSLUniforms(params.hsl);
    const PointColorUniforms pointUniforms = makePointColorUniforms(params);
    const std::shared_ptr<Texture> clean = denoisedInput ? denoisedInput : input;

    // Without recovery the tone pass reads neither the base nor the white point; the input stands
    // in.
    std::shared_ptr<Texture> base = input;
    std::shared_ptr<Texture> whitePoint = input;
    if (uniforms.highlights < 0 || uniforms.shadows > 0) {
        const GridSize guideSize = recoveryGuideSize(input->width(), input->height());
        const auto guide =
            makeWorkTexture(workTextures, PixelFormat::r32Float, guideSize.width, guideSize.height);
        base =
            makeWorkTexture(workTextures, PixelFormat::r32Float, guideSize.width, guideSize.height);

        ComputePass(commandBuffer, kPrepareLabel, recoveryPrepare)
            .texture(RecoveryPrepareTexture::input, input)
            .texture(RecoveryPrepareTexture::guide, guide)
            .texture(RecoveryPrepareTexture::clean, clean)
            .value(RecoveryPrepareBuffer::uniforms, uniforms)
            .dispatchThreadgroups(*guide);

        if (uniforms.highlights < 0) {
            whitePoint = makeWorkTexture(workTextures, PixelFormat::r32Float, 1, 1);
            ComputePass(commandBuffer, kMeterLabel, recoveryMeter, BufferError::allocationFailed())
                .texture(RecoveryMeterTexture::guide, guide)
                .texture(RecoveryMeterTexture::whitePoint, whitePoint)
                .dispatchThreadgroups({1, 1}, {kMeterThreads, 1});
        }

        ComputePass(commandBuffer, kBilateralLabel, recoveryBilateral)
            .texture(RecoveryBilateralTexture::guide, guide)
            .texture(RecoveryBilateralTexture::base, base)
            .dispatchThreadgroups(*base);
    }

    ComputePass(commandBuffer, kToneLabel, pipeline)
        .texture(ToneTexture::input, input)
        .texture(ToneTexture::output, toneOutput)
        .texture(ToneTexture::clean, clean)
        .texture(ToneTexture::recoveryBase, base)
        .texture(ToneTexture::whitePoint, whitePoint)
        .value(ToneBuffer::uniforms, uniforms)
        .buffer(ToneBuffer::curveTable, curveTable ? curveTable : dummyLUTBuffer)
        .value(ToneBuffer::hsl, hslUniforms)
        .value(ToneBuffer::pointColors, pointUniforms)
        .dispatchThreadgroups(*output);

    if (sharpens) {
        sharpening.encode(toneOutput, std::move(output), params.sharpening, sourcePixelScale,
                          commandBuffer);
    }
}

}  // namespace quillmere
