// Floating-point operations never trap in this program (exception flags are never read and
// traps never enabled), and saying so lets the compiler evaluate both sides of a selection, which
// is what turns the develop's per-pixel loops into vector code. Results are unchanged: this is
// not a value-changing option.
#pragma GCC optimize("no-trapping-math")

#include "core/render/develop/tone_shader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/compute/msl_math.h"
#include "core/compute/texture.h"
#include "core/render/develop/recovery_functions.h"
#include "core/render/develop/recovery_kernels.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_program.h"
#include "core/render/develop/tone_uniforms.h"

namespace quillmere {
namespace {

void requireCovers(const Texture& source, const Texture& output, const char* role) {
    if (source.width() < output.width() || source.height() < output.height()) {
        throw std::logic_error(std::string("The ") + role + " texture is smaller than the output.");
    }
}

// One row of the input (and of the denoised input when the pass blends it) as floats.
struct SourceRow {
    std::vector<msl::float4> original;
    std::vector<msl::float4> clean;

    void read(const Texture& input, const Texture* cleanTexture, int y, int width) {
        original.resize(static_cast<std::size_t>(width));
        input.readRow(0, y, std::span<msl::float4>(original.data(), original.size()));
        if (cleanTexture) {
            clean.resize(static_cast<std::size_t>(width));
            cleanTexture->readRow(0, y, std::span<msl::float4>(clean.data(), clean.size()));
        } else {
            clean.clear();  // keeps the memory for the next call
        }
    }
    const msl::float4* cleanOr(const msl::float4* fallback) const {
        return clean.empty() ? fallback : clean.data();
    }
};

// Guide EVs (contrast-scaled scene EV) of whole image rows, for the texture mask of compressed
// highlights. The three most recent rows are kept, so each row of a call is worked out once
// even though it serves as the row below, the row itself and the row above.
class GuideEVRows {
  public:
    void reset(const Texture& input, const Texture* clean, const ToneProgram& program) {
        input_ = &input;
        clean_ = clean;
        program_ = &program;
        tags_.fill(-1);
    }

    const float* row(int y) {
        for (std::size_t slot = 0; slot < rows_.size(); ++slot) {
            if (tags_[slot] == y) return rows_[slot].data();
        }
        // Rows are asked for in ascending order, so the one furthest away is not needed again.
        std::size_t victim = 0;
        for (std::size_t slot = 1; slot < rows_.size(); ++slot) {
            if (std::abs(tags_[slot] - y) > std::abs(tags_[victim] - y)) victim = slot;
        }
        const int width = input_->width();
        source_.read(*input_, clean_, y, width);
        const msl::float4* clean = source_.cleanOr(source_.original.data());
        std::vector<float>& target = rows_[victim];
        target.resize(static_cast<std::size_t>(width));
        guideEVs(*program_, source_.original.data(), clean, target.data(), width);
        tags_[victim] = y;
        return target.data();
    }

    // Flattened, with an AVX2 clone, as developRow is (same bits either way).
    [[gnu::flatten]] __attribute__((target_clones("avx2", "default"))) static void guideEVs(
        const ToneProgram& program, const msl::float4* original, const msl::float4* clean,
        float* target, int width) {
        const SceneTransform scene = program.scene();
        const float contrast = program.guideContrastScale();
        for (int x = 0; x < width; ++x) {
            target[x] = sceneEV(sceneRGB(original[x].xyz(), clean[x].xyz(), scene), contrast);
        }
    }

  private:
    const Texture* input_ = nullptr;
    const Texture* clean_ = nullptr;
    const ToneProgram* program_ = nullptr;
    std::array<int, 3> tags_{};
    std::array<std::vector<float>, 3> rows_;
    SourceRow source_;
};

// Pixels per run of the recovery data's loops.
constexpr int kRecoveryRun = 64;

// The recovery data of one image row: the base image and the guide EVs of the row and its
// neighbours (null when highlights are not lowered, as no texture mask is asked for then).
// Answers for runs of pixels in loops that vectorise.
struct RecoveryRow {
    GuideView base;
    float uvY;
    float width;
    int lastX;
    const float* below;
    const float* row;
    const float* above;

    // Runs of pixels go through their steps loop by loop: the arithmetic vectorises, and the
    // indexed reads between (which the compiler would not vectorise) stay plain loads.
    void bases(int first, int n, const float* ev, float* out) const {
        const RecoveryBaseRow baseRow(base, uvY);
        const float *below = baseRow.rowBelow(), *above = baseRow.rowAbove();
        const float rowWidth = width;
        std::array<int, kRecoveryRun> left, right;
        std::array<float, kRecoveryRun> fx, belowLeft, belowRight, aboveLeft, aboveRight;
        for (int start = 0; start < n; start += kRecoveryRun) {
            const int m = std::min(kRecoveryRun, n - start);
            for (int i = 0; i < m; ++i) {
                const float u = (static_cast<float>(first + start + i) + 0.5f) / rowWidth;
                const RecoveryBaseRow::Columns columns = baseRow.columnsAt(u);
                left[i] = columns.left;
                right[i] = columns.right;
                fx[i] = columns.fx;
            }
            for (int i = 0; i < m; ++i) {
                belowLeft[i] = below[left[i]];
                belowRight[i] = below[right[i]];
                aboveLeft[i] = above[left[i]];
                aboveRight[i] = above[right[i]];
            }
            for (int i = 0; i < m; ++i) {
                out[start + i] = baseRow.blend(belowLeft[i], belowRight[i], aboveLeft[i],
                                               aboveRight[i], fx[i], ev[start + i]);
            }
        }
    }

