#include "app/shell/file_dialog_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

namespace quillmere {
namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

std::filesystem::path path(const QString& file) { return file.toStdString(); }

}  // namespace

std::vector<std::filesystem::path> FileDialogPrompts::chooseFilesToOpen(
    const std::vector<std::string>& extensions) {
    QStringList patterns;
    // Name filters match case-sensitively on Linux, and cameras write "IMG_0001.CR2".
    for (const std::string& extension : extensions) {
        patterns << "*." + text(extension).toLower() << "*." + text(extension).toUpper();
    }
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Open"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter("Photos (" + patterns.join(' ') + ")");
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Open"));
    if (dialog.exec() != QDialog::Accepted) return {};
    std::vector<std::filesystem::path> files;
    for (const QString& file : dialog.selectedFiles()) files.push_back(path(file));
    return files;
}

std::optional<std::filesystem::path> FileDialogPrompts::chooseFolder(const FolderPrompt& prompt) {
    QFileDialog dialog(QApplication::activeWindow(), text(prompt.title),
                       QString::fromStdString(prompt.startFolder.string()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, text(prompt.prompt));
    // The message names a photo file: plain text, whatever it holds.
    auto* message = new QLabel(text(prompt.message), &dialog);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return path(dialog.selectedFiles().front());
}

}  // namespace quillmere
