#include "core/render/export/embedded_edit_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/common/coding_error.h"

namespace quillmere {
namespace {

// An export writes a record of layout 1 by this program, compact and with its keys sorted. Reading
// needs all four keys with their types but accepts any version and any writer, so that records
// of other layouts still open.
TEST(EmbeddedEditRecord, WritesLayoutOneAndReadsAnyVersionWithAllFourKeys) {
    EditParams edit = EditParams::neutral(4800, 12);
    edit.exposure = 0.75;
    const std::string text = EmbeddedEditRecord(edit).json();
    EXPECT_TRUE(text.starts_with(
        R"({"application":"Quillmere","editsAppliedToPixels":true,"parameters":{)"))
        << text;
    EXPECT_TRUE(text.ends_with(R"(},"schemaVersion":1})")) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos);

    const struct {
        const char* key;
        json::Json value;  // null: the key is left out
        std::optional<std::int64_t> version;
    } cases[] = {
        {"schemaVersion", 7, 7},
        {"schemaVersion", 2.0, 2},
        {"application", "Another Editor", 1},
        {"schemaVersion", nullptr, std::nullopt},
        {"schemaVersion", "1", std::nullopt},
        {"schemaVersion", 1.5, std::nullopt},
        {"application", nullptr, std::nullopt},
        {"editsAppliedToPixels", 0, std::nullopt},
        {"parameters", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        json::Json record = json::parse(text);
        if (c.value.is_null()) {
            record.erase(c.key);
        } else {
            record[c.key] = c.value;
        }
        SCOPED_TRACE(record.dump());
        try {
            const EmbeddedEditRecord decoded = EmbeddedEditRecord::decode(record);
            EXPECT_EQ(decoded.schemaVersion, c.version);
            EXPECT_EQ(decoded.parameters, edit);
        } catch (const DecodingError&) {
            EXPECT_EQ(c.version, std::nullopt);
        }
    }
}

}  // namespace
}  // namespace quillmere
