#pragma once
// The profile in the registry, as the Windows application framework keeps it:
// HKEY_CURRENT_USER\Software\<company>\<application>\<section>, string values.
// With an empty company name the application key sits directly under
// Software.

#include "platform/win32/win32.h"

#include <string>

#include "app/profile.h"
#include "platform/unique_handle.h"

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    void Free(HKEY key) const { RegCloseKey(key); }
};
// Owns one open registry key.
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// Opens (creating what is missing) `subKey` below `parent` for reading and
// writing. An empty `subKey` yields a second handle to `parent`.
RegistryKey CreateRegistryKey(HKEY parent, const std::string& subKey);

class RegistryProfile : public Profile {
public:
    RegistryProfile() = default;
    RegistryProfile(std::string companyKey, std::string applicationName)
        : company_(std::move(companyKey)), application_(std::move(applicationName)), enabled_(true) {}

    // Until a company key is set there is no profile: reads give the
    // default and writes fail.
    void SetKeys(std::string companyKey, std::string applicationName);
    bool IsEnabled() const { return enabled_; }

    // Only string values count; a value of another type reads as missing.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override;
    bool WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override;

    // HKEY_CURRENT_USER\Software\<company>\<application>, created when missing.
    RegistryKey OpenApplicationKey() const;
    RegistryKey OpenSectionKey(const std::string& section) const;

private:
    std::string company_;
    std::string application_;
    bool enabled_ = false;
};
