#include "core/decode/raw_file.h"

#include <fmt/format.h>

#include <cstring>
#include <optional>

#include "core/decode/as_shot_white_balance.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_image_properties.h"
#include "core/decode/reader_answer.h"
#include "core/imageio/linear_image.h"
#include "core/reading/photo_file_metadata.h"
#include "core/reading/raw_answers.h"
#include "core/reading/sealed_file.h"

namespace quillmere {
namespace {

using reader_protocol::JobKind;

// The pixel counts the filter works with, checked before anything of theirs is mapped.
void requireAllocatableSize(const QXRAWMetadata& m) {
    const std::int64_t quads = std::int64_t{m.packed_width} * m.packed_height;
    const std::int64_t pixels = std::int64_t{m.output_width} * m.output_height;
    if (quads * 4 > LinearImage::maxPixelCount || pixels > LinearImage::maxPixelCount) {
        throw RAWFilterError(
            RAWFilterError::Code::outOfMemory,
            fmt::format("The photo has {} × {} pixels.", m.output_width, m.output_height));
    }
}

std::shared_ptr<const OpenedFile> openOrRefuse(const std::filesystem::path& file) {
    try {
        return OpenedFile::open(file);
    } catch (const ReadingError& error) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile, error.what());
    }
}

}  // namespace

RAWFile::RAWFile(const std::filesystem::path& file, PhotoReader& reader)
    : file_(file), reader_(reader), opened_(openOrRefuse(file)) {
    ReaderAnswer answer;
    session_ = openSession(answer);
    const raw_answers::SensorAnswer sensor =
        decodedAnswer(file_, [&] { return raw_answers::decodeSensorAnswer(answer.body); });
    metadata_ = sensor.metadata;
    requireAllocatableSize(metadata_);
    std::shared_ptr<Texture> texture = textureOfAnswer(
        answer, file_, PixelFormat::rgba32Float, metadata_.packed_width, metadata_.packed_height);
    texture->setLabel("Normalized Bayer R G1 B G2");
    plane_ = std::move(texture);

    neutral_ = asShotWhiteBalance(sensor.capture);
    noise_ = SensorNoiseProfile::fromMetadata(metadata_);
    properties_ = completedRAWProperties(readPhotoFileMetadata(*opened_)->properties,
                                         sensor.capture, metadata_.crop_width,
                                         metadata_.crop_height);
    baselineExposure_ = sensor.capture.baseline_exposure;
    supportsDetail_ = sensor.supportsDetail;
}

RAWFile::~RAWFile() = default;

std::unique_ptr<ReaderSession> RAWFile::openSession(ReaderAnswer& answer) const {
    try {
        return reader_.openSession(*opened_, {JobKind::rawSensor, {}, {}}, answer);
    } catch (const ReadingError& error) {
        // The reader's own refusal: the file is no sensor it reads.
        if (error.kind() != ReadingError::Kind::refused) throw;
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile, error.what());
    }
}

bool RAWFile::isCurrent(const std::filesystem::path& file) const {
    return file == file_ && opened_->isCurrent();
}

std::shared_ptr<Texture> RAWFile::develop() const {
    return developed({JobKind::rawDevelop, raw_answers::encodeDevelopParams(true), {}});
}

std::shared_ptr<Texture> RAWFile::develop(const std::function<void(float* plane)>& fill) const {
    ReaderRequest request{JobKind::rawDevelop, raw_answers::encodeDevelopParams(false), {}};
    UniqueDescriptor plane =
        makeSealedFile(raw_answers::planeBytes(metadata_),
                       [&](std::byte* into) { fill(reinterpret_cast<float*>(into)); });
    if (!plane) throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");
    request.files.push_back(std::move(plane));
    return developed(std::move(request));
}

std::shared_ptr<Texture> RAWFile::developed(ReaderRequest request) const {
    ReaderAnswer answer = ask(std::move(request));
    const std::string failure =
        decodedAnswer(file_, [&] { return raw_answers::decodeDevelopAnswer(answer.body); });
    if (!failure.empty()) {
        if (!answer.files.empty()) throw ReadingError(ReadingError::Kind::notRead, file_);
        throw RAWFilterError(RAWFilterError::Code::developFailed, failure);
    }
    return textureOfAnswer(answer, file_, PixelFormat::rgba16Float, metadata_.output_width,
                           metadata_.output_height);
}

ReaderAnswer RAWFile::ask(ReaderRequest request) const {
    using Kind = ReadingError::Kind;
    const std::lock_guard guard(sessionLock_);
    if (ended_) throw *ended_;
    if (!session_) {
        // The file read again through its opened descriptor: the same version, unless it was
        // written over in place, which a sensor of another record shows.
        ReaderAnswer first;
        std::unique_ptr<ReaderSession> session = openSession(first);
        const raw_answers::SensorAnswer sensor =
            decodedAnswer(file_, [&] { return raw_answers::decodeSensorAnswer(first.body); });
        if (std::memcmp(&sensor.metadata, &metadata_, sizeof metadata_) != 0) {
            throw RAWFilterError(RAWFilterError::Code::developFailed,
                                 "RAW geometry changed since decoding.");
        }
        session_ = std::move(session);
    }
    try {
        return session_->ask(std::move(request));
    } catch (const ReadingError& error) {
        // A refusal leaves the reader at work; any other end leaves none.
        if (error.kind() == Kind::refused) {
            throw RAWFilterError(RAWFilterError::Code::developFailed, error.what());
        }
        session_.reset();
        if (error.kind() != Kind::notRead && error.kind() != Kind::readerMissing) ended_ = error;
        throw;
    }
}

}  // namespace quillmere
