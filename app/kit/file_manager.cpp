#include "app/kit/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

namespace quillmere {
namespace {

QUrl fileURL(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

void openFolder(const std::filesystem::path& folder) { QDesktopServices::openUrl(fileURL(folder)); }

}  // namespace

void FileManager::reveal(const std::vector<std::filesystem::path>& items) {
    if (items.empty()) return;
    const std::filesystem::path folder = items.front().parent_path();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QStringList uris;
    // The service takes URIs, so a space or a non-ASCII name travels percent-encoded.
    for (const std::filesystem::path& item : items) {
        uris.append(fileURL(item).toString(QUrl::FullyEncoded));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // Asked without waiting, so a slow file manager never holds the window; where none offers
    // the service the bus answers with an error and the folder opens instead.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) openFolder(folder);
                         finished->deleteLater();
                     });
}

}  // namespace quillmere
