#include "core/reading/raw_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/reading/reader_protocol.h"
#include "core/reading/wire.h"

namespace quillmere {
namespace {

using namespace raw_answers;

// A record and capture information with a value of its own in every field.
SensorAnswer honestSensor() {
    SensorAnswer answer;
    QXRAWMetadata& m = answer.metadata;
    m = {6016,
         4016,
         3008,
         2008,
         8,
         6,
         6000,
         4000,
         4000,
         6000,
         6,
         {0, 1, 1, 0},
         {0, 0, 1, 1},
         800.0f,
         {512.0f, 513.0f, 514.0f, 515.0f},
         {16383.0f, 16383.0f, 16383.0f, 16383.0f},
         {2.1f, 1.0f, 1.6f, 1.0f},
         {1e-4f, 2e-4f, 3e-4f, 4e-4f},
         {1e-6f, 2e-6f, 3e-6f, 4e-6f},
         {40, 41, 42, 43}};
    QXRAWCaptureInfo& c = answer.capture;
    std::strcpy(c.make, "Maker");
    std::strcpy(c.model, std::string(63, 'm').c_str());
    std::strcpy(c.lens, "Lens 24-70");
    c.iso = 800.0f;
    c.exposure_time = 0.004f;
    c.f_number = 2.8f;
    c.focal_length = 35.0f;
    c.timestamp = 1'700'000'000;
    c.orientation = 6;
    c.baseline_exposure = -0.5f;
    for (int channel = 0; channel < 3; ++channel) c.white_balance[channel] = 1.5f + channel;
    c.colour_matrix_count = 2;
    c.calibration_illuminant[0] = 17;
    c.calibration_illuminant[1] = 21;
    for (int matrix = 0; matrix < 2; ++matrix) {
        for (int entry = 0; entry < 9; ++entry)
            c.xyz_to_camera[matrix][entry] = matrix + entry / 10.0f;
    }
    answer.supportsDetail = true;
    return answer;
}

TEST(RAWAnswers, ASensorsAnswerArrivesAsItWasSent) {
    const SensorAnswer sent = honestSensor();
    const SensorAnswer arrived = decodeSensorAnswer(encodeSensorAnswer(sent));
    EXPECT_EQ(std::memcmp(&arrived.metadata, &sent.metadata, sizeof sent.metadata), 0);
    EXPECT_EQ(std::memcmp(&arrived.capture, &sent.capture, sizeof sent.capture), 0);
    EXPECT_TRUE(arrived.supportsDetail);
    EXPECT_EQ(planeBytes(arrived.metadata), 3008ull * 2008 * 16);
}

// An answer that states what no reader gives, or that is cut or runs on, is no answer.
TEST(RAWAnswers, ASensorsAnswerOfSizesOrValuesNoReaderGivesIsNone) {
    const std::pair<const char*, std::function<void(SensorAnswer&)>> lies[] = {
        {"no width", [](auto& a) { a.metadata.width = 0; }},
        {"no height", [](auto& a) { a.metadata.height = -2; }},
        {"no quads", [](auto& a) { a.metadata.packed_width = 0; }},
        {"negative quads", [](auto& a) { a.metadata.packed_height = -1; }},
        {"no output", [](auto& a) { a.metadata.output_height = 0; }},
        // 2^15 × 2^14 pixels: twice the most any image of the program holds.
        {"an output too large",
         [](auto& a) {
             a.metadata.output_width = 1 << 15;
             a.metadata.output_height = 1 << 14;
         }},
        {"a plane too large",
         [](auto& a) {
             a.metadata.packed_width = 1 << 16;
             a.metadata.packed_height = 1 << 13;
         }},
        {"three colour matrices", [](auto& a) { a.capture.colour_matrix_count = 3; }},
        {"a negative count of them", [](auto& a) { a.capture.colour_matrix_count = -1; }},
    };
    for (const auto& [lie, tell] : lies) {
        SensorAnswer answer = honestSensor();
        tell(answer);
        EXPECT_THROW(decodeSensorAnswer(encodeSensorAnswer(answer)), WireError) << lie;
    }
    const std::string honest = encodeSensorAnswer(honestSensor());
    EXPECT_THROW(decodeSensorAnswer(honest.substr(0, honest.size() - 1)), WireError);
    EXPECT_THROW(decodeSensorAnswer(honest + '\0'), WireError);
    // A make of 64 bytes leaves no room for its terminating zero.
    std::string longMake = honest;
    const std::size_t make = 44 * 4;  // the record's fields, then the make's length
    longMake.replace(make, 8, WireWriter().u64(64).take());
    longMake.insert(make + 8 + 5, std::string(59, 'x'));
    EXPECT_THROW(decodeSensorAnswer(longMake), WireError);
}

TEST(RAWAnswers, DevelopmentsAndThumbnailsOfNoTextureTheProgramMakesAreNone) {
    DevelopmentAnswer development{1734, 1156, 100.0f, true};
    development.capture.f_number = 4.0f;
    std::strcpy(development.capture.model, "DC120");
    const DevelopmentAnswer arrived = decodeDevelopmentAnswer(encodeDevelopmentAnswer(development));
    EXPECT_EQ((std::tuple{arrived.width, arrived.height, arrived.iso, arrived.supportsDetail,
                          arrived.capture.f_number, std::string(arrived.capture.model)}),
              (std::tuple{1734, 1156, 100.0f, true, 4.0f, std::string("DC120")}));
    development.capture.colour_matrix_count = 3;
    EXPECT_THROW(decodeDevelopmentAnswer(encodeDevelopmentAnswer(development)), WireError);
    const ThumbnailAnswer thumbnail = decodeThumbnailAnswer(encodeThumbnailAnswer({180, 120}));
    EXPECT_EQ((std::pair{thumbnail.width, thumbnail.height}), (std::pair{180, 120}));
    EXPECT_EQ(developedBytes(180, 120), 180ull * 120 * 8);

    for (const auto& [width, height] : {std::pair{0, 10}, {10, -1}, {1 << 15, 1 << 14}}) {
        EXPECT_THROW(decodeDevelopmentAnswer(encodeDevelopmentAnswer({width, height, 0.0f, false})),
                     WireError);
        EXPECT_THROW(decodeThumbnailAnswer(encodeThumbnailAnswer({width, height})), WireError);
    }
    EXPECT_EQ(decodeThumbnailParams(encodeThumbnailParams(180)), 180);
    EXPECT_THROW(decodeThumbnailParams(encodeThumbnailParams(0)), WireError);
    EXPECT_EQ(decodeDevelopParams(encodeDevelopParams(false)), false);
    EXPECT_EQ(decodeDevelopAnswer(encodeDevelopAnswer("Not a number.")), "Not a number.");
    EXPECT_THROW(decodeDevelopAnswer(
                     encodeDevelopAnswer(std::string(reader_protocol::kMaxSentenceBytes + 1, 'x'))),
                 WireError);
}

}  // namespace
}  // namespace quillmere
