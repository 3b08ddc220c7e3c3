#include "app/sheets/save_preset_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <exception>

#include "app/kit/wheel_guard.h"
#include "app/sheets/sheet_style.h"
#include "app/style/style.h"
#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

constexpr int kWidth = 340;
constexpr int kKindRole = Qt::UserRole;
// An existing folder's name, as the exact bytes the store listed.
constexpr int kNameRole = Qt::UserRole + 1;

// The groups of settings, two to a row, with whether each is ticked at first.
struct SettingsGroup {
    const char* title;
    bool PresetCaptureOptions::*option;
    bool initially;
};
constexpr std::array<SettingsGroup, 7> kGroups{{
    {"Tone", &PresetCaptureOptions::tone, true},
    {"White balance", &PresetCaptureOptions::whiteBalance, false},
    {"Presence", &PresetCaptureOptions::presence, true},
    {"Tone curve", &PresetCaptureOptions::toneCurve, true},
    {"Color mixer", &PresetCaptureOptions::colorMixer, true},
    {"Denoise", &PresetCaptureOptions::denoise, true},
    {"Sharpening", &PresetCaptureOptions::sharpening, true},
}};

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(textFont(TextStyle::caption));
    setTextTone(*label, TextTone::secondary);
    return label;
}

QPushButton* linkButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setAutoDefault(false);
    // As wide as its word, like a link in the text.
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(text) + 12);
    button->setCursor(Qt::PointingHandCursor);
    setTextTone(*button, TextTone::link);
    return button;
}

// A vertical block with `spacing` between its widgets.
QVBoxLayout* block(int spacing) {
    auto* column = new QVBoxLayout;
    column->setSpacing(spacing);
    return column;
}

// The text as UTF-8, embedded NULs included, so the store can refuse such a name.
std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace

