#pragma once

#include <QObject>
#include <QString>

namespace quillmere {

class Preferences;

// The inspector's four preferences, with their defaults: the panel order, the titles of the
// collapsed panels, and whether the tone-curve and colour-mixer panels are expanded. Reading never
// writes a key. Every write through any InspectorSettings over the same Preferences is announced
// by all of them, so every inspector shows the same order and collapse state.
class InspectorSettings : public QObject {
    Q_OBJECT

  public:
    // Panel ids joined with ","; empty for the default order.
    static inline const QString panelOrderKey = QStringLiteral("develop.panelOrder");
    // Titles of the collapsed titled panels joined with "|".
    static inline const QString collapsedPanelsKey = QStringLiteral("develop.collapsedPanels");
    static inline const QString toneCurveExpandedKey = QStringLiteral("panel.toneCurve.expanded");
    static inline const QString colorMixerExpandedKey = QStringLiteral("panel.colorMixer.expanded");

    // `preferences` must outlive this object.
    explicit InspectorSettings(Preferences& preferences, QObject* parent = nullptr);

    QString panelOrder() const;  // default ""
    void setPanelOrder(const QString& order);
    QString collapsedPanels() const;  // default ""
    void setCollapsedPanels(const QString& titles);
    bool toneCurveExpanded() const;  // default true
    void setToneCurveExpanded(bool expanded);
    bool colorMixerExpanded() const;  // default true
    void setColorMixerExpanded(bool expanded);

  signals:
    // One of the four keys was written, also with its old value.
    void changed(const QString& key);

  private:
    Preferences& preferences_;
};

}  // namespace quillmere
