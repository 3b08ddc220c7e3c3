#pragma once

#include <QAbstractButton>

namespace quillmere {

class ElidedLabel;

// One preset in the presets list: its name on one line (shortened with "…" when too long), the
// whole row clickable. The selected row (the preset applied last) is filled with the accent
// colour and its name drawn in the selection's text colour.
class PresetRow : public QAbstractButton {
    Q_OBJECT

  public:
    explicit PresetRow(const QString& name, QWidget* parent = nullptr);

    QString name() const;
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void applyTextColor();

    ElidedLabel* name_;
    bool selected_ = false;
};

}  // namespace quillmere
