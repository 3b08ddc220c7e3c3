#include "app/workspace/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

namespace quillmere {
namespace {

QUrl fileURL(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

// True when a file manager took the request.
bool showItemsOverDBus(const std::vector<std::filesystem::path>& items) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QStringList uris;
    for (const std::filesystem::path& item : items) uris.append(fileURL(item).toString());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // A file manager answers at once; a missing one makes the bus answer with an error.
    constexpr int kTimeoutMilliseconds = 3000;
    return bus.call(call, QDBus::Block, kTimeoutMilliseconds).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

void FileManager::reveal(const std::vector<std::filesystem::path>& items) {
    if (items.empty() || showItemsOverDBus(items)) return;
    QDesktopServices::openUrl(fileURL(items.front().parent_path()));
}

}  // namespace quillmere
