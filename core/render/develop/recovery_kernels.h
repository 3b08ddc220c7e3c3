#pragma once

#include "core/compute/kernel_library.h"
#include "core/compute/texture.h"
#include "core/render/develop/recovery_functions.h"

// The three recovery kernels of the tone shader library (see tone_shader.h for their bindings)
// and what the tone kernel shares with them.

namespace quillmere {

// The R32Float texture `texture` as a guide view; throws std::logic_error naming `role` when it
// has another format (a binding mistake that would otherwise read the wrong memory).
GuideView guideView(const Texture& texture, const char* role);

void recoveryPrepareKernel(const KernelArguments& arguments, RowRange rows);
void recoveryBilateralKernel(const KernelArguments& arguments, RowRange rows);
void recoveryMeterKernel(const KernelArguments& arguments, RowRange rows);

}  // namespace quillmere
