// Placeholders for the views still to be written; the hosts around them are final.

#include "app/workspace/hosted_views.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/workspace/capture_metadata_view.h"
#include "app/workspace/histogram_view.h"
#include "app/workspace/state_watcher.h"
#include "app/workspace/text_style.h"

namespace quillmere {
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

QWidget* SliderPanel(AppState& state, QWidget* parent) {
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

QWidget* EditStackSection(AppState&, std::function<void(EditLayer)>, QWidget* parent) {
    return placeholder("editStackSection", "The list of active edits", parent);
}

QWidget* PresetsSection(AppState&, bool, QWidget* parent) {
    return placeholder("presetsSection", "Presets", parent);
}

QWidget* CheckpointsSection(AppState&, QWidget* parent) {
    return placeholder("checkpointsSection", "Checkpoints", parent);
}

QDialog* ExportSheet(AppState&, QWidget* parent) {
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

}  // namespace quillmere
