#include "core/edit/edit_checkpoint.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace std::chrono;

EditCheckpoint sampleCheckpoint() {
    EditParams params;
    params.exposure = 1.25;
    params.toneCurve.red = {{0, 3}, {255, 250}};
    return EditCheckpoint{*UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), "Warm",
                          Date{sys_days{2024y / 3 / 5} + 14h + 7min + 9s}, params};
}

DecodingError decodingErrorOf(const json::Json& value) {
    try {
        EditCheckpoint::decode(value);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "decoded " << value.dump();
    return DecodingError::dataCorrupted({}, "none");
}

TEST(EditCheckpoint, EncodesFourKeysAndDecodesBackToAnEqualCheckpoint) {
    const EditCheckpoint checkpoint = sampleCheckpoint();
    const json::Json encoded = checkpoint.encode();
    EXPECT_EQ(encoded["id"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(encoded["name"], "Warm");
    EXPECT_EQ(encoded["createdAt"], "2024-03-05T14:07:09Z");
    EXPECT_EQ(encoded["params"], checkpoint.params.encode());
    EXPECT_EQ(encoded.size(), 4u);
    EXPECT_EQ(EditCheckpoint::decode(encoded), checkpoint);
}

TEST(EditCheckpoint, EveryKeyIsRequired) {
    for (const char* key : {"id", "name", "createdAt", "params"}) {
        SCOPED_TRACE(key);
        json::Json encoded = sampleCheckpoint().encode();
        encoded.erase(key);
        const DecodingError error = decodingErrorOf(encoded);
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound);
        EXPECT_EQ(error.codingPath().dotted(), key);
    }
    json::Json encoded = sampleCheckpoint().encode();
    encoded["name"] = nullptr;
    EXPECT_EQ(decodingErrorOf(encoded).kind(), DecodingError::Kind::valueNotFound);
}

TEST(EditCheckpoint, MalformedValuesFailAndParamsErrorsPassOutUnchanged) {
    json::Json encoded = sampleCheckpoint().encode();
    encoded["params"]["denoiseMethod"] = "Detail";
    const DecodingError paramsError = decodingErrorOf(encoded);
    EXPECT_EQ(paramsError.kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(paramsError.codingPath().dotted(), "params.denoiseMethod");

    encoded = sampleCheckpoint().encode();
    encoded["id"] = "not-a-uuid";
    EXPECT_EQ(decodingErrorOf(encoded).kind(), DecodingError::Kind::dataCorrupted);

    encoded = sampleCheckpoint().encode();
    encoded["createdAt"] = "2024-03-05T14:07:09.123Z";
    EXPECT_EQ(decodingErrorOf(encoded).codingPath().dotted(), "createdAt");

    EXPECT_EQ(decodingErrorOf(json::Json::array()).kind(), DecodingError::Kind::typeMismatch);
}

TEST(EditCheckpoint, EqualityComparesEveryField) {
    const EditCheckpoint checkpoint = sampleCheckpoint();
    EditCheckpoint other = checkpoint;
    other.params.contrast = 1;
    EXPECT_NE(other, checkpoint);
    other = checkpoint;
    other.name = "Cool";
    EXPECT_NE(other, checkpoint);
    other = checkpoint;
    other.id = UUID::random();
    EXPECT_NE(other, checkpoint);
}

}  // namespace
}  // namespace quillmere
