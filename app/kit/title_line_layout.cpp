#include "app/kit/title_line_layout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quillmere {

void layOutUnderTitleLine(QWidget& owner, QWidget* title, QWidget* value, QWidget* control,
                          int spacing) {
    auto* titleLine = new QHBoxLayout;
    titleLine->setContentsMargins(0, 0, 0, 0);
    titleLine->addWidget(title);
    titleLine->addStretch(1);
    titleLine->addWidget(value);
    auto* column = new QVBoxLayout(&owner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addLayout(titleLine);
    column->addWidget(control);
}

}  // namespace quillmere