SavePresetSheet::SavePresetSheet(AppState& state, QWidget* parent)
    : QDialog(parent),
      state_(state),
      name_(new QLineEdit(this)),
      folder_(new QComboBox(this)),
      newFolderName_(new QLineEdit(this)),
      error_(errorLabel(this)),
      save_(new QPushButton("Save", this)) {
    setObjectName("savePresetSheet");
    setWindowTitle("Save Preset");
    setWindowModality(Qt::WindowModal);
    setFixedWidth(kWidth);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    auto* title = new QLabel("Save Preset", this);
    title->setFont(textFont(TextStyle::headline));
    column->addWidget(title);

    QVBoxLayout* nameBlock = block(6);
    nameBlock->addWidget(caption("Preset name", this));
    name_->setObjectName("presetName");
    name_->setPlaceholderText("Preset name");
    nameBlock->addWidget(name_);
    column->addLayout(nameBlock);

    QVBoxLayout* folderBlock = block(6);
    folderBlock->addWidget(caption("Folder", this));
    folder_->setObjectName("presetFolder");
    folder_->setAccessibleName("Folder");
    leaveWheelToColumn(*folder_);
    addFolderItem("My Presets (top level)", FolderKind::topLevel);
    for (const std::string& name : state.userFolderNames()) {
        // The top-level folder is listed by the store once it holds presets; it is the first item.
        if (!name.empty()) {
            addFolderItem(QString::fromUtf8(name.data(), qsizetype(name.size())),
                          FolderKind::existing, name);
        }
    }
    folder_->insertSeparator(folder_->count());
    addFolderItem("New Folder\u2026", FolderKind::newFolder);
    folderBlock->addWidget(folder_);
    newFolderName_->setObjectName("newFolderName");
    newFolderName_->setPlaceholderText("New folder name");
    newFolderName_->hide();
    folderBlock->addWidget(newFolderName_);
    column->addLayout(folderBlock);

    QVBoxLayout* settingsBlock = block(8);
    auto* settingsHeader = new QHBoxLayout;
    settingsHeader->addWidget(caption("Settings to include", this));
    QPushButton* all = linkButton("All", this);
    QPushButton* none = linkButton("None", this);
    settingsHeader->addWidget(all);
    settingsHeader->addWidget(none);
    settingsHeader->addStretch(1);
    settingsBlock->addLayout(settingsHeader);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(6);
    for (const SettingsGroup& group : kGroups) {
        auto* box = new QCheckBox(group.title, this);
        box->setChecked(group.initially);
        connect(box, &QCheckBox::toggled, this, &SavePresetSheet::showSaveEnabled);
        const int index = static_cast<int>(groups_.size());
        grid->addWidget(box, index / 2, index % 2);
        groups_.push_back(box);
    }
    grid->setColumnStretch(2, 1);
    settingsBlock->addLayout(grid);
    auto* note = new QLabel(
        "White balance is off by default because it is usually photo-specific. Spot repairs are "
        "never included.",
        this);
    note->setWordWrap(true);
    note->setFont(textFont(TextStyle::caption2));
    setTextTone(*note, TextTone::secondary);
    settingsBlock->addWidget(note);
    column->addLayout(settingsBlock);

    error_->setObjectName("presetError");
    error_->setFont(textFont(TextStyle::caption));
    error_->hide();
    column->addWidget(error_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setAutoDefault(false);
    buttons->addWidget(cancel);
    save_->setDefault(true);
    buttons->addWidget(save_);
    column->addLayout(buttons);

    connect(name_, &QLineEdit::textChanged, this, &SavePresetSheet::showSaveEnabled);
    connect(folder_, &QComboBox::currentIndexChanged, this, [this] {
        newFolderName_->setVisible(chosenKind() == FolderKind::newFolder);
        fitSheetHeight(*this);
    });
    connect(all, &QPushButton::clicked, this, [this] { setAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { setAll(false); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, &SavePresetSheet::save);
    showSaveEnabled();
    fitSheetHeight(*this);
    // "Save" waits for a name, so the sheet opens where the name is typed: a text field, which
    // neither the wheel nor the arrow keys can turn into another choice.
    name_->setFocus();
}

QString SavePresetSheet::message(const PresetStoreError& error) {
    switch (error.code()) {
        case PresetStoreError::Code::builtInIsReadOnly:
            return "That folder is built-in and can't be modified. Choose another.";
        case PresetStoreError::Code::invalidName:
            return "That preset name isn't valid. Try a different name.";
        case PresetStoreError::Code::noSelection:
            return "Select at least one group of settings.";
        case PresetStoreError::Code::ioFailure:
            break;
    }
    return "Couldn't save the preset: " + QString::fromStdString(error.message());
}

PresetCaptureOptions SavePresetSheet::captureOptions() const {
    PresetCaptureOptions options;
    for (std::size_t index = 0; index < kGroups.size(); ++index) {
        options.*kGroups[index].option = groups_[index]->isChecked();
    }
    return options;
}

std::string SavePresetSheet::resolvedFolder() const {
    switch (chosenKind()) {
        case FolderKind::topLevel:
            return {};
        case FolderKind::newFolder:
            return std::string(trimmingWhitespaceAndNewlines(utf8(newFolderName_->text())));
        case FolderKind::existing:
            break;
    }
    return folder_->currentData(kNameRole).toByteArray().toStdString();
}

void SavePresetSheet::setAll(bool on) {
    for (QCheckBox* box : groups_) box->setChecked(on);
}

void SavePresetSheet::save() {
    showError({});
    try {
        state_.saveCurrentAsPreset(trimmedName(), resolvedFolder(), captureOptions());
    } catch (const PresetStoreError& error) {
        showError(message(error));
        return;
    } catch (const std::exception& error) {
        showError(QString::fromStdString(error.what()));
        return;
    }
    accept();
}

void SavePresetSheet::addFolderItem(const QString& title, FolderKind kind,
                                    const std::string& name) {
    folder_->addItem(title);
    const int index = folder_->count() - 1;
    folder_->setItemData(index, static_cast<int>(kind), kKindRole);
    folder_->setItemData(index, QByteArray::fromStdString(name), kNameRole);
}

SavePresetSheet::FolderKind SavePresetSheet::chosenKind() const {
    return static_cast<FolderKind>(folder_->currentData(kKindRole).toInt());
}

std::string SavePresetSheet::trimmedName() const {
    return std::string(trimmingWhitespaceAndNewlines(utf8(name_->text())));
}

void SavePresetSheet::showSaveEnabled() {
    save_->setEnabled(!trimmedName().empty() && captureOptions().hasSelection());
}

void SavePresetSheet::showError(const QString& text) {
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
    fitSheetHeight(*this);
}

}  // namespace quillmere
