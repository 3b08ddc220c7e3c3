#pragma once

#include <memory>

#include "core/compute/texture.h"
#include "core/reading/sealed_file.h"

namespace quillmere {

// A texture over a reader's pixels in a sealed memory file, without a copy: its texels are the
// file's mapping (private: a kernel that writes the texture writes copies of those pages, the
// file never changes), which goes with the texture. Null, the file released, unless the file
// holds exactly `descriptor`'s texels (width × height × the format's bytes, rows packed).
std::shared_ptr<Texture> makeTextureOver(SealedFile file, const TextureDescriptor& descriptor);

}  // namespace quillmere
