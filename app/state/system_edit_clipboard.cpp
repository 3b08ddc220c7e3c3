#include "app/state/system_edit_clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include "app/state/edit_clipboard_payload.h"

namespace quillmere {
namespace {

QString payloadFormat() {
    return QString::fromUtf8(EditClipboardPayload::mimeType.data(),
                             static_cast<qsizetype>(EditClipboardPayload::mimeType.size()));
}

}  // namespace

SystemEditClipboard::SystemEditClipboard(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {}

bool SystemEditClipboard::containsEdit() {
    const QMimeData* content = clipboard_->mimeData();
    return content && content->hasFormat(payloadFormat());
}

void SystemEditClipboard::write(const EditParams& params) {
    const std::string bytes = EditClipboardPayload::encode(params);
    auto* content = new QMimeData;
    content->setData(payloadFormat(),
                     QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    // The clipboard owns the data from here on; setting it replaces whatever it held.
    clipboard_->setMimeData(content);
    // setMimeData reports nothing, so the clipboard is asked whether it holds the edit now.
    if (!containsEdit()) throw EditClipboardError::writeFailed();
}

std::optional<EditParams> SystemEditClipboard::read() {
    const QMimeData* content = clipboard_->mimeData();
    if (!content || !content->hasFormat(payloadFormat())) return std::nullopt;
    const QByteArray bytes = content->data(payloadFormat());
    return EditClipboardPayload::decode(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace quillmere
