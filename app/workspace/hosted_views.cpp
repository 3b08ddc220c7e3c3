// The hosted views through their installed factories, and the placeholders used without one.

#include "app/workspace/hosted_views.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/workspace/capture_metadata_view.h"
#include "app/workspace/histogram_view.h"
#include "app/workspace/state_watcher.h"
#include "app/workspace/text_style.h"

namespace quillmere::hosted {
namespace {

QLabel* notYetLabel(const QString& what, QWidget* parent) {
    auto* label = new QLabel(what + " will appear here in a later version.", parent);
    label->setObjectName("placeholderText");
    label->setWordWrap(true);
    TextStyle::makeSecondary(*label);
    return label;
}

QWidget* placeholder(const char* objectName, const QString& what, QWidget* parent) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(objectName);
    auto* column = new QVBoxLayout(widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(notYetLabel(what, widget));
    return widget;
}

}  // namespace

Factories& factories() {
    static Factories installed;
    return installed;
}

QWidget* SliderPanel(AppState& state, QWidget* parent) {
    if (factories().sliderPanel) return factories().sliderPanel(state, parent);
    auto* panel = new QWidget(parent);
    panel->setObjectName("sliderPanel");
    auto* histogram = new HistogramView(90, panel);
    auto* capture = new CaptureMetadataView(panel);
    auto* watcher = new StateWatcher(state, panel);
    const auto sync = [&state, histogram, capture] {
        histogram->setData(state.histogram());
        capture->setPhoto(state.photo());
    };
    watcher->onAnnounced({AppState::Field::histogram, AppState::Field::photo}, sync);
    sync();

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addWidget(histogram);
    column->addWidget(capture);
    column->addWidget(notYetLabel("The develop panels", panel));
    column->addStretch();
    return panel;
}

QWidget* EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                          QWidget* parent) {
    if (factories().editStackSection) {
        return factories().editStackSection(state, std::move(onSelect), parent);
    }
    return placeholder("editStackSection", "The list of active edits", parent);
}

QWidget* PresetsSection(AppState& state, bool showsTitle, QWidget* parent) {
    if (factories().presetsSection) return factories().presetsSection(state, showsTitle, parent);
    return placeholder("presetsSection", "Presets", parent);
}

QWidget* CheckpointsSection(AppState& state, QWidget* parent) {
    if (factories().checkpointsSection) return factories().checkpointsSection(state, parent);
    return placeholder("checkpointsSection", "Checkpoints", parent);
}

QDialog* ExportSheet(AppState& state, QWidget* parent) {
    if (factories().exportSheet) return factories().exportSheet(state, parent);
    auto* sheet = new QDialog(parent);
    sheet->setObjectName("exportSheet");
    sheet->setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(sheet);
    column->addWidget(notYetLabel("Export", sheet));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, sheet);
    QObject::connect(buttons, &QDialogButtonBox::rejected, sheet, &QDialog::reject);
    column->addWidget(buttons);
    return sheet;
}

}  // namespace quillmere::hosted
