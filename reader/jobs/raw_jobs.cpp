#include "reader/jobs/raw_jobs.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/compute/device.h"
#include "core/compute/lanczos_scale.h"
#include "core/imageio/thumbnail_size.h"
#include "core/reading/raw_answers.h"
#include "core/reading/sealed_file.h"
#include "rawbridge/qx_raw.h"
#include "rawbridge/raw_claims.h"
#include "reader/jobs/raw_budget.h"
#include "reader/service/answer_file.h"

namespace quillmere::reader {
namespace {

using rawbridge::RAWClaims;
using reader_protocol::JobKind;

// The sentence of the sensor read for a file it does not take (rawbridge/libraw_instance.h).
constexpr const char* kNotBayer =
    "The research denoiser currently requires a three-color Bayer RAW.";

// The message buffer of a bridge call.
class BridgeMessage {
  public:
    char* data() { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    // The bridge's sentence; `fallback` when it wrote none.
    std::string text(const char* fallback) const {
        const std::string written(bytes_.data(), strnlen(bytes_.data(), bytes_.size()));
        return written.empty() ? fallback : written;
    }

  private:
    std::array<char, 1024> bytes_{};
};

struct BridgeFree {
    void operator()(void* pointer) const { qx_raw_free(pointer); }
};
using BridgePixels = std::unique_ptr<std::uint16_t, BridgeFree>;

struct SensorClose {
    void operator()(QXRAWSensor* sensor) const { qx_raw_sensor_close(sensor); }
};

// The claims of the photo from LibRaw's header parse; a file the bridge refuses on opening it is
// refused in the bridge's words.
RAWClaims claimsOfPhoto(const Photo& photo) {
    try {
        return rawbridge::readRAWClaims(photo.procPath.c_str());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& refusal) {
        throw Refusal(refusal.what());
    }
}

// The machine the libraries start their threads on.
const raw_budget::Machine& machine() {
    static const raw_budget::Machine measured = raw_budget::Machine::ofThisProcess();
    return measured;
}

Claim claimOf(const RAWClaims& claims, const raw_budget::Need& need) {
    return {need.memoryBytes, need.processorTime,
            "a photo of " + std::to_string(claims.width) + " × " + std::to_string(claims.height) +
                " pixels"};
}

UniqueDescriptor sealedCopy(const void* pixels, std::uint64_t bytes) {
    return sealedAnswerFile(bytes, [&](std::byte* into) { std::memcpy(into, pixels, bytes); });
}

class RAWSensorJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override {
        if (request.kind == JobKind::rawDevelop) {
            return claimOf(claims_, raw_budget::sensorDevelopment(claims_, machine()));
        }
        claims_ = claimsOfPhoto(photo);
        // Known from the header: a file of another kind is not unpacked for nothing.
        if (!claims_.bayer) throw Refusal(kNotBayer);
        return claimOf(claims_, raw_budget::sensorSession(claims_, machine()));
    }

    Answer run(const Photo& photo, const Request& request) override {
        return request.kind == JobKind::rawDevelop ? develop(request) : read(photo);
    }

    bool takesFollowUp(JobKind kind) const override { return kind == JobKind::rawDevelop; }

  private:
    Answer read(const Photo& photo) {
        BridgeMessage message;
        raw_answers::SensorAnswer answer;
        QXRAWSensor* opened = nullptr;
        const int result = qx_raw_sensor_open(photo.procPath.c_str(), &answer.metadata, &opened,
                                              message.data(), message.size());
        sensor_.reset(opened);
        if (result != 0) throw Refusal(message.text("Unknown sensor decoding error."));
        if (qx_raw_read_capture_info(photo.procPath.c_str(), &answer.capture, message.data(),
                                     message.size()) != 0) {
            throw Refusal(message.text("Unknown RAW header error."));
        }
        answer.supportsDetail = qx_raw_is_supported_bayer(photo.procPath.c_str());
        metadata_ = answer.metadata;

        int readResult = -1;
        UniqueDescriptor plane =
            sealedAnswerFile(raw_answers::planeBytes(metadata_), [&](std::byte* into) {
                readResult = qx_raw_sensor_read(sensor_.get(), reinterpret_cast<float*>(into),
                                                message.data(), message.size());
            });
        if (readResult != 0) throw Refusal(message.text("Unknown sensor decoding error."));
        Answer sent{raw_answers::encodeSensorAnswer(answer), {}};
        sent.files.push_back(std::move(plane));
        return sent;
    }

