#pragma once

#include <QWidget>
#include <optional>

#include "core/photo/opened_photo.h"

class QLabel;

namespace quillmere {

// Two compact lines on how the open photo was taken: ISO, focal length, aperture and exposure
// time, then the camera model; the lens and the capture date are its tooltip. Without a photo it
// is hidden and takes no space.
class CaptureMetadataView : public QWidget {
    Q_OBJECT

  public:
    explicit CaptureMetadataView(QWidget* parent = nullptr);

    // Shows the photo's capture data, or hides the view.
    void setPhoto(const std::optional<OpenedPhoto>& photo);

  private:
    QLabel* iso_;
    QLabel* focalLength_;
    QLabel* aperture_;
    QLabel* exposureTime_;
    QLabel* model_;
};

}  // namespace quillmere
