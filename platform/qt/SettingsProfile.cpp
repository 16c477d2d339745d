// QSettings-backed Profile.
#include "platform/qt/SettingsProfile.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <chrono>
#include <filesystem>
#include <system_error>

namespace carvento::platform {
namespace {

// An update holds the lock for the few milliseconds of one read and one write, but a queue
// of programs starting at once on a loaded machine can take many seconds, and QLockFile's
// polling is not first come, first served: waiting a minute is better than refusing the
// change. A lock whose program has died is broken at once, one older than the stale time
// (a hung holder) after that time.
constexpr int kUpdateWaitMs = 60000;
constexpr int kUpdateLockStaleMs = 30000;

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

// QSettings keeps the files it read and trusts such a copy while the file's size and modification
// time (in milliseconds) still match it. A copy taken while another program was creating the file
// can match the new file and hold none of it: a change built on it would drop what that program
// wrote. Called under the update lock, this moves the file's time past every copy read before,
// so the re-read that follows reads the file.
void OutdateCachedCopies(const QString& path)
{
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error)
        return; // no file yet, so nothing can have been read from it
    auto moved = std::filesystem::file_time_type::clock::now();
    if (moved < modified + std::chrono::milliseconds(1))
        moved = modified + std::chrono::milliseconds(1);
    std::filesystem::last_write_time(file, moved, error); // a refused change shows in the write
}

} // namespace

std::string EscapeProfileName(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size());
    for (char c : name) {
        switch (c) {
        case '%':
            escaped += "%25";
            break;
        case '/':
            escaped += "%2F";
            break;
        case '\\':
            escaped += "%5C";
            break;
        default:
            escaped += c;
            break;
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

std::string SettingsProfile::FilePath() const
{
    return m_settings->fileName().toStdString();
}

void SettingsProfile::Reopen()
{
    // The new object first: the old one's destructor would otherwise write what is pending
    // and report it to nobody.
    auto fresh = std::make_unique<QSettings>(m_settings->fileName(), QSettings::IniFormat);
    fresh->setFallbacksEnabled(false);
    m_settings = std::move(fresh);
}

bool SettingsProfile::Sync()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::FormatError)
        return m_settings->status() == QSettings::NoError;
    // The format error was met while reading and hides how the write went: a new object
    // writes whatever is still pending and reports only that.
    Reopen();
    m_settings->sync();
    return m_settings->status() != QSettings::AccessError;
}

ProfileUpdate SettingsProfile::Update(const std::function<void(Profile&)>& change)
{
    ProfileUpdate result;
    const QString path = m_settings->fileName();
    // A new user has no configuration folder yet; the lock file beside the profile needs it.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QLatin1String(kUpdateLockSuffix));
    lock.setStaleLockTime(kUpdateLockStaleMs);
    if (!lock.tryLock(kUpdateWaitMs)) {
        result.status = lock.error() == QLockFile::LockFailedError
                            ? ProfileUpdateStatus::Busy
                            : ProfileUpdateStatus::WriteFailed;
        return result;
    }

    // Anything this program changed before goes out first, so the re-read below starts clean.
    m_settings->sync();
    if (QFileInfo::exists(path) && !QFile(path).open(QIODevice::ReadOnly)) {
        result.status = ProfileUpdateStatus::Unreadable;
        return result;
    }
    OutdateCachedCopies(path);
    // Re-read what other programs wrote since this profile was opened, parsing every section
    // so that damage anywhere in the file shows now rather than in the write's status.
    Reopen();
    // A new QSettings may share the file cache of the old one; sync makes it read what other
    // programs wrote since, or their additions would be overwritten by this change.
    m_settings->sync();
    m_settings->allKeys();
    if (m_settings->status() == QSettings::FormatError) {
        // QSettings drops what it cannot read when it rewrites the file: keep the file as it was.
        result.damaged = true;
        const QString copy = path + QLatin1String(kDamagedCopySuffix);
        QFile::remove(copy);
        if (QFile::copy(path, copy))
            result.damagedCopy = copy.toStdString();
    }

    change(*this);

    Reopen(); // writes the change as it opens, with a status of its own
    m_settings->sync();
    result.status = m_settings->status() == QSettings::AccessError
                        ? ProfileUpdateStatus::WriteFailed
                        : ProfileUpdateStatus::Written;
    return result;
}

const char* ProfileUpdate::description() const
{
    switch (status) {
    case ProfileUpdateStatus::Written:
        return damaged ? "written; unreadable lines were dropped" : "written";
    case ProfileUpdateStatus::Busy:
        return "the profile is locked by another program";
    case ProfileUpdateStatus::Unreadable:
        return "the profile cannot be read";
    case ProfileUpdateStatus::WriteFailed:
        return "the profile could not be written";
    }
    return "unknown";
}

} // namespace carvento::platform
