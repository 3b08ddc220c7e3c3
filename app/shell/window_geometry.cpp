#include "app/shell/window_geometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "app/state/preferences.h"

namespace quillmere::WindowGeometry {
namespace {

QList<QRect> usableScreenAreas() {
    QList<QRect> areas;
    // The primary screen first: a window that is on no screen goes there.
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        areas.append(primary->availableGeometry());
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) areas.append(screen->availableGeometry());
    }
    return areas;
}

// Writes the window's geometry and maximised state whenever the window is hidden.
class GeometryKeeper : public QObject {
  public:
    GeometryKeeper(QWidget& window, Preferences& preferences)
        : QObject(&window), window_(window), preferences_(preferences) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Hide) store();
        return false;
    }

  private:
    void store() {
        // A maximised window keeps the geometry it returns to.
        const bool maximized = window_.isMaximized();
        preferences_.setValue(kGeometry, maximized ? window_.normalGeometry() : window_.geometry());
        preferences_.setValue(kMaximized, maximized);
    }

    QWidget& window_;
    Preferences& preferences_;
};

}  // namespace

QRect placedOnScreens(const QRect& saved, const QList<QRect>& screens) {
    if (screens.isEmpty()) return saved;
    QRect screen = screens.front();
    qint64 largestOverlap = 0;
    for (const QRect& candidate : screens) {
        const QRect overlap = candidate.intersected(saved);
        const qint64 area = qint64{overlap.width()} * overlap.height();
        if (area > largestOverlap) {
            largestOverlap = area;
            screen = candidate;
        }
    }
    const QSize size = saved.size().boundedTo(screen.size());
    const int x = std::clamp(saved.x(), screen.x(), screen.x() + screen.width() - size.width());
    const int y = std::clamp(saved.y(), screen.y(), screen.y() + screen.height() - size.height());
    return {QPoint(x, y), size};
}

void keep(QWidget& window, Preferences& preferences, QSize defaultSize) {
    const QList<QRect> screens = usableScreenAreas();
    const QRect saved = preferences.value(kGeometry).toRect();
    if (saved.isValid()) {
        window.setGeometry(placedOnScreens(saved, screens));
        if (preferences.value(kMaximized, false).toBool()) {
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
        }
    } else {
        window.resize(screens.isEmpty() ? defaultSize : defaultSize.boundedTo(screens[0].size()));
    }
    new GeometryKeeper(window, preferences);
}

}  // namespace quillmere::WindowGeometry
