// Quillmere: a non-destructive photo editor. Starts the application with its main window; the
// argument "--open" followed by a path opens that photo.

#include <QApplication>
#include <clocale>

#include "app/shell/quillmere_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // Ties the windows to the desktop entry, for its name and icon.
    QApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    // QApplication adopted the user's locale for every category; numbers are read and written
    // the same everywhere.
    std::setlocale(LC_NUMERIC, "C");

    // The preferences, the render engine and the application state.
    quillmere::QuillmereApp app;
    app.showMainWindow();
    return QApplication::exec();
}