    void textureMasks(int first, int n, const float* ev, float* out) const {
        const float *rowBelow = below, *rowItself = row, *rowAbove = above;
        std::array<float, kRecoveryRun> left, right;
        for (int start = 0; start < n; start += kRecoveryRun) {
            const int m = std::min(kRecoveryRun, n - start);
            for (int i = 0; i < m; ++i) {
                const int x = first + start + i;
                left[i] = rowItself[std::max(x - 1, 0)];
                right[i] = rowItself[std::min(x + 1, lastX)];
            }
            for (int i = 0; i < m; ++i) {
                const int x = first + start + i;
                out[start + i] =
                    recoveryTextureMask(ev[start + i], left[i], right[i], rowBelow[x], rowAbove[x]);
            }
        }
    }
};

// Develops one row. Flattened so that the whole per-pixel function, small vector helpers
// included, compiles into one loop body; an AVX2 clone runs where the processor has it (single
// IEEE operations without contraction in both, so both give the same bits).
[[gnu::flatten]] __attribute__((target_clones("avx2", "default"))) void developRow(
    const ToneProgram& program, const msl::float4* original, const msl::float4* clean,
    const RecoveryRow& recovery, msl::float4* result, int width) {
    program.developPixels(original, clean, width, recovery, result);
}

void toneMainKernel(const KernelArguments& arguments, RowRange rows) {
    const Texture& input = arguments.texture(ToneTexture::input);
    Texture& output = arguments.texture(ToneTexture::output);
    const int width = std::min(arguments.threadsPerGrid().width, output.width());
    const int rowEnd = std::min(rows.end, output.height());
    if (width <= 0 || rows.begin >= rowEnd) return;

    const auto u = arguments.value<ToneUniforms>(ToneBuffer::uniforms);
    const float* curveTable = nullptr;
    if (u.curveActive > 0.5f) {
        const std::span<const float> table = arguments.array<float>(ToneBuffer::curveTable);
        if (table.size() < kCurveTableSize) {
            throw std::logic_error("The curve table holds fewer than 1024 entries.");
        }
        curveTable = table.data();
    }
    const float whiteEV =
        u.highlights < 0.0f
            ? guideView(arguments.texture(ToneTexture::whitePoint), "white point").texels[0]
            : 0.0f;
    const ToneProgram program(u, curveTable, arguments.value<HSLUniforms>(ToneBuffer::hsl),
                              arguments.value<PointColorUniforms>(ToneBuffer::pointColors),
                              whiteEV);

    requireCovers(input, output, "input");
    const Texture* clean =
        program.usesCleanColor() ? &arguments.texture(ToneTexture::clean) : nullptr;
    if (clean) requireCovers(*clean, output, "denoised");

    thread_local SourceRow source;
    thread_local GuideEVRows guideEVs;
    thread_local std::vector<msl::float4> result;
    result.resize(static_cast<std::size_t>(width));
    guideEVs.reset(input, clean, program);
    RecoveryRow recovery{};
    if (program.compresses())
        recovery.base = guideView(arguments.texture(ToneTexture::recoveryBase), "base");
    recovery.width = static_cast<float>(output.width());
    recovery.lastX = output.width() - 1;

    for (int y = rows.begin; y < rowEnd; ++y) {
        recovery.uvY = (static_cast<float>(y) + 0.5f) / static_cast<float>(output.height());
        if (program.masksHighlightTexture()) {
            recovery.below = guideEVs.row(std::max(y - 1, 0));
            recovery.row = guideEVs.row(y);
            recovery.above = guideEVs.row(std::min(y + 1, output.height() - 1));
        }
        source.read(input, clean, y, width);
        developRow(program, source.original.data(), source.cleanOr(source.original.data()),
                   recovery, result.data(), width);
        output.writeRow(0, y, std::span<const msl::float4>(result.data(), result.size()));
    }
}

}  // namespace

KernelLibrary makeToneKernelLibrary() {
    KernelLibrary library;
    library.add("tone_kernel_main", toneMainKernel);
    library.add("recovery_prepare", recoveryPrepareKernel);
    library.add("recovery_bilateral", recoveryBilateralKernel);
    library.add("recovery_meter", recoveryMeterKernel);
    return library;
}

}  // namespace quillmere
