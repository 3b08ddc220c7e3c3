#include "reader/jobs/raster_jobs.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/imageio/imageio_error.h"
#include "core/reading/raster_answers.h"
#include "reader/colour/icc_claim.h"
#include "reader/heif/heif_file.h"
#include "reader/jobs/raster_budget.h"
#include "reader/jpeg/jpeg_file.h"
#include "reader/raster/linear_image_assembler.h"
#include "reader/raster/raster_kind.h"
#include "reader/raster/thumbnail.h"
#include "reader/service/answer_file.h"

namespace quillmere::reader {
namespace {

// The photo's bytes, mapped read-only and private: they are the page cache's, not the reader's
// data, whatever the photo's size.
class MappedPhoto {
  public:
    explicit MappedPhoto(const Photo& photo) : size_(static_cast<std::size_t>(photo.size)) {
        if (size_ == 0) return;
        void* mapping = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, photo.descriptor, 0);
        if (mapping == MAP_FAILED) throw std::runtime_error("The photo cannot be mapped.");
        mapping_ = static_cast<const char*>(mapping);
    }
    ~MappedPhoto() {
        if (mapping_) munmap(const_cast<char*>(mapping_), size_);
    }
    MappedPhoto(const MappedPhoto&) = delete;
    MappedPhoto& operator=(const MappedPhoto&) = delete;

    std::string_view bytes() const { return {mapping_, mapping_ ? size_ : 0}; }

  private:
    std::size_t size_;
    const char* mapping_ = nullptr;
};

// What the library or the program's checks refuse is the reader's refusal, in their words.
template <class Step>
auto refusingImageErrors(const Step& step) {
    try {
        return step();
    } catch (const ImageIOError& error) {
        throw Refusal(error.what());
    }
}

LinearSrgbTransform::Input inputOf(const JpegClaim& claim) {
    using Input = LinearSrgbTransform::Input;
    return claim.components == 1 ? Input::gray : claim.components == 4 ? Input::cmyk : Input::rgb;
}

std::string photoOf(std::int64_t width, std::int64_t height) {
    return "a photo of " + std::to_string(width) + " × " + std::to_string(height) + " pixels";
}

// A raster photo opened for a job: the file read as far as its claims, the decoder kept for the
// work.
struct RasterPhoto {
    explicit RasterPhoto(const Photo& photo) : mapped(photo) {
        const std::string_view bytes = mapped.bytes();
        refusingImageErrors([&] {
            switch (rasterKindOf(bytes)) {
                case RasterKind::jpeg: {
                    const JpegClaim& claim = jpeg.emplace(bytes).claim();
                    orientation = JpegFile::orientationOf(bytes);
                    conversion = iccConversionOf(claim.iccProfile, inputOf(claim));
                    size =
                        LinearImageAssembler::uprightSize(claim.width, claim.height, orientation);
                    return;
                }
                case RasterKind::heif: {
                    const HeifClaim& claim = heif.emplace(bytes).claim();
                    conversion = iccConversionOf(claim.iccProfile, LinearSrgbTransform::Input::rgb);
                    size = {claim.width, claim.height};
                    return;
                }
                case RasterKind::other:
                    break;
            }
            throw Refusal("It is neither a JPEG nor a HEIF photo.");
        });
    }

    std::string claimed() const { return photoOf(size.width, size.height); }

    MappedPhoto mapped;
    std::optional<JpegFile> jpeg;
    std::optional<HeifFile> heif;
    int orientation = 1;
    IccConversion conversion = IccConversion::tables;
    // The photo as it is shown: upright.
    LinearImageAssembler::Size size;
};

Claim claimOf(const raster_budget::Budget& budget, std::string claimed) {
    return {budget.memoryBytes, budget.processorTime, std::move(claimed)};
}

class RasterImageJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override {
        if (!request.params.empty()) throw std::invalid_argument("rasterImage takes no params.");
        RasterPhoto& raster = photo_.emplace(photo);
        if (raster.jpeg) {
            return claimOf(raster_budget::ofJpegImage(raster.jpeg->claim(), raster.orientation,
                                                      raster.conversion),
                           raster.claimed());
        }
        return claimOf(raster_budget::ofHeifImage(raster.heif->claim(), raster.conversion),
                       raster.claimed());
    }

    Answer run(const Photo&, const Request&) override {
        RasterPhoto& raster = *photo_;
        raster_answers::Image image{static_cast<std::uint32_t>(raster.size.width),
                                    static_cast<std::uint32_t>(raster.size.height)};
        Answer answer;
        answer.files.push_back(sealedAnswerFile(image.pixelBytes(), [&](std::byte* pixels) {
            auto* texels = reinterpret_cast<std::uint16_t*>(pixels);
            refusingImageErrors([&] {
                if (raster.jpeg) return raster.jpeg->decodeHalfFloat(raster.orientation, texels);
                const auto [width, height] = raster.heif->decodeHalfFloat(texels);
                image = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
            });
        }));
        answer.body = image.encode();
        return answer;
    }

  private:
    std::optional<RasterPhoto> photo_;
};

class RasterThumbnailJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override {
        const auto longestSide =
            static_cast<int>(raster_answers::ThumbnailRequest::decode(request.params).longestSide);
        longestSide_ = longestSide;
        RasterPhoto& raster = photo_.emplace(photo);
        if (raster.jpeg) {
            const auto [width, height] = raster.jpeg->scaledSize(longestSide);
            return claimOf(raster_budget::ofJpegThumbnail(raster.jpeg->claim(), width, height,
                                                          raster.conversion),
                           raster.claimed());
        }
        return claimOf(raster_budget::ofHeifThumbnail(raster.heif->claim()), raster.claimed());
    }

    Answer run(const Photo&, const Request&) override {
        RasterPhoto& raster = *photo_;
        const Rgb8Image thumbnail = refusingImageErrors([&] {
            if (raster.jpeg) return Thumbnail::jpeg(*raster.jpeg, raster.orientation, longestSide_);
            return Thumbnail::heif(*raster.heif, longestSide_);
        });
        const raster_answers::Thumbnail answered{static_cast<std::uint32_t>(thumbnail.width),
                                                 static_cast<std::uint32_t>(thumbnail.height)};
        Answer answer;
        answer.body = answered.encode();
        answer.files.push_back(sealedAnswerFile(answered.pixelBytes(), [&](std::byte* pixels) {
            std::memcpy(pixels, thumbnail.rgb.data(), thumbnail.rgb.size());
        }));
        return answer;
    }

  private:
    std::optional<RasterPhoto> photo_;
    int longestSide_ = 0;
};

}  // namespace

std::unique_ptr<Job> makeRasterImageJob() { return std::make_unique<RasterImageJob>(); }
std::unique_ptr<Job> makeRasterThumbnailJob() { return std::make_unique<RasterThumbnailJob>(); }

}  // namespace quillmere::reader
