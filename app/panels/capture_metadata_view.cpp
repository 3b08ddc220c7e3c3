#include "app/panels/capture_metadata_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/panels/capture_metadata_text.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

QLabel* captionLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(textFont(TextStyle::caption));
    return label;
}

}  // namespace

CaptureMetadataView::CaptureMetadataView(QWidget* parent) : QWidget(parent) {
    setObjectName("captureMetadata");
    iso_ = captionLabel(this, "captureISO");
    focalLength_ = captionLabel(this, "captureFocalLength");
    aperture_ = captionLabel(this, "captureAperture");
    exposureTime_ = captionLabel(this, "captureExposureTime");
    model_ = captionLabel(this, "captureModel");
    setTextTone(*model_, TextTone::secondary);

    auto* firstLine = new QHBoxLayout;
    firstLine->setSpacing(9);
    for (QLabel* label : {iso_, focalLength_, aperture_, exposureTime_}) {
        firstLine->addWidget(label);
    }
    firstLine->addStretch();
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(5);
    lines->addLayout(firstLine);
    lines->addWidget(model_);
    setPhoto(std::nullopt);
}

void CaptureMetadataView::setPhoto(const std::optional<OpenedPhoto>& photo) {
    setVisible(photo.has_value());
    if (!photo) return;
    const CaptureMetadataText text = CaptureMetadataText::from(photo->exif);
    iso_->setText(QString::fromStdString(text.iso));
    focalLength_->setText(QString::fromStdString(text.focalLength));
    aperture_->setText(QString::fromStdString(text.aperture));
    exposureTime_->setText(QString::fromStdString(text.exposureTime));
    model_->setText(QString::fromStdString(text.model.value_or("")));
    model_->setVisible(text.model.has_value());
    setToolTip(plainToolTip(QString::fromStdString(text.toolTip)));
}

}  // namespace quillmere
