// The registry profile against the real registry (Wine's, in the test prefix),
// under an application name of its own so that no real profile is touched.

#include "platform/win32/registry_profile.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/framework.h"

namespace {

const char kTestApp[] = "ScorvaneProfileTest";

class RegistryProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string app = std::string("Software\\") + kTestApp;
        RegDeleteKeyA(HKEY_CURRENT_USER, (app + "\\Settings").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, (app + "\\Other").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app.c_str());
    }
    void TearDown() override { SetUp(); }

    // Writes a value of any type behind the profile's back.
    static void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string("Software\\") + kTestApp + "\\Settings").c_str(),
                                  0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(RegistryProfileTest, EmptyCompanyPutsTheApplicationKeyUnderSoftware) {
    RegistryProfile profile("", kTestApp);
    EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "ger");
    ASSERT_TRUE(profile.WriteProfileString("Settings", "Championship", "usa"));
    EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "usa");

    // Exactly HKEY_CURRENT_USER\Software\<application>\Settings, a string value.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string("Software\\") + kTestApp + "\\Settings").c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char value[16] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Championship", nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(value, "usa");

    // Another section is another subkey; a rewrite replaces the value.
    ASSERT_TRUE(profile.WriteProfileString("Other", "Championship", "eng"));
    ASSERT_TRUE(profile.WriteProfileString("Settings", "Championship", ""));
    EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "");
    EXPECT_EQ(profile.GetProfileString("Other", "Championship", "ger"), "eng");
}

TEST_F(RegistryProfileTest, OnlyStringValuesAreRead) {
    RegistryProfile profile("", kTestApp);
    const DWORD number = 7;
    SetRaw("Number", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(profile.GetProfileString("Settings", "Number", "dflt"), "dflt");

    // Stored without its terminating NUL: read exactly, nothing beyond it.
    SetRaw("Bare", REG_SZ, "fra", 3);
    EXPECT_EQ(profile.GetProfileString("Settings", "Bare", "dflt"), "fra");
    // Text after an embedded NUL is not part of the value.
    SetRaw("Embedded", REG_SZ, "ab\0cd", 6);
    EXPECT_EQ(profile.GetProfileString("Settings", "Embedded", "dflt"), "ab");
    // An empty stored value is a value, not a missing one.
    SetRaw("Empty", REG_SZ, "", 1);
    EXPECT_EQ(profile.GetProfileString("Settings", "Empty", "dflt"), "");
}

TEST_F(RegistryProfileTest, NoProfileBeforeARegistryKeyIsSet) {
    RegistryProfile profile;
    EXPECT_FALSE(profile.IsEnabled());
    EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "ger");
    EXPECT_FALSE(profile.WriteProfileString("Settings", "Championship", "usa"));
    // A value holding a NUL cannot be stored faithfully: refused.
    RegistryProfile enabled("", kTestApp);
    EXPECT_FALSE(enabled.WriteProfileString("Settings", "Championship", std::string("us\0a", 4)));
    EXPECT_EQ(enabled.GetProfileString("Settings", "Championship", "ger"), "ger");
}

TEST_F(RegistryProfileTest, ApplicationIsNamedAfterTheExecutable) {
    CWinApp app;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    app.SetCurrentHandles(GetModuleHandleA(nullptr), path, SW_SHOW);
    // win32_layer_tests.exe, without directory and extension.
    EXPECT_EQ(app.m_pszExeName, "win32_layer_tests");
    EXPECT_EQ(app.m_pszAppName, "win32_layer_tests");
    EXPECT_STREQ(app.m_lpCmdLine, path);

    // Before SetRegistryKey there is no profile; after it, the profile key
    // carries the application name.
    EXPECT_EQ(app.GetProfileString("Settings", "Championship", "ger"), "ger");
    EXPECT_FALSE(app.WriteProfileString("Settings", "Championship", "x"));

    CWinApp named(kTestApp);
    named.SetCurrentHandles(GetModuleHandleA(nullptr), path, SW_SHOW);
    EXPECT_EQ(named.m_pszAppName, kTestApp);
    named.SetRegistryKey("");
    EXPECT_EQ(named.m_pszProfileName, kTestApp);
    ASSERT_TRUE(named.WriteProfileString("Settings", "Championship", "bra"));
    EXPECT_EQ(RegistryProfile("", kTestApp).GetProfileString("Settings", "Championship", "ger"), "bra");
}

}  // namespace
