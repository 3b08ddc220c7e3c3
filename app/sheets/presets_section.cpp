#include "app/sheets/presets_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <exception>

#include "app/kit/collapsible_group.h"
#include "app/sheets/preset_row.h"
#include "app/sheets/save_preset_sheet.h"
#include "app/state/follow/state_watcher.h"
#include "app/state/number_text.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

constexpr int kLockSide = 8;

QString fromUTF8(const std::string& text) { return QString::fromUtf8(text.data(), text.size()); }

// "rgb+b": the channels of `curve` that change anything.
std::string curveChannels(const ToneCurve& curve) {
    std::string names;
    for (const auto& [points, name] : {std::pair{&curve.rgb, "rgb"}, std::pair{&curve.red, "r"},
                                       std::pair{&curve.green, "g"}, std::pair{&curve.blue, "b"}}) {
        if (ToneCurve::isIdentityChannel(*points)) continue;
        if (!names.empty()) names += "+";
        names += name;
    }
    return names;
}

}  // namespace

PresetsSection::PresetsSection(AppState& state, bool showsTitle, QWidget* parent)
    : QWidget(parent),
      state_(state),
      saveButton_(new QToolButton(this)),
      folderList_(new QWidget(this)),
      folderColumn_(new QVBoxLayout(folderList_)) {
    setObjectName("presetsSection");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    if (showsTitle) {
        auto* title = new QLabel("Presets", this);
        title->setFont(textFont(TextStyle::headline));
        header->addWidget(title);
    }
    header->addStretch(1);
    saveButton_->setObjectName("savePreset");
    saveButton_->setAutoRaise(true);
    saveButton_->setIcon(symbolIcon("plus"));
    saveButton_->setToolTip("Save current edit as a preset");
    saveButton_->setAccessibleName("Save preset");
    connect(saveButton_, &QToolButton::clicked, this, &PresetsSection::openSaveSheet);
    header->addWidget(saveButton_);
    column->addLayout(header);

    folderColumn_->setContentsMargins(0, 0, 0, 0);
    folderColumn_->setSpacing(2);
    column->addWidget(folderList_);

    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::presetFolders}, [this] { showFolders(); });
    watcher->onAnnounced({AppState::Field::lastAppliedPresetID}, [this] { showSelection(); });
    watcher->onAnnounced({AppState::Field::photo, AppState::Field::isOpening},
                         [this] { showEnabling(); });
    showFolders();
}

std::string PresetsSection::signedValue(double value) {
    // std::round halves away from zero; a whole hundredth count is written without decimals.
    const double rounded = std::round(value * 100) / 100;
    const std::string text =
        rounded == std::round(rounded) ? roundedText(rounded) : fixedText(rounded, 2);
    return rounded > 0 ? "+" + text : text;
}

std::string PresetsSection::summary(const PresetValues& values) {
    std::vector<std::string> parts;
    const auto add = [&](const char* label, const std::optional<double>& value) {
        if (value) parts.push_back(std::string(label) + " " + signedValue(*value));
    };
    add("exposure", values.exposure);
    add("contrast", values.contrast);
    add("highlights", values.highlights);
    add("shadows", values.shadows);
    add("whites", values.whites);
    add("blacks", values.blacks);
    // The absolute white balance wins over the relative one.
    if (values.temperature) {
        parts.push_back("temp " + roundedText(*values.temperature));
    } else if (values.temperatureScale) {
        parts.push_back("temp \u00D7" + fixedText(*values.temperatureScale, 2));
    }
    if (values.tint) {
        parts.push_back("tint " + signedValue(*values.tint));
    } else if (values.tintShift) {
        parts.push_back("tint " + signedValue(*values.tintShift) + " rel");
    }
    add("vibrance", values.vibrance);
    add("saturation", values.saturation);
    if (values.toneCurve) {
        const std::string channels = curveChannels(*values.toneCurve);
        parts.push_back(channels.empty() ? "curve" : "curve " + channels);
    }
    if (values.hsl) parts.push_back("hsl");

    if (parts.empty()) return "No adjustments";
    std::string joined = parts.front();
    for (std::size_t index = 1; index < parts.size(); ++index) {
        joined += " \u00B7 " + parts[index];
    }
    return joined;
}

