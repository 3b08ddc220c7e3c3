#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

namespace quillmere {

class Preferences;

// The main window's place, size and maximised state between runs, kept in the preferences under
// keys of the program's own: "mainWindow.geometry" (the window's unmaximised geometry, without
// its frame) and "mainWindow.maximized".
namespace WindowGeometry {

inline const QString kGeometry = QStringLiteral("mainWindow.geometry");
inline const QString kMaximized = QStringLiteral("mainWindow.maximized");

// Where a window kept at `saved` opens on screens whose usable areas are `screens` (the first
// is the primary one): on the screen it overlapped most, else the first; no larger than that
// screen and moved just far enough to lie wholly on it. `saved` itself when there is no screen.
QRect placedOnScreens(const QRect& saved, const QList<QRect>& screens);

// Gives `window`, before it is first shown, the geometry and maximised state kept in
// `preferences`, placed on the screens it can be seen on; without a kept geometry, `defaultSize`
// (no larger than the primary screen) where the desktop places it. From then on keeps them each
// time the window is hidden, as closing it does. `preferences` must outlive the window.
void keep(QWidget& window, Preferences& preferences, QSize defaultSize);

}  // namespace WindowGeometry

}  // namespace quillmere
