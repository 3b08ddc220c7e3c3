#include "app/sheets/hosted_view_factories.h"

#include "app/sheets/export_sheet.h"
#include "app/workspace/hosted_views.h"

namespace quillmere {

void installHostedViewFactories() {
    hosted::Factories& factories = hosted::factories();
    factories.exportSheet = [](AppState& state, QWidget* parent) -> QDialog* {
        auto* sheet = new ExportSheet(state, parent);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        return sheet;
    };
}

}  // namespace quillmere