void PresetsSection::showFolders() {
    rows_.clear();
    while (QLayoutItem* item = folderColumn_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::vector<PresetFolder>& folders = state_.presetFolders();
    if (folders.empty()) {
        auto* empty = new QLabel("No presets yet", folderList_);
        QFont font = empty->font();
        font.setPointSizeF(11);
        empty->setFont(font);
        empty->setContentsMargins(0, 2, 0, 2);
        // The secondary tone (55 %) at 70 %.
        setTextOpacity(*empty, 0.55 * 0.7);
        folderColumn_->addWidget(empty);
    }
    // Only the folders still listed keep their unfolded state.
    std::map<std::string, bool> listed;
    for (const PresetFolder& folder : folders) {
        listed[folder.id()] = unfolded_[folder.id()];
        folderColumn_->addWidget(folderGroup(folder));
    }
    unfolded_ = std::move(listed);
    showSelection();
    showEnabling();
}

QWidget* PresetsSection::folderGroup(const PresetFolder& folder) {
    const std::string id = folder.id();
    const QString title = folder.name.empty() ? QString("My Presets") : fromUTF8(folder.name);
    auto* group = new CollapsibleGroup(title, folderList_);
    group->setObjectName("presetFolder");
    // A folded folder keeps to its title row; the section's column takes the spare height.
    group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    group->setAccessibleName(title);
    group->setExpanded(unfolded_[id]);
    connect(group, &CollapsibleGroup::toggled, this,
            [this, id](bool unfolded) { unfolded_[id] = unfolded; });
    if (folder.isBuiltIn) {
        auto* lock = new QLabel(group);
        lock->setObjectName("builtInLock");
        lock->setPixmap(symbolIcon("lock.fill", SymbolTint::secondary)
                            .pixmap(QSize(kLockSide, kLockSide), devicePixelRatioF()));
        lock->setToolTip("Built-in folder (read-only)");
        group->addTitleWidget(lock);
    }

    auto* presets = new QWidget;
    auto* column = new QVBoxLayout(presets);
    column->setContentsMargins(8, 0, 0, 0);
    column->setSpacing(1);
    for (const Preset& preset : folder.presets) {
        auto* row = new PresetRow(fromUTF8(preset.name), presets);
        row->setToolTip(plainToolTip(fromUTF8(summary(preset.values))));
        connect(row, &PresetRow::clicked, this, [this, preset] { state_.applyPreset(preset); });
        if (folder.isBuiltIn) {
            row->setContextMenuPolicy(Qt::PreventContextMenu);
        } else {
            row->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(row, &PresetRow::customContextMenuRequested, this,
                    [this, preset, row](const QPoint& position) {
                        showContextMenu(preset, row->mapToGlobal(position));
                    });
        }
        column->addWidget(row);
        rows_.push_back({row, preset.id()});
    }
    group->setContent(presets);
    return group;
}

void PresetsSection::showSelection() {
    const std::optional<std::string>& applied = state_.lastAppliedPresetID();
    for (const ListedRow& listed : rows_) listed.row->setSelected(applied == listed.presetID);
}

void PresetsSection::showEnabling() {
    const bool hasPhoto = state_.photo().has_value();
    saveButton_->setEnabled(hasPhoto);
    for (const ListedRow& listed : rows_) listed.row->setEnabled(hasPhoto && !state_.isOpening());
}

void PresetsSection::showContextMenu(const Preset& preset, const QPoint& globalPosition) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction("Delete Preset\u2026"), &QAction::triggered, this,
            [this, preset] { confirmDelete(preset); });
    menu->popup(globalPosition);
}

void PresetsSection::confirmDelete(const Preset& preset) {
    pendingDelete_ = preset;
    auto* box = new QMessageBox(this);
    box->setObjectName("deletePresetConfirmation");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setText("Delete \u201C" + fromUTF8(preset.name) + "\u201D?");
    box->setInformativeText("This removes the preset permanently.");
    QPushButton* deleteButton = box->addButton("Delete Preset", QMessageBox::DestructiveRole);
    // Return and Escape keep the preset.
    box->setDefaultButton(box->addButton("Cancel", QMessageBox::RejectRole));
    connect(box, &QMessageBox::finished, this, [this, box, deleteButton] {
        if (box->clickedButton() == deleteButton && pendingDelete_) {
            const Preset preset = *pendingDelete_;
            performDelete(preset);
        }
        pendingDelete_.reset();
    });
    box->open();
}

void PresetsSection::performDelete(const Preset& preset) {
    try {
        state_.deletePreset(preset);
    } catch (const std::exception& error) {
        state_.setLastError(std::string("Could not delete preset: ") + error.what());
    }
    pendingDelete_.reset();
}

void PresetsSection::openSaveSheet() {
    auto* sheet = new SavePresetSheet(state_, this);
    connect(sheet, &QDialog::finished, sheet, &QObject::deleteLater);
    sheet->open();
}

}  // namespace quillmere
