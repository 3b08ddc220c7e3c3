#include "app/workspace/native_workspace.h"

#include <QFrame>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/panels/slider_panel.h"
#include "app/state/follow/state_watcher.h"
#include "app/workspace/filmstrip_view.h"
#include "app/workspace/library_sidebar.h"
#include "app/workspace/preview_view.h"

namespace quillmere {
namespace {

constexpr int kLibraryMinimumWidth = 210;
constexpr int kLibraryMaximumWidth = 300;
constexpr int kPhotoMinimumWidth = 320;
constexpr int kInspectorMinimumWidth = 340;
constexpr int kInspectorMaximumWidth = 420;

}  // namespace

// The middle pane: the preview and, while the filmstrip is switched on and the session holds
// photos, a divider and the filmstrip. A filmstrip shown again is a new one.
class WorkspacePhotoArea : public QWidget {
  public:
    WorkspacePhotoArea(AppState& state, QWidget* parent)
        : QWidget(parent), state_(state), watcher_(new StateWatcher(state, this)) {
        setObjectName("photoArea");
        setMinimumWidth(kPhotoMinimumWidth);
        preview_ = new PreviewView(state, this);
        column_ = new QVBoxLayout(this);
        column_->setContentsMargins(0, 0, 0, 0);
        column_->setSpacing(0);
        column_->addWidget(preview_, 1);

        using Field = AppState::Field;
        watcher_->onAnnounced({Field::isExporting, Field::isApplyingEdits, Field::sessionPhotos},
                              [this] { syncFromState(); });
        syncFromState();
    }

    void setFilmstripVisible(bool visible) {
        filmstripVisible_ = visible;
        syncFromState();
    }

  private:
    void syncFromState() {
        preview_->setEnabled(!state_.isExporting() && !state_.isApplyingEdits());
        const bool shown = filmstripVisible_ && !state_.sessionPhotos().empty();
        if (shown == (filmstrip_ != nullptr)) return;
        if (shown) {
            divider_ = new QFrame(this);
            divider_->setObjectName("filmstripDivider");
            divider_->setFrameShape(QFrame::HLine);
            divider_->setFrameShadow(QFrame::Plain);
            filmstrip_ = new FilmstripView(state_, this);
            column_->addWidget(divider_);
            column_->addWidget(filmstrip_);
        } else {
            delete divider_;
            delete filmstrip_;
            divider_ = nullptr;
            filmstrip_ = nullptr;
        }
    }

    AppState& state_;
    StateWatcher* watcher_;
    QVBoxLayout* column_;
    PreviewView* preview_;
    QFrame* divider_ = nullptr;
    FilmstripView* filmstrip_ = nullptr;
    bool filmstripVisible_ = true;
};

NativeWorkspace::NativeWorkspace(AppState& state, Preferences& preferences, QWidget* parent)
    : QWidget(parent),
      state_(state),
      preferences_(preferences),
      watcher_(new StateWatcher(state, this)),
      splitter_(new QSplitter(Qt::Horizontal, this)) {
    setObjectName("workspace");
    library_ = new LibrarySidebar(state, preferences,
                                  [this](EditLayer layer) { revealEdit(layer); });
    library_->setMinimumWidth(kLibraryMinimumWidth);
    library_->setMaximumWidth(kLibraryMaximumWidth);
    photoArea_ = new WorkspacePhotoArea(state, this);
    inspector_ = new SliderPanel(state, preferences);
    inspector_->setMinimumWidth(kInspectorMinimumWidth);
    inspector_->setMaximumWidth(kInspectorMaximumWidth);

    splitter_->setObjectName("workspaceSplit");
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(1);
    for (QWidget* pane : std::initializer_list<QWidget*>{library_, photoArea_, inspector_}) {
        splitter_->addWidget(pane);
    }
    // The photo area takes every change of the window's width.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setStretchFactor(2, 0);
    // A 1440-point window with dividers at 240 and 1120; the inspector's minimum widens it.
    splitter_->setSizes({240, 880, 320});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    using Field = AppState::Field;
    watcher_->onAnnounced({Field::isExporting, Field::isApplyingEdits},
                          [this] { syncInspectorEnablement(); });
    syncInspectorEnablement();
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == "library.visible" || key == "inspector.visible" ||
            key == "filmstrip.visible") {
            applyPreferences();
        }
    });
    applyPreferences();
}

bool NativeWorkspace::preference(const char* key) const {
    return preferences_.value(key, true).toBool();
}

void NativeWorkspace::applyPreferences() {
    photoArea_->setFilmstripVisible(preference("filmstrip.visible"));
    setVisibility(preference("library.visible"), preference("inspector.visible"));
}

void NativeWorkspace::syncInspectorEnablement() {
    inspector_->setEnabled(!state_.isExporting() && !state_.isApplyingEdits());
}

void NativeWorkspace::setVisibility(bool library, bool inspector) {
    if (library_->isHidden() == library) library_->setVisible(library);
    if (inspector_->isHidden() == inspector) inspector_->setVisible(inspector);
}

void NativeWorkspace::revealEdit(EditLayer layer) {
    preferences_.setValue("inspector.visible", true);
    state_.setRequestedEditLayer(layer);
}

}  // namespace quillmere