    // A development of the program's plane that fails says nothing of the file, so it is
    // answered, not refused (a refusal is kept for the file): the plane is missing, not sealed,
    // not of the sensor's size, or holds a value that is not a number.
    Answer develop(const Request& request) {
        if (!sensor_) throw std::logic_error("A development follows the sensor's read.");
        const bool own = raw_answers::decodeDevelopParams(request.params);
        std::optional<SealedFile> plane;
        // A development of the program's plane comes with the plane, one of the reader's own
        // without.
        if (!own && request.files.size() == 1) {
            plane = SealedFile::accept(fcntl(request.files.front().get(), F_DUPFD_CLOEXEC, 0),
                                       raw_answers::planeBytes(metadata_));
        }
        if (request.files.size() != (own ? 0u : 1u) || (!own && !plane)) {
            return {raw_answers::encodeDevelopAnswer(
                        "The sensor plane to develop is not the sensor's."),
                    {}};
        }
        BridgeMessage message;
        bool filled = false;
        int result = -1;
        UniqueDescriptor developed = makeSealedFile(
            raw_answers::developedBytes(metadata_.output_width, metadata_.output_height),
            [&](std::byte* rgba) {
                filled = true;
                result = qx_raw_sensor_render(
                    sensor_.get(), plane ? reinterpret_cast<const float*>(plane->data()) : nullptr,
                    reinterpret_cast<std::uint16_t*>(rgba), message.data(), message.size());
            });
        if (!filled) throw std::bad_alloc();
        if (result != 0) {
            const std::string failure = message.text("Unknown linear RAW rendering error.");
            if (own) throw Refusal(failure);
            return {raw_answers::encodeDevelopAnswer(failure), {}};
        }
        if (!developed) throw std::bad_alloc();
        Answer sent{raw_answers::encodeDevelopAnswer({}), {}};
        sent.files.push_back(std::move(developed));
        return sent;
    }

    RAWClaims claims_;
    QXRAWMetadata metadata_{};
    std::unique_ptr<QXRAWSensor, SensorClose> sensor_;
};

class RAWDevelopmentJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request&) override {
        const RAWClaims claims = claimsOfPhoto(photo);
        return claimOf(claims, raw_budget::fullDevelopment(claims, machine()));
    }

    Answer run(const Photo& photo, const Request&) override {
        BridgeMessage message;
        std::int32_t info[3] = {};
        std::uint16_t* rgba = nullptr;
        const int result = qx_raw_render_original(photo.procPath.c_str(), info, &rgba,
                                                  message.data(), message.size());
        const BridgePixels pixels(rgba);
        if (result != 0 || !pixels) {
            throw Refusal(message.text("Unknown general RAW rendering error."));
        }
        raw_answers::DevelopmentAnswer answer{info[0], info[1], 0.0f,
                                              qx_raw_is_supported_bayer(photo.procPath.c_str())};
        std::memcpy(&answer.iso, &info[2], sizeof answer.iso);
        // The capture details the window shows, where the file's metadata lacks them; a file whose
        // header LibRaw reads no more of is developed all the same, without them.
        if (qx_raw_read_capture_info(photo.procPath.c_str(), &answer.capture, message.data(),
                                     message.size()) != 0) {
            answer.capture = {};
        }
        Answer sent{raw_answers::encodeDevelopmentAnswer(answer), {}};
        sent.files.push_back(
            sealedCopy(pixels.get(), raw_answers::developedBytes(answer.width, answer.height)));
        return sent;
    }
};

class RAWThumbnailJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override {
        longestSide_ = raw_answers::decodeThumbnailParams(request.params);
        const RAWClaims claims = claimsOfPhoto(photo);
        return claimOf(claims, raw_budget::thumbnail(claims, machine()));
    }

    Answer run(const Photo& photo, const Request&) override {
        BridgeMessage message;
        std::int32_t size[2] = {};
        std::uint16_t* rgba = nullptr;
        const int result =
            qx_raw_thumbnail(photo.procPath.c_str(), size, &rgba, message.data(), message.size());
        const BridgePixels pixels(rgba);
        if (result != 0 || !pixels) throw Refusal(message.text("Unknown RAW thumbnail error."));
        const auto [width, height] = Thumbnail::fittedSize(size[0], size[1], longestSide_);
        Answer sent{raw_answers::encodeThumbnailAnswer({width, height}), {}};
        const std::uint64_t bytes = raw_answers::developedBytes(width, height);
        if (width == size[0] && height == size[1]) {
            sent.files.push_back(sealedCopy(pixels.get(), bytes));
            return sent;
        }
        // Both the development and the textures keep the image's bottom row first.
        const Device device;
        const auto texture = [&](int w, int h) {
            std::shared_ptr<Texture> made = device.makeTexture({PixelFormat::rgba16Float, w, h});
            if (!made) throw std::bad_alloc();
            return made;
        };
        const std::shared_ptr<Texture> developed = texture(size[0], size[1]);
        developed->replaceRegion({0, 0, size[0], size[1]}, pixels.get(),
                                 static_cast<std::size_t>(size[0]) * 8);
        const std::shared_ptr<Texture> fitted = texture(width, height);
        lanczosScale(*developed, *fitted);
        sent.files.push_back(sealedAnswerFile(bytes, [&](std::byte* into) {
            fitted->getBytes(into, static_cast<std::size_t>(width) * 8, {0, 0, width, height});
        }));
        return sent;
    }

  private:
    std::int32_t longestSide_ = 1;
};

}  // namespace

std::unique_ptr<Job> makeRAWSensorJob() { return std::make_unique<RAWSensorJob>(); }
std::unique_ptr<Job> makeRAWDevelopmentJob() { return std::make_unique<RAWDevelopmentJob>(); }
std::unique_ptr<Job> makeRAWThumbnailJob() { return std::make_unique<RAWThumbnailJob>(); }

}  // namespace quillmere::reader
