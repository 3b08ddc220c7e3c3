#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/compute/command_buffer.h"
#include "core/compute/kernel_errors.h"
#include "core/compute/kernel_library.h"

namespace quillmere {

// The pipeline of the kernel `name`; throws KernelError::functionNotFound naming `reportedName`
// (or `name` when that is empty) when the library holds no such kernel.
std::shared_ptr<const ComputePipelineState> requirePipeline(const KernelLibrary& library,
                                                            std::string_view name,
                                                            std::string_view reportedName = {});

// One compute pass of one dispatch, the steps every host-side kernel takes: an encoder from the
// command buffer, the pass's label and pipeline, the bindings by their slot names (see
// BindingSlot), then the dispatch, which ends the pass. A pass that is never dispatched adds
// nothing to the buffer.
//
//   ComputePass(commandBuffer, "RAW texture: chroma only", pipeline)
//       .texture(RAWTextureChromaTexture::input, input)
//       .texture(RAWTextureChromaTexture::output, output)
//       .dispatchThreads(*output);
class ComputePass {
  public:
    // Throws KernelError::encoderCreationFailed when the buffer gives no compute encoder.
    ComputePass(CommandBuffer& commandBuffer, std::string label,
                std::shared_ptr<const ComputePipelineState> pipeline)
        : ComputePass(commandBuffer, std::move(label), std::move(pipeline),
                      KernelError::encoderCreationFailed()) {}

    // The same for a pass whose kernel reports a missing encoder as an error of its own.
    template <class NoEncoderError>
    ComputePass(CommandBuffer& commandBuffer, std::string label,
                std::shared_ptr<const ComputePipelineState> pipeline,
                const NoEncoderError& noEncoder)
        : encoder_(commandBuffer.makeComputeCommandEncoder()), pipeline_(std::move(pipeline)) {
        if (!encoder_) throw noEncoder;
        encoder_->setLabel(std::move(label));
        encoder_->setComputePipelineState(pipeline_);
    }

    template <BindingSlot Slot>
    ComputePass& texture(Slot slot, std::shared_ptr<Texture> texture) {
        encoder_->setTexture(std::move(texture), static_cast<int>(slot));
        return *this;
    }
    template <BindingSlot Slot>
    ComputePass& buffer(Slot slot, std::shared_ptr<Buffer> buffer) {
        encoder_->setBuffer(std::move(buffer), 0, static_cast<int>(slot));
        return *this;
    }
    // A copy of `record`, taken now, inline with the pass.
    template <BindingSlot Slot, class T>
    ComputePass& value(Slot slot, const T& record) {
        static_assert(std::is_trivially_copyable_v<T>);
        encoder_->setBytes(&record, sizeof record, static_cast<int>(slot));
        return *this;
    }
    // A copy of `elements`, taken now; an empty list leaves the slot unbound.
    template <BindingSlot Slot, class T>
    ComputePass& array(Slot slot, std::span<const T> elements) {
        static_assert(std::is_trivially_copyable_v<T>);
        encoder_->setBytes(elements.data(), elements.size_bytes(), static_cast<int>(slot));
        return *this;
    }

    // One thread per texel of `covered`, in threadgroups of the pipeline's execution width by
    // at most 8 rows. Ends the pass.
    void dispatchThreads(const Texture& covered);
    // Whole threadgroups of the execution width by as many rows as the pipeline allows, covering
    // `covered`; the kernel skips the threads that fall outside it. Ends the pass.
    void dispatchThreadgroups(const Texture& covered);
    // Exactly these threadgroups. Ends the pass.
    void dispatchThreadgroups(GridSize threadgroupsPerGrid, GridSize threadsPerThreadgroup);

  private:
    std::unique_ptr<ComputeCommandEncoder> encoder_;
    std::shared_ptr<const ComputePipelineState> pipeline_;
};

}  // namespace quillmere
