#include "app/kit/inspector_settings.h"

#include "app/state/preferences.h"

namespace quillmere {
namespace {

// A text value. A comma-joined text written into the file by hand without quotes reads back as a
// list; it is joined again rather than lost.
QString textValue(const Preferences& preferences, const QString& key) {
    const QVariant value = preferences.value(key, QString());
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(u',');
    return value.toString();
}

}  // namespace

InspectorSettings::InspectorSettings(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences) {
    connect(&preferences, &Preferences::changed, this, [this](const QString& key) {
        if (key == panelOrderKey || key == collapsedPanelsKey || key == toneCurveExpandedKey ||
            key == colorMixerExpandedKey) {
            emit changed(key);
        }
    });
}

QString InspectorSettings::panelOrder() const { return textValue(preferences_, panelOrderKey); }

void InspectorSettings::setPanelOrder(const QString& order) {
    preferences_.setValue(panelOrderKey, order);
}

QString InspectorSettings::collapsedPanels() const {
    return textValue(preferences_, collapsedPanelsKey);
}

void InspectorSettings::setCollapsedPanels(const QString& titles) {
    preferences_.setValue(collapsedPanelsKey, titles);
}

bool InspectorSettings::toneCurveExpanded() const {
    return preferences_.value(toneCurveExpandedKey, true).toBool();
}

void InspectorSettings::setToneCurveExpanded(bool expanded) {
    preferences_.setValue(toneCurveExpandedKey, expanded);
}

bool InspectorSettings::colorMixerExpanded() const {
    return preferences_.value(colorMixerExpandedKey, true).toBool();
}

void InspectorSettings::setColorMixerExpanded(bool expanded) {
    preferences_.setValue(colorMixerExpandedKey, expanded);
}

}  // namespace quillmere
