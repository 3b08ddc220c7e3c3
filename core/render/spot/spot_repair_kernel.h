#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/kernel_library.h"
#include "core/compute/msl_vector.h"
#include "core/edit/spot_repair.h"
#include "core/render/spot/spot_heal_shader.h"

namespace quillmere {

// Spot repair in two steps. placements() cuts the painted strokes into discs and chooses a clean
// source patch for each, on the CPU, from a reference image (the fit-size, undenoised decode of
// the photo, so the choice does not depend on the render's size or denoise setting); encode()
// then heals every disc into a rendered image of any size. The last search is cached, so
// re-rendering with other sliders searches nothing. One render job uses a kernel at a time.
class SpotRepairKernel {
  public:
    // One disc with its chosen source, in normalised texture coordinates: (pixel x / width,
    // pixel y / height) with rows counted from the texture's first (the photo's bottom) row.
    struct Placement {
        SpotRepair repair;  // the disc: the stroke's id, centre and radius, empty path
        msl::float2 source;
        // The target-side boundary points that were clean around the source too.
        std::vector<msl::float2> boundary;

        bool operator==(const Placement&) const = default;
    };

    // Takes "heal_spot" from `library`; throws GPURenderEngineError::renderFailed "Could not
    // load the spot repair tool." when it holds none. The device makes the patch textures.
    explicit SpotRepairKernel(std::shared_ptr<const Device> device,
                              const KernelLibrary& library = makeSpotHealingKernelLibrary());

    // The placements of every disc of the valid repairs, in order; invalid repairs are ignored,
    // so none at all gives an empty list. `reference` is an RGBA16Float texture (throws
    // std::invalid_argument otherwise). The same texture object with an equal repair list gives
    // the cached result without reading anything.
    //
    // Throws CancellationError when `shouldCancel` answers true (polled while the coverage mask
    // is built and before each disc), and GPURenderEngineError::renderFailed "No clean nearby
    // patch fits this repair. Undo the last stroke and paint a smaller area." when a disc has no
    // acceptable source. After an error the cache is as it was.
    std::vector<Placement> placements(const std::vector<SpotRepair>& repairs,
                                      const std::shared_ptr<const Texture>& reference,
                                      const std::function<bool()>& shouldCancel);

    // Encodes the healing of each placement into `image` in place, in order: per disc a compute
    // pass "Heal sensor spot" that writes the disc's bounding box (clipped to the image) into a
    // patch texture, then a blit of the patch into the image. A later disc therefore clones from
    // pixels an earlier one healed. Discs whose box lies outside the image are skipped. `image`
    // must be RGBA16Float (throws std::invalid_argument otherwise). Only encodes; the caller
    // commits. Throws GPURenderEngineError::renderFailed "Could not allocate a spot repair patch."
    // when a patch texture or compute encoder cannot be made and "Could not apply the spot repair
    // patch." when a blit encoder cannot be made; discs encoded before stay on the buffer.
    void encode(const std::vector<Placement>& placements, const std::shared_ptr<Texture>& image,
                CommandBuffer& command) const;

  private:
    std::shared_ptr<const Device> device;
    std::shared_ptr<const ComputePipelineState> pipeline;
    // The last search. The reference is held, not just remembered by address: a texture made
    // after the old one was freed could otherwise take its place and be served stale results.
    std::shared_ptr<const Texture> cachedReference;
    std::vector<SpotRepair> cachedRepairs;
    std::vector<Placement> cachedPlacements;
};

}  // namespace quillmere
