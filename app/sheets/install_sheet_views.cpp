#include "app/sheets/install_sheet_views.h"

#include "app/sheets/export_sheet.h"
#include "app/workspace/hosted_views.h"

namespace quillmere {

void installSheetViews() {
    hosted::Builders builders;
    builders.exportSheet = [](AppState& state, QWidget* parent) -> QDialog* {
        auto* sheet = new ExportSheet(state, parent);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        return sheet;
    };
    hosted::install(std::move(builders));
}

}  // namespace quillmere
