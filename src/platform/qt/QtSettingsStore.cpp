#include "platform/qt/QtSettingsStore.h"

#include "platform/qt/TextDecoding.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace sorvanel {

namespace {

using ui::toQString;

std::unique_ptr<QSettings> openSettings(const std::string& application)
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(QtSettingsStore::organization), QString::fromStdString(application));
}

/// The value as text whatever it was stored as. A hand-edited INI line with commas comes back
/// as a list; it is read as the text it was.
std::optional<std::string> storedText(
    QSettings& settings, std::string_view section, std::string_view name)
{
    settings.beginGroup(toQString(section));
    QString key = toQString(name);
    std::optional<QVariant> value;
    if (settings.contains(key))
        value = settings.value(key);
    settings.endGroup();
    if (!value)
        return std::nullopt;
    if (value->typeId() == QMetaType::QByteArray)
        return value->toByteArray().toStdString();
    if (value->typeId() == QMetaType::QStringList)
        return value->toStringList().join(QLatin1Char(',')).toStdString();
    if (!value->canConvert<QString>())
        return std::string();
    return value->toString().toStdString();
}

void storeValue(
    QSettings& settings, std::string_view section, std::string_view name, const QVariant& value)
{
    settings.beginGroup(toQString(section));
    settings.setValue(toQString(name), value);
    settings.endGroup();
}

/// A text as it is stored: as text when it is UTF-8, else as its bytes (a folder named in
/// an older encoding), so that it reads back unchanged.
QVariant storedForm(std::string_view text)
{
    QString decoded = toQString(text);
    QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (decoded.toUtf8() == bytes)
        return decoded;
    return bytes;
}

} // namespace

/// The store held open while a session lasts; it writes its file when it is destroyed.
struct QtSettingsStore::Session
{
    std::unique_ptr<QSettings> settings;
};

QtSettingsStore::QtSettingsStore(std::string applicationName)
    : m_applicationName(std::move(applicationName))
{
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::applicationNameOfExecutable()
{
    // Qt's own application name keeps the extension of argv[0].
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

template <class Access> auto QtSettingsStore::access(Access&& operation)
{
    if (m_session)
        return operation(*m_session->settings);
    std::unique_ptr<QSettings> settings = openSettings(m_applicationName);
    return operation(*settings);
}

void QtSettingsStore::beginSession()
{
    if (m_sessionDepth++ == 0)
        m_session = std::make_unique<Session>(Session{openSettings(m_applicationName)});
}

void QtSettingsStore::commitSession()
{
    if (m_sessionDepth > 0 && --m_sessionDepth == 0)
        m_session.reset();
}

std::int32_t QtSettingsStore::GetProfileInt(
    std::string_view section, std::string_view name, std::int32_t defaultValue)
{
    auto text = access([&](QSettings& settings) { return storedText(settings, section, name); });
    if (!text)
        return defaultValue;
    return parseStoredInt(*text).value_or(defaultValue);
}

std::string QtSettingsStore::GetProfileString(
    std::string_view section, std::string_view name, std::string_view defaultValue)
{
    auto text = access([&](QSettings& settings) { return storedText(settings, section, name); });
    return text ? *text : std::string(defaultValue);
}

void QtSettingsStore::WriteProfileInt(
    std::string_view section, std::string_view name, std::int32_t value)
{
    access([&](QSettings& settings) { storeValue(settings, section, name, value); });
}

void QtSettingsStore::WriteProfileString(
    std::string_view section, std::string_view name, std::string_view text)
{
    access([&](QSettings& settings) { storeValue(settings, section, name, storedForm(text)); });
}

} // namespace sorvanel
