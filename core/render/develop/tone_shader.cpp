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

// One image row in scene light, as ToneProgram::sceneRow makes it.
struct SceneRow {
    std::vector<float> red, green, blue, luminance, ev, guideEV, alpha;

    ScenePlanes<float> planes(std::size_t width) {
        for (std::vector<float>* plane : {&red, &green, &blue, &luminance, &ev, &guideEV, &alpha})
            plane->resize(width);
        return {red.data(), green.data(),   blue.data(), luminance.data(),
                ev.data(),  guideEV.data(), alpha.data()};
    }
    ScenePlanes<const float> view() const {
        return {red.data(), green.data(),   blue.data(), luminance.data(),
                ev.data(),  guideEV.data(), alpha.data()};
    }
};

// Flattened, with an AVX2 clone, as developRow is (same bits either way).
[[gnu::flatten]] __attribute__((target_clones("avx2", "default"))) void sceneRowOf(
    const ToneProgram& program, const msl::float4* original, const msl::float4* clean, int width,
    const ScenePlanes<float>& out) {
    program.sceneRow(original, clean, width, out);
}

// The scene rows of the tone pass: each row it develops and, for the texture mask of lowered
// highlights, the rows below and above it. With that mask the three most recent rows are kept,
// so each row of a call is read from the textures and worked out once even though it serves as
// the row below, the row itself and the row above.
class SceneRows {
  public:
    // Rows of `width` pixels from the left edge of `input` (and of `clean`, when not null).
    void reset(const Texture& input, const Texture* clean, const ToneProgram& program, int width) {
        input_ = &input;
        clean_ = clean;
        program_ = &program;
        width_ = width;
        // Without the mask each row serves only itself: one slot, so that every worker thread
        // holds one row's planes instead of three.
        slots_ = program.masksHighlightTexture() ? rows_.size() : 1;
        tags_.fill(-1);
    }

    const SceneRow& row(int y) {
        for (std::size_t slot = 0; slot < slots_; ++slot) {
            if (tags_[slot] == y) return rows_[slot];
        }
        // Rows are asked for in ascending order, so the one furthest away is not needed again.
        std::size_t victim = 0;
        for (std::size_t slot = 1; slot < slots_; ++slot) {
            if (std::abs(tags_[slot] - y) > std::abs(tags_[victim] - y)) victim = slot;
        }
        const auto width = static_cast<std::size_t>(width_);
        original_.resize(width);
        input_->readRow(0, y, original_);
        if (clean_) {
            cleanTexels_.resize(width);
            clean_->readRow(0, y, cleanTexels_);
        }
        sceneRowOf(*program_, original_.data(), clean_ ? cleanTexels_.data() : original_.data(),
                   width_, rows_[victim].planes(width));
        tags_[victim] = y;
        return rows_[victim];
    }

  private:
    const Texture* input_ = nullptr;
    const Texture* clean_ = nullptr;
    const ToneProgram* program_ = nullptr;
    int width_ = 0;
    std::size_t slots_ = 0;
    std::array<int, 3> tags_{};
    std::array<SceneRow, 3> rows_;
    std::vector<msl::float4> original_, cleanTexels_;
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
    const ToneProgram& program, const ScenePlanes<const float>& scene, const RecoveryRow& recovery,
    msl::float4* result, int width) {
    program.developPixels(scene, width, recovery, result);
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

    // Scene rows span the whole output: the texture mask of the row's last pixel reads the
    // column to its right, clamped to the output.
    thread_local SceneRows scene;
    thread_local std::vector<msl::float4> result;
    result.resize(static_cast<std::size_t>(width));
    scene.reset(input, clean, program, output.width());
    RecoveryRow recovery{};
    if (program.compresses())
        recovery.base = guideView(arguments.texture(ToneTexture::recoveryBase), "base");
    recovery.width = static_cast<float>(output.width());
    recovery.lastX = output.width() - 1;

    for (int y = rows.begin; y < rowEnd; ++y) {
        recovery.uvY = (static_cast<float>(y) + 0.5f) / static_cast<float>(output.height());
        if (program.masksHighlightTexture()) {
            recovery.below = scene.row(std::max(y - 1, 0)).guideEV.data();
            recovery.above = scene.row(std::min(y + 1, output.height() - 1)).guideEV.data();
        }
        const SceneRow& row = scene.row(y);
        recovery.row = row.guideEV.data();
        developRow(program, row.view(), recovery, result.data(), width);
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
