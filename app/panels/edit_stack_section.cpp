#include "app/panels/edit_stack_section.h"

#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/panels/edit_layer_row.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

// The layer count on a faint capsule of the text colour.
class CountBadge : public QLabel {
  public:
    explicit CountBadge(QWidget* parent) : QLabel(parent) {
        setFont(weighted(digitFont(textFont(TextStyle::caption2)), QFont::DemiBold));
        setTextFormat(Qt::PlainText);
        setContentsMargins(5, 1, 5, 1);
        setTextTone(*this, TextTone::secondary);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = parentWidget()->palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        const QRectF capsule(rect());
        painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.end();
        QLabel::paintEvent(event);
    }
};

// The header: the whole row folds and unfolds the list.
class HeaderButton : public QAbstractButton {
  public:
    using QAbstractButton::QAbstractButton;

  protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

EditStackSection::EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                                   QWidget* parent)
    : QWidget(parent),
      state_(state),
      header_(new HeaderButton(this)),
      chevron_(new QToolButton(header_)),
      count_(new CountBadge(header_)),
      empty_(new QLabel("No active edits", this)),
      list_(new QWidget(this)) {
    setObjectName("editStackSection");
    header_->setObjectName("editStackHeader");
    header_->setAccessibleName("Edits");
    count_->setObjectName("editStackCount");
    empty_->setObjectName("editStackEmpty");
    chevron_->setAutoRaise(true);
    chevron_->setIconSize(QSize(9, 9));
    chevron_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* title = new QLabel("Edits", header_);
    title->setFont(textFont(TextStyle::headline));
    setTextTone(*title, TextTone::secondary);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    count_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* headerRow = new QHBoxLayout(header_);
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->setSpacing(5);
    headerRow->addWidget(chevron_);
    headerRow->addWidget(title);
    headerRow->addWidget(count_);
    headerRow->addStretch(1);
    connect(header_, &QAbstractButton::clicked, this, &EditStackSection::toggleExpanded);

    empty_->setFont(textFont(TextStyle::caption));
    setTextTone(*empty_, TextTone::secondary);
    empty_->setContentsMargins(0, 4, 0, 4);

    auto* rows = new QVBoxLayout(list_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(3);
    for (std::size_t index = 0; index < allEditLayers.size(); ++index) {
        const EditLayer layer = allEditLayers[index];
        auto* row = new EditLayerRow(layer, list_);
        connect(row, &EditLayerRow::bypassToggled, this,
                [this, layer] { state_.toggleEditLayer(layer); });
        connect(row, &EditLayerRow::resetRequested, this,
                [this, layer] { state_.resetEditLayer(layer); });
        connect(row, &QAbstractButton::clicked, this, [onSelect, layer] {
            if (onSelect) onSelect(layer);
        });
        rows->addWidget(row);
        rows_[index] = row;
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(header_);
    column->addWidget(empty_);
    column->addWidget(list_);

    using Field = AppState::Field;
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({Field::editParams, Field::disabledEditLayers, Field::photo},
                         [this] { sync(); });
    sync();
}

void EditStackSection::toggleExpanded() {
    expanded_ = !expanded_;
    sync();
}

void EditStackSection::sync() {
    const std::vector<EditLayer> active = state_.activeEditLayers();
    count_->setText(QString::number(active.size()));
    chevron_->setIcon(
        symbolIcon(expanded_ ? "chevron.down" : "chevron.right", SymbolTint::secondary));
    empty_->setVisible(expanded_ && active.empty());
    list_->setVisible(expanded_ && !active.empty());
    for (EditLayerRow* row : rows_) {
        const EditLayer layer = row->layer();
        const bool listed = std::find(active.begin(), active.end(), layer) != active.end();
        row->setVisible(listed);
        if (!listed) continue;
        row->display(QString::fromStdString(valueText(layer, state_.editParams())),
                     state_.disabledEditLayers().contains(layer));
    }
}

}  // namespace quillmere
