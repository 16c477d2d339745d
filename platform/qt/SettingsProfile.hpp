// Profile on QSettings: an INI file under the user's configuration folder on Linux
// (HVFactory/<program>.ini), the registry under HKCU\Software\HVFactory\<program> on Windows.
#pragma once

#include "platform/Profile.hpp"

#include <memory>
#include <string>

class QSettings;

namespace carvento::platform {

// Every Carvento program shares this profile name, so user-defined ellipsoids are shared.
inline constexpr const char* kVendorName = "HVFactory";
inline constexpr const char* kProgramProfileName = "carvento";

class SettingsProfile final : public Profile {
public:
    // The user's profile for `programName` under the vendor key.
    explicit SettingsProfile(const std::string& programName = kProgramProfileName);
    // A profile kept in the given INI file (tests, portable installs).
    static std::unique_ptr<SettingsProfile> FromIniFile(const std::string& path);
    ~SettingsProfile() override;

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override;
    void SetString(std::string_view section, std::string_view key,
                   std::string_view value) override;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const override;
    void SetInt(std::string_view section, std::string_view key, int value) override;

    // Writes pending changes to permanent storage; false when that failed.
    bool Sync();

private:
    explicit SettingsProfile(std::unique_ptr<QSettings> settings);
    std::unique_ptr<QSettings> m_settings;
};

// QSettings reads "/" and "\" in a key as group separators, so an ellipsoid named
// "WGS84/GRS80" would land in a group and never be found again; names are stored with
// "%", "/" and "\" percent-escaped. Exposed for tests.
std::string EscapeProfileName(std::string_view name);

} // namespace carvento::platform
