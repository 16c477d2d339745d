// The per-user profile: named sections of text and integer values under the vendor key
// "HVFactory" and the program's name. An empty section name addresses the root.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace carvento::platform {

// Profile store seam. Reads of missing values return the default; failures read as missing.
class Profile {
public:
    virtual ~Profile() = default;

    // Text value of key in section, or `defaultValue` when absent.
    virtual std::string GetString(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const = 0;
    // Writes a text value (creating section and key as needed).
    virtual void SetString(std::string_view section, std::string_view key,
                           std::string_view value) = 0;
    // Integer value of key in section, or `defaultValue` when absent or not an integer.
    virtual int GetInt(std::string_view section, std::string_view key, int defaultValue) const = 0;
    // Writes an integer value.
    virtual void SetInt(std::string_view section, std::string_view key, int value) = 0;
    // Makes a change of several values as one: a store other programs share locks itself,
    // reads what they wrote, makes the change and writes it back. false when it could not be
    // stored (nothing changed then).
    virtual bool Change(const std::function<void(Profile&)>& change)
    {
        change(*this);
        return true;
    }
};

// In-memory profile for tests and for programs that must not touch the user's store.
class MemoryProfile final : public Profile {
public:
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override;
    void SetString(std::string_view section, std::string_view key, std::string_view value) override;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const override;
    void SetInt(std::string_view section, std::string_view key, int value) override;

    // Every stored value as "section/key" → text, for tests that inspect the store.
    const std::map<std::string, std::string>& Values() const { return m_values; }

private:
    static std::string Path(std::string_view section, std::string_view key);
    std::map<std::string, std::string> m_values;
};

} // namespace carvento::platform
