// Profile on QSettings: an INI file under the user's configuration folder on Linux
// (HVFactory/<program>.ini), the registry under HKCU\Software\HVFactory\<program> on Windows.
#pragma once

#include "platform/Profile.hpp"

#include <functional>
#include <memory>
#include <string>

class QSettings;

namespace carvento::platform {

// Every Carvento program shares this profile name, so user-defined ellipsoids are shared.
inline constexpr const char* kVendorName = "HVFactory";
inline constexpr const char* kProgramProfileName = "carvento";

// Beside the profile file, the lock that SettingsProfile::Update holds. QSettings itself
// locks "<file>.lock" while it writes, so ours must have a name of its own.
inline constexpr const char* kUpdateLockSuffix = ".update.lock";
// Beside the profile file, the copy of a file that held lines that could not be read, kept
// before Update rewrites it without them.
inline constexpr const char* kDamagedCopySuffix = ".damaged";

enum class ProfileUpdateStatus {
    Written,     // the change is on disk
    Busy,        // another program kept the profile locked too long: nothing was changed
    Unreadable,  // the file exists but cannot be read: nothing was changed or written
    WriteFailed, // the file could not be written: the change is not on disk
};

// What SettingsProfile::Update did.
struct ProfileUpdate {
    ProfileUpdateStatus status = ProfileUpdateStatus::WriteFailed;
    // The file held text that could not be read as settings (a format error, which is not a
    // failure to write). The rewritten file no longer holds it; the file as it was is kept
    // as `damagedCopy` (empty when no copy could be made).
    bool damaged = false;
    std::string damagedCopy;

    bool Ok() const { return status == ProfileUpdateStatus::Written; }
    // A short English explanation of the status, for the command line and test output.
    const char* description() const;
};

class SettingsProfile final : public Profile {
public:
    // The user's profile for `programName` under the vendor key.
    explicit SettingsProfile(const std::string& programName = kProgramProfileName);
    // A profile kept in the given INI file (tests, portable installs).
    static std::unique_ptr<SettingsProfile> FromIniFile(const std::string& path);
    ~SettingsProfile() override;

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override;
    void SetString(std::string_view section, std::string_view key, std::string_view value) override;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const override;
    void SetInt(std::string_view section, std::string_view key, int value) override;

    // Writes pending changes to permanent storage; false only when they could not be
    // written. A damaged file that was read and then rewritten counts as written.
    bool Sync();

    // A read-modify-write that other programs sharing the file cannot interleave with: waits
    // for the update lock beside the file (at most a few seconds), re-reads the file, runs
    // `change` on this profile, writes the file and releases the lock. Two programs adding a
    // name to one list each both find their name there afterwards.
    ProfileUpdate Update(const std::function<void(Profile&)>& change);
    bool Change(const std::function<void(Profile&)>& change) override
    {
        return Update(change).Ok();
    }

    // The INI file behind this profile.
    std::string FilePath() const;

private:
    explicit SettingsProfile(std::unique_ptr<QSettings> settings);
    // Replaces the QSettings object by a new one on the same file. QSettings keeps the first
    // error it met for the life of the object, so a format error found while reading would
    // hide a later failure to write; a new object starts without one. Pending changes live in
    // the file's shared cache, not in the object, and carry over (the new object writes them
    // as it opens).
    void Reopen();

    std::unique_ptr<QSettings> m_settings;
};

// QSettings reads "/" and "\" in a key as group separators, so an ellipsoid named
// "WGS84/GRS80" would land in a group and never be found again; names are stored with
// "%", "/" and "\" percent-escaped. Exposed for tests.
std::string EscapeProfileName(std::string_view name);

} // namespace carvento::platform
