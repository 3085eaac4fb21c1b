#include "platform/win32/registry_profile.h"

#include <cstring>
#include <vector>

RegistryKey CreateRegistryKey(HKEY parent, const std::string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (!parent) return RegistryKey();
    if (RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

void RegistryProfile::SetKeys(std::string companyKey, std::string applicationName) {
    company_ = std::move(companyKey);
    application_ = std::move(applicationName);
    enabled_ = true;
}

RegistryKey RegistryProfile::OpenApplicationKey() const {
    if (!enabled_ || application_.empty()) return RegistryKey();
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ | KEY_WRITE, &software) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    RegistryKey softwareKey(software);
    RegistryKey companyKey = CreateRegistryKey(softwareKey.get(), company_);
    return CreateRegistryKey(companyKey.get(), application_);
}

RegistryKey RegistryProfile::OpenSectionKey(const std::string& section) const {
    RegistryKey app = OpenApplicationKey();
    return CreateRegistryKey(app.get(), section);
}

std::string RegistryProfile::GetProfileString(const std::string& section, const std::string& entry,
                                              const std::string& defaultValue) {
    RegistryKey key = OpenSectionKey(section);
    if (!key) return defaultValue;

    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return defaultValue;
    }
    // The stored bytes need not end in a NUL; read into a buffer one larger
    // and take the text up to the first NUL, as the framework's string does.
    std::vector<char> buffer(size + 1, '\0');
    DWORD read = size;
    if (RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &read) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return defaultValue;
    }
    if (read > size) read = size;
    buffer[read] = '\0';
    return std::string(buffer.data(), std::strlen(buffer.data()));
}

bool RegistryProfile::WriteProfileString(const std::string& section, const std::string& entry,
                                         const std::string& value) {
    RegistryKey key = OpenSectionKey(section);
    if (!key) return false;
    // A value cannot hold a NUL: it would end the text when read back.
    if (value.find('\0') != std::string::npos) return false;
    return RegSetValueExA(key.get(), entry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}
