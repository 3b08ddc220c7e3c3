#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "app/state/edit_clipboard_payload.h"
#include "app/state/system_edit_clipboard.h"
#include "core/common/coding_error.h"

namespace quillmere {
namespace {

void putPayload(const std::string& bytes) {
    auto* content = new QMimeData;
    content->setData(EditClipboardPayload::mimeType.data(), QByteArray::fromStdString(bytes));
    QGuiApplication::clipboard()->setMimeData(content);
}

TEST(EditClipboardPayload, IsVersionOneThenTheEditAndRefusesOtherVersions) {
    const std::string bytes = EditClipboardPayload::encode(EditParams{});
    EXPECT_EQ(bytes.rfind(R"({"version":1,"params":{"exposure":0.0,"contrast":0.0,)", 0), 0u);
    EXPECT_EQ(EditClipboardPayload::decode(bytes), EditParams{});
    try {
        EditClipboardPayload::decode(R"({"version":2,"params":{}})");
        FAIL() << "a second version was read";
    } catch (const EditClipboardError& error) {
        EXPECT_STREQ(error.what(), "The copied edit was made by an unsupported version.");
    }
    // Damaged payloads fail with the decoder's error, an unreadable edit before its version.
    for (const char* damaged : {R"({"version":1})", R"({"version":2,"params":{"tint":"x"}})",
                                R"({"version":"1","params":{}})", "not json"}) {
        EXPECT_THROW(EditClipboardPayload::decode(damaged), DecodingError) << damaged;
    }
}

TEST(SystemEditClipboard, RoundTripsAnEditAsTheClipboardsOnlyContent) {
    QClipboard* desktop = QGuiApplication::clipboard();
    SystemEditClipboard clipboard;
    desktop->setText("earlier text");
    EXPECT_FALSE(clipboard.containsEdit());
    EXPECT_EQ(clipboard.read(), std::nullopt);

    EditParams edit;
    edit.exposure = 0.75;
    edit.hsl.points.emplace_back(30, 0.4, 0.6);
    clipboard.write(edit);
    EXPECT_EQ(clipboard.read(), edit);
    EXPECT_EQ(desktop->mimeData()->formats(), QStringList{EditClipboardPayload::mimeType.data()});

    // An edit that cannot be encoded leaves the clipboard alone.
    EditParams broken = edit;
    broken.exposure = NAN;
    EXPECT_THROW(clipboard.write(broken), EncodingError);
    EXPECT_EQ(clipboard.read(), edit);

    putPayload(R"({"version":2,"params":{}})");
    EXPECT_TRUE(clipboard.containsEdit());
    EXPECT_THROW(clipboard.read(), EditClipboardError);
}

}  // namespace
}  // namespace quillmere
