#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace quillmere {

// The user's preferences: an INI file of keys and values that announces every write. Keys are
// used verbatim ("library.visible", "photoFolderAccess.bookmarks.v1"). Defaults are not stored:
// every reader passes its own, so a key holds a value only once something was written to it.
// Each write reaches the file at once, so another Preferences over the same file sees it.
class Preferences : public QObject {
    Q_OBJECT

  public:
    // The program's file: "Quillmere/Quillmere.conf" in the user's configuration folder
    // ($XDG_CONFIG_HOME, else ~/.config).
    explicit Preferences(QObject* parent = nullptr);
    // Preferences kept in the INI file `fileName` (another product's, or a test's).
    explicit Preferences(const QString& fileName, QObject* parent = nullptr);
    ~Preferences() override;

    QString fileName() const;

    bool contains(const QString& key) const;
    // The stored value, or `defaultValue` when the key holds none.
    QVariant value(const QString& key, const QVariant& defaultValue = {}) const;

    // Stores `value` under `key` and announces the key, also when the value did not change.
    void setValue(const QString& key, const QVariant& value);
    // Removes the key's value and announces the key.
    void remove(const QString& key);

  signals:
    void changed(const QString& key);

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace quillmere
