#include "options/settings_store.h"

#include <QByteArray>
#include <QSettings>
#include <cmath>

namespace vidora {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

SettingsStore::SettingsStore(const std::string& organisation, const std::string& application)
    : FSettings(std::make_unique<QSettings>(Q(organisation), Q(application))) {}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::Exists() const { return !FSettings->allKeys().isEmpty(); }
bool SettingsStore::Contains(const std::string& name) const { return FSettings->contains(Q(name)); }

// Text files keep every value as text; a value is of a type when its text reads as one.
std::optional<double> SettingsStore::ReadFloat(const std::string& name) const {
  QVariant value = FSettings->value(Q(name));
  bool ok = false;
  double number = value.toDouble(&ok);
  if (!value.isValid() || value.typeId() == QMetaType::QByteArray || !ok || !std::isfinite(number)) return {};
  return number;
}

std::optional<int> SettingsStore::ReadInteger(const std::string& name) const {
  QVariant value = FSettings->value(Q(name));
  bool ok = false;
  int number = value.toInt(&ok);
  if (!value.isValid() || value.typeId() == QMetaType::QByteArray || !ok) return {};
  return number;
}

std::optional<bool> SettingsStore::ReadBool(const std::string& name) const {
  QVariant value = FSettings->value(Q(name));
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() != QMetaType::QString) return {};
  QString text = value.toString().toLower();
  if (text == u"true" || text == u"1") return true;
  if (text == u"false" || text == u"0") return false;
  return {};
}

std::optional<std::string> SettingsStore::ReadString(const std::string& name) const {
  QVariant value = FSettings->value(Q(name));
  if (value.typeId() != QMetaType::QString) return {};
  return value.toString().toStdString();
}

std::optional<std::string> SettingsStore::ReadBinary(const std::string& name) const {
  QVariant value = FSettings->value(Q(name));
  if (value.typeId() != QMetaType::QByteArray) return {};
  return value.toByteArray().toStdString();
}

void SettingsStore::WriteString(const std::string& name, const std::string& value) {
  FSettings->setValue(Q(name), Q(value));
}
void SettingsStore::WriteFloat(const std::string& name, double value) { FSettings->setValue(Q(name), value); }
void SettingsStore::WriteInteger(const std::string& name, int value) { FSettings->setValue(Q(name), value); }
void SettingsStore::WriteBool(const std::string& name, bool value) { FSettings->setValue(Q(name), value); }
void SettingsStore::WriteBinary(const std::string& name, const std::string& bytes) {
  FSettings->setValue(Q(name), QByteArray::fromStdString(bytes));
}
void SettingsStore::Sync() { FSettings->sync(); }

}  // namespace vidora
