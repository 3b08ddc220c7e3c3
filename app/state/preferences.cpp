#include "app/state/preferences.h"

#include <QSettings>
#include <QStandardPaths>

namespace quillmere {

Preferences::Preferences(QObject* parent)
    : Preferences(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Quillmere/Quillmere.conf"),
                  parent) {}

Preferences::Preferences(const QString& fileName, QObject* parent)
    : QObject(parent), settings_(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

Preferences::~Preferences() = default;

QString Preferences::fileName() const { return settings_->fileName(); }

bool Preferences::contains(const QString& key) const { return settings_->contains(key); }

QVariant Preferences::value(const QString& key, const QVariant& defaultValue) const {
    return settings_->value(key, defaultValue);
}

void Preferences::setValue(const QString& key, const QVariant& value) {
    settings_->setValue(key, value);
    settings_->sync();
    emit changed(key);
}

void Preferences::remove(const QString& key) {
    settings_->remove(key);
    settings_->sync();
    emit changed(key);
}

}  // namespace quillmere
