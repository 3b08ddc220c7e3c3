#include "app/panels/denoise_panel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/double_slider.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

bool offersDetail(const AppState& state) {
    return !state.photo() || state.photo()->supportsDetailDenoise;
}

}  // namespace

DenoisePanel::DenoisePanel(AppState& state, QWidget* parent)
    : SliderRowsPanel(state, {EditLayer::denoise}, parent),
      methods_(new QWidget(this)),
      methodGroup_(new QButtonGroup(this)),
      compare_(new QPushButton(this)),
      engine_(new QLabel(this)),
      seenMethod_(state.editParams().denoiseMethod) {
    methods_->setObjectName("denoiseMethod");
    methods_->setAccessibleName("Denoise method");
    auto* methodRow = new QHBoxLayout(methods_);
    methodRow->setContentsMargins(0, 0, 0, 0);
    methodRow->setSpacing(0);
    column()->insertWidget(0, methods_);
    connect(methodGroup_, &QButtonGroup::idClicked, this, [this](int method) {
        this->state().updateEditParams(
            [&](EditParams& params) { params.denoiseMethod = static_cast<DenoiseMethod>(method); });
    });

    SliderRow* amount = rows().front();
    amount->setObjectName("denoiseAmount");
    amount->slider()->setAccessibleName("Noise reduction amount");
    amount->setToolTip(
        "Reduces noise while retaining natural grain. 0 keeps the original rendering; 100 gives "
        "maximum reduction.");

    compare_->setFlat(true);
    compare_->setObjectName("compareDenoise");
    compare_->setToolTip("Compare denoise with identical exposure and color (D)");
    const QFont caption = textFont(TextStyle::caption);
    compare_->setFont(caption);
    engine_->setFont(caption);
    setTextTone(*compare_, TextTone::secondary);
    setTextTone(*engine_, TextTone::secondary);
    auto* footer = new QHBoxLayout;
    footer->addWidget(compare_);
    footer->addStretch(1);
    footer->addWidget(engine_);
    column()->addLayout(footer);
    connect(compare_, &QPushButton::clicked, this, [this] {
        AppState& state = this->state();
        state.setShowOriginal(false);
        state.setShowRecoveryOriginal(false);
        state.setShowDenoiseOriginal(!state.showDenoiseOriginal());
    });

    auto* watcher = new StateWatcher(state, this);
    watcher->onChange(
        {AppState::Field::photo}, [this] { return offersDetail(this->state()); },
        [this](bool, bool) { repopulateMethods(); });
    watcher->onAnnounced(
        {AppState::Field::photo, AppState::Field::editParams, AppState::Field::showDenoiseOriginal},
        [this] { sync(); });
    watcher->onAnnounced({AppState::Field::editParams}, [this] { reactToMethod(); });
    repopulateMethods();
}

QString DenoisePanel::engineCaption(const AppState& state) {
    const std::optional<OpenedPhoto>& photo = state.photo();
    if (photo && !photo->isRAW) return "Standard";
    if (photo && state.editParams().denoiseMethod == DenoiseMethod::natural &&
        photo->denoiseBackend == DenoiseBackend::standard) {
        return "Standard";
    }
    return "On device";
}

void DenoisePanel::setShown(bool shown) {
    SliderRowsPanel::setShown(shown);
    if (shown && !shown_) seenMethod_ = state().editParams().denoiseMethod;
    shown_ = shown;
}

void DenoisePanel::repopulateMethods() {
    for (QAbstractButton* button : methodGroup_->buttons()) {
        methodGroup_->removeButton(button);
        delete button;
    }
    for (DenoiseMethod method : {DenoiseMethod::natural, DenoiseMethod::matchFilter}) {
        if (method == DenoiseMethod::matchFilter && !offersDetail(state())) continue;
        auto* button = new QToolButton(methods_);
        button->setText(QString::fromUtf8(title(method)));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        methodGroup_->addButton(button, static_cast<int>(method));
        methods_->layout()->addWidget(button);
    }
    sync();
}

void DenoisePanel::sync() {
    {
        // A stored method the photo does not offer shows no choice at all.
        const QSignalBlocker blocker(methodGroup_);
        QAbstractButton* current =
            methodGroup_->button(static_cast<int>(state().editParams().denoiseMethod));
        methodGroup_->setExclusive(false);
        for (QAbstractButton* button : methodGroup_->buttons())
            button->setChecked(button == current);
        methodGroup_->setExclusive(true);
    }
    compare_->setText(state().showDenoiseOriginal() ? "Show processed" : "Compare noise");
    // Setting the text resets a button's shortcut to its mnemonic.
    compare_->setShortcut(Qt::Key_D);
    const QString caption = engineCaption(state());
    engine_->setText(caption);
    engine_->setToolTip(caption == "Standard" ? "Neural RAW denoise is not available on Linux."
                                              : QString());
}

void DenoisePanel::reactToMethod() {
    const DenoiseMethod method = state().editParams().denoiseMethod;
    if (method == seenMethod_) return;
    seenMethod_ = method;
    if (!shown_) return;
    AppState& state = this->state();
    state.setShowRecoveryOriginal(false);
    state.setShowOriginal(false);
    state.setShowDenoiseOriginal(false);
    state.clearAppliedPreset();
    state.clearAppliedCheckpoint();
}

}  // namespace quillmere
