// A RAW reader that lies, on the reader's own service (reader/service), for the tests of what the
// program takes from its readers: its answers are well-formed messages whose content no honest
// reader gives, as the photo's text says:
//
//   "thumbnail W H"           rawThumbnail answers a W × H thumbnail, whatever side was asked
//   "develops with a failure" rawSensor answers a 4 × 4 sensor; rawDevelop answers a failure
//                             and pixels together
//   "sensor without a body"   rawSensor answers a body that decodes to nothing
//   "refuses developments"    rawSensor answers a 4 × 4 sensor; rawDevelop refuses
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>

#include "core/reading/raw_answers.h"
#include "core/reading/sealed_file.h"
#include "reader/service/service.h"

namespace quillmere::reader {
namespace {

using reader_protocol::JobKind;

std::string textOf(const Photo& photo) {
    std::string text(256, '\0');
    const ssize_t got = pread(photo.descriptor, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

UniqueDescriptor zeros(std::uint64_t bytes) {
    return makeSealedFile(bytes, [&](std::byte* into) { std::memset(into, 0, bytes); });
}

Answer withFile(std::string body, std::uint64_t bytes) {
    Answer answer{std::move(body), {}};
    answer.files.push_back(zeros(bytes));
    return answer;
}

class LyingJob : public Job {
  public:
    Claim claim(const Photo&, const Request&) override {
        return {std::uint64_t{16} << 20, std::chrono::seconds(10), "a photo of 4 × 4 pixels"};
    }

    Answer run(const Photo& photo, const Request& request) override {
        std::istringstream lie(textOf(photo));
        std::string word;
        lie >> word;
        if (request.kind == JobKind::rawThumbnail && word == "thumbnail") {
            std::int32_t width = 0, height = 0;
            lie >> width >> height;
            return withFile(raw_answers::encodeThumbnailAnswer({width, height}),
                            raw_answers::developedBytes(width, height));
        }
        if (request.kind == JobKind::rawSensor && word == "sensor") return {"\x01", {}};
        if (request.kind == JobKind::rawSensor) {
            raw_answers::SensorAnswer sensor;
            sensor.metadata.width = sensor.metadata.height = 4;
            sensor.metadata.packed_width = sensor.metadata.packed_height = 2;
            sensor.metadata.crop_width = sensor.metadata.crop_height = 4;
            sensor.metadata.output_width = sensor.metadata.output_height = 4;
            return withFile(raw_answers::encodeSensorAnswer(sensor),
                            raw_answers::planeBytes(sensor.metadata));
        }
        if (request.kind == JobKind::rawDevelop && word == "refuses") {
            throw Refusal("The lying reader refuses this development.");
        }
        if (request.kind == JobKind::rawDevelop) {
            return withFile(raw_answers::encodeDevelopAnswer("Broken."),
                            raw_answers::developedBytes(4, 4));
        }
        throw Refusal("The lying reader has no lie for this.");
    }

    bool takesFollowUp(JobKind kind) const override { return kind == JobKind::rawDevelop; }
};

}  // namespace
}  // namespace quillmere::reader

int main(int argc, char** argv) {
    return quillmere::reader::serve(argc, argv, [](quillmere::reader_protocol::JobKind) {
        return std::make_unique<quillmere::reader::LyingJob>();
    });
}
