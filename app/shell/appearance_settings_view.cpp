#include "app/shell/appearance_settings_view.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell/app_appearance.h"
#include "app/shell/window_preferences.h"
#include "app/state/preferences.h"
#include "app/style/style.h"

namespace quillmere {

AppearanceSettingsView::AppearanceSettingsView(Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences), segments_(new QButtonGroup(this)) {
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(440, 160);

    // One grouped section: the picker's title and its segments on a row.
    auto* section = new QFrame;
    section->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(section);
    row->addWidget(new QLabel(QStringLiteral("Appearance")));
    row->addStretch();
    auto* segmentRow = new QHBoxLayout;
    segmentRow->setSpacing(0);
    for (AppAppearance appearance : kAllAppearances) {
        auto* segment = new QPushButton(title(appearance));
        segment->setCheckable(true);
        segment->setObjectName("appearance." + rawValue(appearance));
        segments_->addButton(segment, static_cast<int>(appearance));
        segmentRow->addWidget(segment);
    }
    row->addLayout(segmentRow);

    auto* footer = new QLabel(QStringLiteral(
        "System follows your system’s appearance. The photo canvas stays neutral in both light "
        "and dark mode."));
    footer->setWordWrap(true);
    setTextTone(*footer, TextTone::secondary);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(20, 20, 20, 20);
    form->addStretch();
    form->addWidget(section);
    form->addWidget(footer);
    form->addStretch();

    showStored();
    // Clicks come from the user only: showing the stored choice never writes it.
    connect(segments_, &QButtonGroup::idClicked, this,
            [this](int id) { storeAppearance(preferences_, static_cast<AppAppearance>(id)); });
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == WindowPreferences::kAppearance) showStored();
    });
}

void AppearanceSettingsView::showStored() {
    segments_->button(static_cast<int>(storedAppearance(preferences_)))->setChecked(true);
    // The style draws a checked button only slightly sunken: the chosen segment's title is bold.
    for (QAbstractButton* segment : segments_->buttons()) {
        QFont font = segment->font();
        font.setBold(segment->isChecked());
        segment->setFont(font);
    }
}

}  // namespace quillmere
