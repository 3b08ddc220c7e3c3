#include "app/panels/install_panel_views.h"

#include <utility>

#include "app/panels/edit_stack_section.h"
#include "app/panels/slider_panel.h"
#include "app/workspace/hosted_views.h"

namespace quillmere {

void installPanelViews(Preferences& preferences) {
    hosted::Builders builders;
    builders.sliderPanel = [&preferences](AppState& state, QWidget* parent) -> QWidget* {
        return new SliderPanel(state, preferences, parent);
    };
    builders.editStackSection = [](AppState& state, std::function<void(EditLayer)> onSelect,
                                   QWidget* parent) -> QWidget* {
        return new EditStackSection(state, std::move(onSelect), parent);
    };
    hosted::install(std::move(builders));
}

}  // namespace quillmere
