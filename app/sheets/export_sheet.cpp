#include "app/sheets/export_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/kit/elided_label.h"
#include "app/kit/file_manager.h"
#include "app/kit/wheel_guard.h"
#include "app/sheets/sheet_style.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"
#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

constexpr int kSheetWidth = 560;
constexpr int kCustomEdgeWidth = 120;
constexpr int kFailureListHeight = 120;
constexpr int kProgressSteps = 1000;
// Extra room above the metadata section's header.
constexpr int kSectionGap = 8;

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

std::optional<std::filesystem::path> chooseWithFileDialog(QWidget* parent) {
    const QString folder = QFileDialog::getExistingDirectory(parent, "Choose export folder",
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return std::filesystem::path(folder.toStdString());
}

QString joined(const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines) texts.append(QString::fromStdString(line));
    return texts.join("\n\n");
}

}  // namespace

ExportSheet::ExportSheet(AppState& state, QWidget* parent, ExportSheetServices services)
    : QDialog(parent),
      state_(state),
      services_(std::move(services)),
      watcher_(new StateWatcher(state, this)) {
    if (!services_.chooseFolder) services_.chooseFolder = chooseWithFileDialog;
    if (!services_.reveal) services_.reveal = FileManager::reveal;
    setObjectName("exportSheet");
    setWindowTitle("Export Photos");
    setWindowModality(Qt::WindowModal);
    setFixedWidth(kSheetWidth);

    auto* title = new QLabel("Export Photos", this);
    title->setFont(sheetTitleFont());
    buildForm();

    progress_ = new QProgressBar(this);
    progress_->setObjectName("exportProgress");
    progress_->setRange(0, kProgressSteps);
    progress_->setTextVisible(false);
    status_ = captionLabel(QString(), this);
    status_->setObjectName("exportStatus");

    resultLine_ = new QLabel(this);
    resultLine_->setObjectName("exportResult");
    resultLine_->setFont(textFont(TextStyle::headline));
    failures_ = new QPlainTextEdit(this);
    failures_->setObjectName("exportFailures");
    failures_->setReadOnly(true);
    failures_->setFont(textFont(TextStyle::caption));
    failures_->setMaximumHeight(kFailureListHeight);
    failures_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);
    column->addWidget(title);
    column->addWidget(form_);
    column->addWidget(progress_);
    column->addWidget(status_);
    column->addWidget(resultLine_);
    column->addWidget(failures_);
    column->addWidget(buildButtonRow());

    using Field = AppState::Field;
    watcher_->onAnnounced(
        {Field::photo, Field::selectedPhotoIDs, Field::sessionPhotos, Field::isExporting,
         Field::isOpening, Field::exportProgress, Field::exportStatus},
        [this] { sync(); });
    sync();
    // The sheet opens on its default button, so neither the wheel nor an arrow key turns a
    // pop-up the user has not chosen (with one photo selected, "Selected (1)" into "All").
    export_->setFocus();
}

