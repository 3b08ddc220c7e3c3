#pragma once

#include "core/compute/kernel_library.h"

namespace quillmere {

// The develop kernels, by name, with their binding slots. The host builds this library once and
// makes a pipeline of each kernel; every pass runs its rows in parallel and gives the same bytes
// with any thread count. A binding of the wrong kind or size fails the pass (the command buffer
// reports it) instead of reading beyond a texture or buffer.

// "tone_kernel_main": the per-pixel develop. Dispatch over the output (threads outside it do
// nothing).
enum class ToneTexture {
    input = 0,   // the photo, linear RGB (RGBA16Float), at least the output's size
    output = 1,  // display-encoded RGB with the input's alpha
    clean = 2,   // fully denoised input, or the input itself; read only when denoiseAmount > 0
    recoveryBase = 3,  // R32Float; read only when highlights < 0 or shadows > 0
    whitePoint = 4,    // 1 × 1 white point in EV (R32Float); read only when highlights < 0
};
enum class ToneBuffer {
    uniforms = 0,     // ToneUniforms (60 bytes)
    curveTable = 1,   // kCurveTableSize floats, or any buffer when curveActive is 0
    hsl = 2,          // HSLUniforms (128 bytes)
    pointColors = 3,  // PointColorUniforms (368 bytes)
};

// "recovery_prepare": the recovery guide. Dispatch over the guide (long side at most 256).
enum class RecoveryPrepareTexture { input = 0, guide = 1 /* R32Float, written */, clean = 2 };
enum class RecoveryPrepareBuffer { uniforms = 0 /* ToneUniforms */ };

// "recovery_bilateral": the edge-aware base. Dispatch over the base (the guide's size); both
// R32Float, the base written.
enum class RecoveryBilateralTexture { guide = 0, base = 1 };

// "recovery_meter": the scene white point. One threadgroup of 256 × 1 threads; the guide is
// R32Float, the white point 1 × 1 R32Float, written.
enum class RecoveryMeterTexture { guide = 0, whitePoint = 1 };

KernelLibrary makeToneKernelLibrary();

}  // namespace quillmere
