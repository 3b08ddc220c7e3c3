#pragma once

#include <QScrollArea>
#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

class QGroupBox;
class QPushButton;

namespace quillmere {

// The "Technology & Licenses" window's content: the credits of the two denoisers and the
// libraries the program ships with, every text selectable, and a button that shows the folder of
// full licence notices in the file manager when that folder exists. It changes nothing in the
// program.
class TechnologyLicensesView : public QScrollArea {
    Q_OBJECT

  public:
    // The licences folder is the first of `licenseFolders` that exists, looked for afresh each
    // time the window is shown; the default is the program's own (ProgramFiles: the installed
    // notices beside an installed program, the checkout's for one run from its build tree).
    explicit TechnologyLicensesView(
        std::vector<std::filesystem::path> licenseFolders = defaultLicenseFolders(),
        QWidget* parent = nullptr);

    static std::vector<std::filesystem::path> defaultLicenseFolders();

    // One credit: a group titled `title` with `text` and a link to `linkURL`, or no link when the
    // address is not a URL.
    static QGroupBox* technologyGroup(const QString& title, const QString& text,
                                      const QString& linkTitle, const QString& linkURL);

    // The licences folder, when one of the folders exists.
    std::optional<std::filesystem::path> licensesURL() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QGroupBox* componentsGroup();
    void revealLicenses();

    std::vector<std::filesystem::path> licenseFolders_;
    QPushButton* revealButton_ = nullptr;
};

}  // namespace quillmere
