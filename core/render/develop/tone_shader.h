#pragma once

#include "core/compute/kernel_library.h"

namespace quillmere {

// The develop kernels, by name. The host builds this library once and makes a pipeline of each
// kernel; every pass runs its rows in parallel and gives the same bytes with any thread count.
//
// "tone_kernel_main": the per-pixel develop. Dispatch over the output (threads outside it do
// nothing).
//   texture 0  input photo, linear RGB (RGBA16Float), at least the output's size
//   texture 1  output, display-encoded RGB with the input's alpha
//   texture 2  fully denoised input, or the input itself; read only when denoiseAmount > 0
//   texture 3  recovery base (R32Float); read only when highlights < 0 or shadows > 0
//   texture 4  1 × 1 white point in EV (R32Float); read only when highlights < 0
//   buffer 0   ToneUniforms (60 bytes), buffer 1 the curve table (kCurveTableSize floats, or
//              any buffer when curveActive is 0), buffer 2 HSLUniforms (128 bytes),
//   buffer 3   PointColorUniforms (368 bytes)
//
// "recovery_prepare": the recovery guide. Dispatch over the guide (long side at most 256).
//   texture 0 input, 1 guide (R32Float, written), 2 denoised input or the input; buffer 0
//   ToneUniforms
//
// "recovery_bilateral": the edge-aware base. Dispatch over the base (the guide's size).
//   texture 0 guide (R32Float), 1 base (R32Float, written)
//
// "recovery_meter": the scene white point. One threadgroup of 256 × 1 threads.
//   texture 0 guide (R32Float), 1 white point (1 × 1 R32Float, written)
//
// A binding of the wrong kind or size fails the pass (the command buffer reports it) instead of
// reading beyond a texture or buffer.
KernelLibrary makeToneKernelLibrary();

}  // namespace quillmere
