// Quillmere: a non-destructive photo editor. Starts the application with its main window; the
// argument "--open" followed by a path opens that photo.

#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <cstdio>

#include "app/shell/quillmere_app.h"
#include "core/reading/photo_reader.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // Ties the windows to the desktop entry, for its name and icon.
    QApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    // QApplication adopted the user's locale for every category; numbers are read and written
    // the same everywhere.
    std::setlocale(LC_NUMERIC, "C");

    // Without its photo reader the program could not read a photo safely: it says so now rather
    // than refuse every photo later.
    try {
        quillmere::PhotoReader::forProcess();
    } catch (const quillmere::ReadingError& missing) {
        // Also for whoever started it from a terminal or a script.
        std::fprintf(stderr, "quillmere: %s\n", missing.what());
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillmere"),
                        QString::fromStdString(missing.what()), QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }

    // The preferences, the render engine and the application state.
    quillmere::QuillmereApp app;
    app.showMainWindow();
    return QApplication::exec();
}
