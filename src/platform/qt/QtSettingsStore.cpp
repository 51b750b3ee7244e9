#include "platform/qt/QtSettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace sorvanel {

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The value as text whatever it was stored as. A hand-edited INI line with commas comes back
/// as a list; it is read as the text it was.
std::optional<QString> storedText(
    std::string_view section, std::string_view name, const std::string& application)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(QtSettingsStore::organization), QString::fromStdString(application));
    settings.beginGroup(toQString(section));
    QString key = toQString(name);
    if (!settings.contains(key))
        return std::nullopt;
    QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (!value.canConvert<QString>())
        return QString();
    return value.toString();
}

} // namespace

QtSettingsStore::QtSettingsStore(std::string applicationName)
    : m_applicationName(std::move(applicationName))
{
}

std::string QtSettingsStore::applicationNameOfExecutable()
{
    // Qt's own application name keeps the extension of argv[0].
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

std::int32_t QtSettingsStore::GetProfileInt(
    std::string_view section, std::string_view name, std::int32_t defaultValue)
{
    auto text = storedText(section, name, m_applicationName);
    if (!text)
        return defaultValue;
    return parseStoredInt(text->toStdString()).value_or(defaultValue);
}

std::string QtSettingsStore::GetProfileString(
    std::string_view section, std::string_view name, std::string_view defaultValue)
{
    auto text = storedText(section, name, m_applicationName);
    if (!text)
        return std::string(defaultValue);
    return text->toStdString();
}

void QtSettingsStore::WriteProfileInt(
    std::string_view section, std::string_view name, std::int32_t value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(organization), QString::fromStdString(m_applicationName));
    settings.beginGroup(toQString(section));
    settings.setValue(toQString(name), value);
}

void QtSettingsStore::WriteProfileString(
    std::string_view section, std::string_view name, std::string_view text)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(organization), QString::fromStdString(m_applicationName));
    settings.beginGroup(toQString(section));
    settings.setValue(toQString(name), toQString(text));
}

} // namespace sorvanel
