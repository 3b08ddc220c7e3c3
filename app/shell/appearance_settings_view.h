#pragma once

#include <QWidget>

class QButtonGroup;

namespace quillmere {

class Preferences;

// The Settings window's content: the appearance choice as three segments, "System", "Dark" and
// "Light", bound both ways to the stored setting, with a note on what "System" means. A text
// stored under the key that names no choice shows as "System" and stays stored until the user
// picks a segment.
class AppearanceSettingsView : public QWidget {
    Q_OBJECT

  public:
    explicit AppearanceSettingsView(Preferences& preferences, QWidget* parent = nullptr);

  private:
    void showStored();

    Preferences& preferences_;
    QButtonGroup* segments_;
};

}  // namespace quillmere
