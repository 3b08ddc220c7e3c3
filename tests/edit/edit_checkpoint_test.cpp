#include "core/edit/edit_checkpoint.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace std::chrono;

EditCheckpoint sampleCheckpoint() {
    EditParams params;
    params.toneCurve.red = {{0, 3}, {255, 250}};
    return {*UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), "Warm",
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

TEST(EditCheckpoint, EncodesFourKeysAndDecodesToAnEqualCheckpoint) {
    const EditCheckpoint checkpoint = sampleCheckpoint();
    const json::Json encoded = checkpoint.encode();
    EXPECT_EQ(encoded, (json::Json{{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                                   {"name", "Warm"},
                                   {"createdAt", "2024-03-05T14:07:09Z"},
                                   {"params", checkpoint.params.encode()}}));
    EXPECT_EQ(EditCheckpoint::decode(encoded), checkpoint);
}

TEST(EditCheckpoint, EveryKeyIsRequiredAndParamsErrorsPassOutUnchanged) {
    for (const char* key : {"id", "name", "createdAt", "params"}) {
        json::Json encoded = sampleCheckpoint().encode();
        encoded.erase(key);
        const DecodingError error = decodingErrorOf(encoded);
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound) << key;
        EXPECT_EQ(error.codingPath().dotted(), key);
    }
    json::Json encoded = sampleCheckpoint().encode();
    encoded["params"]["denoiseMethod"] = "Detail";
    const DecodingError paramsError = decodingErrorOf(encoded);
    EXPECT_EQ(paramsError.kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(paramsError.codingPath().dotted(), "params.denoiseMethod");

    encoded = sampleCheckpoint().encode();
    encoded["id"] = "not-a-uuid";
    EXPECT_EQ(decodingErrorOf(encoded).codingPath().dotted(), "id");
}

}  // namespace
}  // namespace quillmere
