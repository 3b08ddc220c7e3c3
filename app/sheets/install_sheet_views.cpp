#include "app/sheets/install_sheet_views.h"

#include <utility>

#include "app/sheets/checkpoints_section.h"
#include "app/sheets/export_sheet.h"
#include "app/sheets/presets_section.h"
#include "app/workspace/hosted_views.h"

namespace quillmere {

void installSheetViews() {
    hosted::Builders builders;
    builders.exportSheet = [](AppState& state, QWidget* parent) -> QDialog* {
        auto* sheet = new ExportSheet(state, parent);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        return sheet;
    };
    builders.presetsSection = [](AppState& state, bool showsTitle, QWidget* parent) -> QWidget* {
        return new PresetsSection(state, showsTitle, parent);
    };
    builders.checkpointsSection = [](AppState& state, QWidget* parent) -> QWidget* {
        return new CheckpointsSection(state, parent);
    };
    hosted::install(std::move(builders));
}

}  // namespace quillmere
