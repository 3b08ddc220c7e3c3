#include "app/sheets/install_sheet_views.h"

#include "app/sheets/checkpoints_section.h"
#include "app/workspace/hosted_views.h"

namespace quillmere {

void installSheetViews() {
    hosted::Builders builders;
    builders.checkpointsSection = [](AppState& state, QWidget* parent) -> QWidget* {
        return new CheckpointsSection(state, parent);
    };
    hosted::install(std::move(builders));
}

}  // namespace quillmere
