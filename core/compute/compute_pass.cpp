#include "core/compute/compute_pass.h"

#include <algorithm>

namespace quillmere {

std::shared_ptr<const ComputePipelineState> requirePipeline(const KernelLibrary& library,
                                                            std::string_view name,
                                                            std::string_view reportedName) {
    std::shared_ptr<const ComputePipelineState> made = library.makePipeline(name);
    if (!made)
        throw KernelError::functionNotFound(
            std::string(reportedName.empty() ? name : reportedName));
    return made;
}

void ComputePass::dispatchThreads(const Texture& covered) {
    const int width = pipeline_->threadExecutionWidth();
    const int height = std::min(pipeline_->maxTotalThreadsPerThreadgroup() / width, 8);
    encoder_->dispatchThreads({covered.width(), covered.height()}, {width, height});
    encoder_->endEncoding();
}

void ComputePass::dispatchThreadgroups(const Texture& covered) {
    const int width = pipeline_->threadExecutionWidth();
    const int height = std::max(pipeline_->maxTotalThreadsPerThreadgroup() / width, 1);
    dispatchThreadgroups(
        {(covered.width() + width - 1) / width, (covered.height() + height - 1) / height},
        {width, height});
}

void ComputePass::dispatchThreadgroups(GridSize threadgroupsPerGrid,
                                       GridSize threadsPerThreadgroup) {
    encoder_->dispatchThreadgroups(threadgroupsPerGrid, threadsPerThreadgroup);
    encoder_->endEncoding();
}

}  // namespace quillmere
