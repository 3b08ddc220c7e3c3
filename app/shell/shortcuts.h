#pragma once

#include <QKeySequence>
#include <QString>

namespace quillmere {

// The shortcuts that menu items and the toolbar's help texts both name.
namespace Shortcuts {

inline const QKeySequence showLibrary(Qt::META | Qt::CTRL | Qt::Key_S);
inline const QKeySequence showAdjustments(Qt::ALT | Qt::CTRL | Qt::Key_I);
inline const QKeySequence showFilmstrip(Qt::ALT | Qt::CTRL | Qt::Key_L);

// A help text naming its shortcut the way the menus show it: "Open photos (Ctrl+O)".
inline QString helpText(const QString& help, const QKeySequence& shortcut) {
    return help + " (" + shortcut.toString(QKeySequence::NativeText) + ")";
}

}  // namespace Shortcuts

}  // namespace quillmere