void ExportSheet::buildForm() {
    // The pickers sit in a form; the wrapped captions below them in a plain column, because a
    // form underestimates the height of rows that wrap and would squeeze them.
    form_ = new QWidget(this);
    auto* column = new QVBoxLayout(form_);
    column->setContentsMargins(0, 0, 0, 0);
    formLayout_ = new QFormLayout;
    formLayout_->setContentsMargins(0, 0, 0, 0);
    column->addLayout(formLayout_);
    formLayout_->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    const auto changes = [this](auto* sender, auto signal) {
        connect(sender, signal, this, &ExportSheet::sync);
    };

    scope_ = new QComboBox(form_);
    scope_->setObjectName("exportScope");
    for (ExportScope scope : allExportScopes) scope_->addItem(QString(), static_cast<int>(scope));
    scope_->setCurrentIndex(static_cast<int>(ExportScope::selected));
    changes(scope_, &QComboBox::currentIndexChanged);
    formLayout_->addRow("Photos", scope_);

    format_ = new QComboBox(form_);
    format_->setObjectName("exportFormat");
    format_->addItem("JPEG · developed photo", static_cast<int>(ExportFormat::jpeg));
    format_->addItem("DNG · original RAW + edits", static_cast<int>(ExportFormat::dng));
    changes(format_, &QComboBox::currentIndexChanged);
    formLayout_->addRow("Format", format_);

    size_ = new QComboBox(form_);
    size_->setObjectName("exportResolution");
    size_->addItem("Original · maximum detail", qint64(kOriginalSize));
    size_->addItem("Long edge 3840 px", qint64(3840));
    size_->addItem("Long edge 2048 px", qint64(2048));
    size_->addItem("Custom long edge…", qint64(kCustomSize));
    changes(size_, &QComboBox::currentIndexChanged);
    formLayout_->addRow("Resolution", size_);

    customRow_ = new QWidget(form_);
    customEdge_ = new QLineEdit("3000", customRow_);
    customEdge_->setObjectName("exportCustomEdge");
    customEdge_->setAccessibleName("Long edge (pixels)");
    customEdge_->setFixedWidth(kCustomEdgeWidth);
    changes(customEdge_, &QLineEdit::textChanged);
    auto* unit = plainTextLabel("px · never enlarged", customRow_);
    setTextTone(*unit, TextTone::secondary);
    auto* customLine = new QHBoxLayout(customRow_);
    customLine->setContentsMargins(0, 0, 0, 0);
    customLine->addWidget(customEdge_);
    customLine->addWidget(unit, 1);
    formLayout_->addRow("Long edge (pixels)", customRow_);
    customEdgeMessage_ = errorLabel(form_);
    customEdgeMessage_->setObjectName("exportCustomEdgeMessage");
    customEdgeMessage_->setFont(textFont(TextStyle::caption));
    customEdgeMessage_->setText("Enter a whole number greater than zero.");
    formLayout_->addRow(customEdgeMessage_);

    quality_ = new QComboBox(form_);
    quality_->setObjectName("exportQuality");
    quality_->addItem("Maximum · 100%", 1.0);
    quality_->addItem("High · 90% · smaller files", 0.9);
    quality_->addItem("Compact · 80%", 0.8);
    formLayout_->addRow("JPEG quality", quality_);
    for (QComboBox* picker : {scope_, format_, size_, quality_}) leaveWheelToColumn(*picker);
    jpegCaption_ = captionLabel(
        "Original resolution and maximum quality preserve the most detail. Smaller dimensions "
        "and lower JPEG quality reduce file size; JPEG compression is lossy.",
        form_);
    column->addWidget(jpegCaption_);

    dngCaption_ = captionLabel(
        "DNG keeps the original RAW pixels at full resolution with lossless storage. Quillmere "
        "can restore the embedded adjustments; other editors do not apply Quillmere's settings.",
        form_);
    column->addWidget(dngCaption_);
    // No DNG converter runs on Linux (DNGConverterSetup::standard), whatever the edition: other
    // RAW formats are refused, as the edition that never starts a converter refuses them.
    editionCaption_ = captionLabel(
        "Existing DNG files are supported directly. Export other RAW formats as JPEG, or convert "
        "them to DNG before opening them. JPEG and other rendered photos cannot be exported as "
        "original RAW.",
        form_);
    editionCaption_->setObjectName("exportEditionCaption");
    column->addWidget(editionCaption_);

    column->addSpacing(kSectionGap);
    auto* metadata = new QLabel("Metadata", form_);
    metadata->setFont(textFont(TextStyle::headline));
    column->addWidget(metadata);
    includeSoftware_ = new QCheckBox("Identify Quillmere as the editing software", form_);
    includeSoftware_->setObjectName("exportIncludeSoftware");
    includeSoftware_->setChecked(true);
    column->addWidget(includeSoftware_);
    includeEditParameters_ = new QCheckBox("Embed editing parameters", form_);
    includeEditParameters_->setObjectName("exportIncludeEditParameters");
    includeEditParameters_->setChecked(true);
    column->addWidget(includeEditParameters_);
    column->addWidget(
        captionLabel("Parameters include local spot repairs. Turn this off to omit "
                     "the editing recipe from the exported file.",
                     form_));

    column->addWidget(buildDestinationRow());
    column->addWidget(captionLabel(
        "Original files are kept. Exports use a new filename when one already exists.", form_));
}

QWidget* ExportSheet::buildDestinationRow() {
    auto* row = new QWidget(form_);
    destinationText_ = new ElidedLabel(Qt::ElideMiddle, row);
    destinationText_->setObjectName("exportDestination");
    destinationText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextTone(*destinationText_, TextTone::secondary);
    auto* choose = new QPushButton("Choose…", row);
    choose->setObjectName("exportChooseFolder");
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &ExportSheet::chooseFolder);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new QLabel("Destination", row));
    line->addWidget(destinationText_, 1);
    line->addWidget(choose);
    return row;
}

QWidget* ExportSheet::buildButtonRow() {
    auto* row = new QWidget(this);
    reveal_ = new QPushButton("Show in File Manager", row);
    reveal_->setObjectName("exportReveal");
    reveal_->setAutoDefault(false);
    connect(reveal_, &QPushButton::clicked, this, [this] {
        if (result_) services_.reveal(result_->outputs);
    });
    cancel_ = new QPushButton("Cancel", row);
    cancel_->setObjectName("exportCancel");
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &ExportSheet::reject);
    export_ = new QPushButton(row);
    export_->setObjectName("exportStart");
    export_->setDefault(true);
    connect(export_, &QPushButton::clicked, this, &ExportSheet::exportPhotos);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(reveal_);
    line->addStretch(1);
    line->addWidget(cancel_);
    line->addWidget(export_);
    return row;
}

std::optional<std::int64_t> ExportSheet::parseCustomEdge(std::string_view text) {
    text = trimmingWhitespaceAndNewlines(text);
    const bool hasSign = text.starts_with('+') || text.starts_with('-');
    const std::string_view digits = hasSign ? text.substr(1) : text;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char character) {
            return character >= '0' && character <= '9';
        })) {
        return std::nullopt;
    }
    // from_chars reads a minus sign itself but no plus sign; it reports a value beyond 64 bits.
    const std::string_view number = text.starts_with('+') ? digits : text;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

