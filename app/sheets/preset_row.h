#pragma once

#include <QAbstractButton>

namespace quillmere {

// One preset in the presets list: its name on one line, the whole row clickable. The selected
// row (the preset applied last) is filled with the accent colour and its name drawn in the
// selection's text colour.
class PresetRow : public QAbstractButton {
    Q_OBJECT

  public:
    explicit PresetRow(const QString& name, QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString name_;
    bool selected_ = false;
};

}  // namespace quillmere
