#include "app/shell/window_alert.h"

#include <QMessageBox>

namespace quillmere {

QMessageBox* newWindowAlert(QWidget& window, const QString& objectName) {
    auto* box = new QMessageBox(&window);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(QStringLiteral("Quillmere"));
    box->setIcon(QMessageBox::Warning);
    return box;
}

}  // namespace quillmere