std::int64_t ExportSheet::count() const {
    switch (static_cast<ExportScope>(scope_->currentData().toInt())) {
        case ExportScope::current:
            return state_.photo() ? 1 : 0;
        case ExportScope::selected:
            return static_cast<std::int64_t>(state_.selectedPhotoIDs().size());
        case ExportScope::all:
            return static_cast<std::int64_t>(state_.sessionPhotos().size());
    }
    return 0;
}

ExportFormat ExportSheet::format() const {
    return static_cast<ExportFormat>(format_->currentData().toInt());
}

std::int64_t ExportSheet::size() const { return size_->currentData().toLongLong(); }

bool ExportSheet::customEdgeIsValid() const {
    const auto edge = parseCustomEdge(customEdge_->text().toStdString());
    return edge && *edge >= 1;
}

bool ExportSheet::canExport() const {
    if (exportStarted_ || count() == 0 || state_.isExporting() || state_.isOpening()) return false;
    return format() != ExportFormat::jpeg || size() != kCustomSize || customEdgeIsValid();
}

ExportOptions ExportSheet::options() const {
    ExportOptions options{.format = format(),
                          .quality = quality_->currentData().toDouble(),
                          .maxLongEdge = std::nullopt,
                          .includeSoftware = includeSoftware_->isChecked(),
                          .includeEditParameters = includeEditParameters_->isChecked()};
    if (options.format == ExportFormat::jpeg) {
        if (size() == kCustomSize) {
            options.maxLongEdge = parseCustomEdge(customEdge_->text().toStdString());
        } else if (size() != kOriginalSize) {
            options.maxLongEdge = size();
        }
    }
    return options;
}

bool ExportSheet::exportRunning() const {
    return state_.isExporting() || (exportStarted_ && !result_);
}

void ExportSheet::sync() {
    const bool exporting = exportRunning();
    const bool finished = result_.has_value();
    scope_->setItemText(static_cast<int>(ExportScope::current), "Current photo");
    scope_->setItemText(static_cast<int>(ExportScope::selected),
                        QString("Selected (%1)").arg(state_.selectedPhotoIDs().size()));
    scope_->setItemText(static_cast<int>(ExportScope::all),
                        QString("All (%1)").arg(state_.sessionPhotos().size()));

    const bool jpeg = format() == ExportFormat::jpeg;
    const bool custom = jpeg && size() == kCustomSize;
    formLayout_->setRowVisible(size_, jpeg);
    formLayout_->setRowVisible(customRow_, custom);
    formLayout_->setRowVisible(customEdgeMessage_, custom && !customEdgeIsValid());
    formLayout_->setRowVisible(quality_, jpeg);
    jpegCaption_->setVisible(jpeg);
    dngCaption_->setVisible(!jpeg);
    editionCaption_->setVisible(!jpeg);
    form_->setEnabled(!exporting && !finished);

    destinationText_->setFullText(destination_ ? pathText(*destination_)
                                               : QString("exports folder beside each original"));

    progress_->setVisible(state_.isExporting());
    status_->setVisible(state_.isExporting());
    const double progress = std::clamp(state_.exportProgress(), 0.0, 1.0);
    progress_->setValue(static_cast<int>(std::lround(progress * kProgressSteps)));
    status_->setText(state_.exportStatus() ? QString::fromStdString(*state_.exportStatus())
                                           : QString("Exporting…"));

    resultLine_->setVisible(finished);
    failures_->setVisible(finished && !result_->failures.empty());
    reveal_->setVisible(finished && !result_->outputs.empty());
    if (finished) {
        resultLine_->setText(QString("%1 exported · %2 failed")
                                 .arg(result_->outputs.size())
                                 .arg(result_->failures.size()));
    }

    cancel_->setText(finished ? "Done" : "Cancel");
    cancel_->setEnabled(!exporting);
    const std::int64_t photos = count();
    export_->setVisible(!finished);
    export_->setText(QString("Export %1 %2").arg(photos).arg(photos == 1 ? "Photo" : "Photos"));
    export_->setEnabled(canExport());
    fitSheetHeight(*this);
}

void ExportSheet::chooseFolder() {
    if (auto folder = services_.chooseFolder(this)) {
        destination_ = std::move(folder);
        sync();
    }
}

void ExportSheet::exportPhotos() {
    if (!canExport()) return;
    exportStarted_ = true;
    export_->setEnabled(false);
    const auto scope = static_cast<ExportScope>(scope_->currentData().toInt());
    // The state may answer after the sheet is gone, or at once when it refuses.
    state_.exportPhotos(scope, options(), destination_,
                        [sheet = QPointer<ExportSheet>(this)](BatchExportResult result) {
                            if (sheet) sheet->finish(std::move(result));
                        });
    sync();
}

void ExportSheet::finish(BatchExportResult result) {
    failures_->setPlainText(joined(result.failures));
    result_ = std::move(result);
    sync();
}

void ExportSheet::reject() {
    // QDialog's close event also ends here, and keeps the sheet open when it stays visible.
    if (exportRunning()) return;
    QDialog::reject();
}

}  // namespace quillmere
