#include "core/render/export/embedded_edit_record.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillmere {
namespace {

EditParams someEdit() {
    EditParams edit = EditParams::neutral(4800, 12);
    edit.exposure = 0.75;
    edit.contrast = -20;
    edit.denoise = 40;
    return edit;
}

TEST(EmbeddedEditRecordTest, JSONTextIsCompactWithSortedKeys) {
    const std::string text = EmbeddedEditRecord(someEdit()).json();
    EXPECT_EQ(text.rfind("{\"application\":\"Quillmere\",\"editsAppliedToPixels\":true,"
                         "\"parameters\":{",
                         0),
              0u)
        << text;
    EXPECT_TRUE(text.ends_with(",\"schemaVersion\":1}")) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find(": "), std::string::npos);
}

TEST(EmbeddedEditRecordTest, EveryKeyIsRequired) {
    const json::Json complete = EmbeddedEditRecord(someEdit()).encode();
    for (const char* key : {"schemaVersion", "application", "editsAppliedToPixels", "parameters"}) {
        json::Json missing = complete;
        missing.erase(key);
        EXPECT_THROW(EmbeddedEditRecord::decode(missing), DecodingError) << key;
        json::Json null = complete;
        null[key] = nullptr;
        EXPECT_THROW(EmbeddedEditRecord::decode(null), DecodingError) << key;
    }
    json::Json badEdit = complete;
    badEdit["parameters"]["exposure"] = "bright";
    EXPECT_THROW(EmbeddedEditRecord::decode(badEdit), DecodingError);
}

TEST(EmbeddedEditRecordTest, AnEditJSONCannotHoldIsNotEncoded) {
    EditParams edit = someEdit();
    edit.exposure = std::numeric_limits<double>::infinity();
    EXPECT_THROW(EmbeddedEditRecord(edit).json(), EncodingError);
}

}  // namespace
}  // namespace quillmere
