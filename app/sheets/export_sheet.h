#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "app/state/app_state.h"
#include "app/state/export_scope.h"
#include "core/render/export/export_options.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quillmere {

class ElidedLabel;
class StateWatcher;

// What the export sheet asks of the desktop; tests give their own.
struct ExportSheetServices {
    // Asks for the destination folder; nothing when the user cancels. Empty: the desktop's folder
    // dialog, "Choose export folder", folders only.
    std::function<std::optional<std::filesystem::path>(QWidget* parent)> chooseFolder;
    // Shows the written files selected in the file manager. Empty: FileManager::reveal.
    std::function<void(const std::vector<std::filesystem::path>&)> reveal;
};

// The export dialog: which photos, JPEG or DNG, the size and quality of a JPEG, two metadata
// switches and the destination; then the running export's progress and its result, with every
// failure listed and the written files shown in the file manager.
//
// It goes from choosing, through exporting, to finished, and never back: a further export needs a
// new sheet, which starts from the defaults. While the export runs the form, Cancel, Escape and
// the window's close button do nothing. Choices hidden by the format are kept.
class ExportSheet : public QDialog {
    Q_OBJECT

  public:
    // The sheet of `state` over `parent`'s window, window-modal; show it with open().
    ExportSheet(AppState& state, QWidget* parent = nullptr, ExportSheetServices services = {});

    // The custom long edge as typed: trimmed of white space and line breaks, then one optional
    // sign and ASCII digits only, within 64 bits; anything else gives nothing. 0 and negative
    // numbers are read as they are: the caller tests for at least 1.
    static std::optional<std::int64_t> parseCustomEdge(std::string_view text);

    // The options the Export button would hand over now.
    ExportOptions options() const;

    // Refused while the export runs. Escape, Cancel and the window's close button all end here.
    void reject() override;

  private:
    // Size choices besides the long edges in pixels.
    static constexpr std::int64_t kOriginalSize = 0;
    static constexpr std::int64_t kCustomSize = -1;

    void buildForm();
    QWidget* buildDestinationRow();
    QWidget* buildButtonRow();
    // Everything that follows the state and the choices.
    void sync();
    // The number of photos the chosen scope covers, as the sheet counts them.
    std::int64_t count() const;
    ExportFormat format() const;
    std::int64_t size() const;
    bool customEdgeIsValid() const;
    bool canExport() const;
    // From the press until the result is in, including the turns in which the state has not yet
    // announced the export or has already ended it.
    bool exportRunning() const;
    void chooseFolder();
    void exportPhotos();
    void finish(BatchExportResult result);

    AppState& state_;
    ExportSheetServices services_;
    StateWatcher* watcher_;
    std::optional<std::filesystem::path> destination_;
    // Set by the first press: later presses (and Return) are ignored.
    bool exportStarted_ = false;
    std::optional<BatchExportResult> result_;

    QWidget* form_ = nullptr;
    QFormLayout* formLayout_ = nullptr;
    QComboBox* scope_ = nullptr;
    QComboBox* format_ = nullptr;
    QComboBox* size_ = nullptr;
    QWidget* customRow_ = nullptr;
    QLineEdit* customEdge_ = nullptr;
    QLabel* customEdgeMessage_ = nullptr;
    QComboBox* quality_ = nullptr;
    QLabel* jpegCaption_ = nullptr;
    QLabel* dngCaption_ = nullptr;
    QLabel* editionCaption_ = nullptr;
    QCheckBox* includeSoftware_ = nullptr;
    QCheckBox* includeEditParameters_ = nullptr;
    ElidedLabel* destinationText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* resultLine_ = nullptr;
    QPlainTextEdit* failures_ = nullptr;
    QPushButton* reveal_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* export_ = nullptr;
};

}  // namespace quillmere
