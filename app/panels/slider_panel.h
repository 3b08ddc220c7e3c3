#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/panels/panel_arrangement.h"
#include "app/state/app_state.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QVariantAnimation;

namespace quillmere {

class CollapsibleGroup;
class InspectorSettings;
class LocatorHighlight;
class Preferences;
class SliderRow;
class SliderRowsPanel;
class StateWatcher;

// The develop inspector, the workspace's right pane: a header with the options menu, the
// histogram and capture data of the open photo, then a scrolling column of the nine adjustment
// panels in the user's order. Panels fold and unfold, move by dragging their title rows onto
// another panel, and keep order and folding in the preferences, shared by every inspector.
// Without a photo the column is dimmed and inert.
//
// A layer asked for elsewhere (`AppState::requestedEditLayer`) is revealed: its panel unfolds, the
// column scrolls its control to the top and frames it for 1.8 s; turning the spot-repair brush on
// unfolds and scrolls to the Spot Repair panel.
class SliderPanel : public QWidget {
    Q_OBJECT

  public:
    SliderPanel(AppState& state, Preferences& preferences, QWidget* parent = nullptr);
    ~SliderPanel() override;

    // The panel ids in the order shown.
    QStringList panelOrder() const { return arrangement_.order(); }
    void movePanel(const QString& dragged, const QString& target);
    // Unfolds, scrolls to and frames the control of `layer`.
    void locate(EditLayer layer);
    std::optional<EditLayer> locatedLayer() const { return locatedLayer_; }

    // The panel of `id` with its padding (named by the id), or null.
    QWidget* panel(const QString& id) const;
    CollapsibleGroup* group(const QString& id) const;
    QMenu* optionsMenu() const { return menu_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // The column of panels inside the scroll area.
    QWidget* column() const { return column_; }
    LocatorHighlight* highlight() const { return highlight_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Panel {
        QString id;
        QWidget* slot;
        QFrame* divider;
        CollapsibleGroup* group;
    };

    QWidget* makeHeader();
    // The histogram and the capture data of the open photo.
    QWidget* makePhotoSummary();
    void buildPanels();
    CollapsibleGroup* makeGroup(const QString& id);
    Panel* find(const QString& id);
    const Panel* find(const QString& id) const;
    // The title a titled panel shows now (the recovery title follows the photo).
    QString titleOf(const QString& id) const;

    // Takes over the order and folding from the preferences.
    void syncArrangement();
    void syncPhoto();
    // The folding a panel shows, and where a toggle of it goes.
    bool readExpanded(const QString& id) const;
    void writeExpanded(const QString& id, bool expanded);

    // The layer's panel unfolded.
    void expandPanelOf(EditLayer layer);
    // The control that shows the layer: a slider row, the sharpening controls, or a panel.
    QWidget* scrollTarget(EditLayer layer) const;
    QWidget* highlightTarget(EditLayer layer) const;
    SliderRow* row(EditLayer layer) const;
    // Scrolls so the widget's top meets the top of the view, once the column is laid out.
    void scrollToTop(QWidget* widget);
    // Answers a pending request, once the column is on screen.
    void handleRequest();

    AppState& state_;
    InspectorSettings* settings_;
    PanelArrangement arrangement_;
    StateWatcher* watcher_;

    QLabel* badge_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* resetAction_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* column_ = nullptr;
    QVBoxLayout* columnLayout_ = nullptr;
    LocatorHighlight* highlight_ = nullptr;
    QVariantAnimation* scrollAnimation_ = nullptr;

    std::vector<Panel> panels_;
    std::vector<SliderRowsPanel*> rowPanels_;
    QStringList shownOrder_;

    std::optional<EditLayer> locatedLayer_;
    int locationGeneration_ = 0;
};

}  // namespace quillmere
