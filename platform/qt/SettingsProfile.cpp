// QSettings-backed Profile.
#include "platform/qt/SettingsProfile.hpp"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace carvento::platform {
namespace {

QString QtText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString KeyPath(std::string_view section, std::string_view key)
{
    QString path;
    if (!section.empty()) {
        path = QtText(EscapeProfileName(section));
        path += QLatin1Char('/');
    }
    path += QtText(EscapeProfileName(key));
    return path;
}

} // namespace

std::string EscapeProfileName(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size());
    for (char c : name) {
        switch (c) {
        case '%': escaped += "%25"; break;
        case '/': escaped += "%2F"; break;
        case '\\': escaped += "%5C"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

SettingsProfile::SettingsProfile(const std::string& programName)
    : SettingsProfile(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                  QString::fromLatin1(kVendorName),
                                                  QString::fromStdString(programName)))
{
}

SettingsProfile::SettingsProfile(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{
    // A value missing for this program must not be read from a vendor-wide or system file.
    m_settings->setFallbacksEnabled(false);
}

std::unique_ptr<SettingsProfile> SettingsProfile::FromIniFile(const std::string& path)
{
    return std::unique_ptr<SettingsProfile>(new SettingsProfile(
        std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)));
}

SettingsProfile::~SettingsProfile() = default;

std::string SettingsProfile::GetString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const
{
    QVariant value = m_settings->value(KeyPath(section, key));
    if (!value.isValid())
        return std::string(defaultValue);
    return value.toString().toStdString();
}

void SettingsProfile::SetString(std::string_view section, std::string_view key,
                                std::string_view value)
{
    m_settings->setValue(KeyPath(section, key), QtText(value));
}

int SettingsProfile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    QVariant value = m_settings->value(KeyPath(section, key));
    bool ok = false;
    int number = value.toInt(&ok);
    return ok ? number : defaultValue;
}

void SettingsProfile::SetInt(std::string_view section, std::string_view key, int value)
{
    m_settings->setValue(KeyPath(section, key), value);
}

bool SettingsProfile::Sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace carvento::platform
