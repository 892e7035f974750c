// Registrar scripts applied to a private copy of HKEY_CLASSES_ROOT.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "com/RegScript.h"
#include "com/Registrar.h"

namespace {

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_name = L"Software\\QernRegistrarTest\\" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_root,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, m_root), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(m_root);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_name.c_str());
    }
    HRESULT Apply(const wchar_t* text, bool registerMode) {
        qern::RegScript script;
        std::string error;
        EXPECT_TRUE(qern::ParseRegScript(text, script, error)) << error;
        return qern::ApplyRegScript(script, registerMode);
    }
    bool Exists(const wchar_t* path) {
        HKEY k;
        if (RegOpenKeyExW(m_root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        RegCloseKey(k);
        return true;
    }
    std::wstring Value(const wchar_t* path, const wchar_t* name) {
        wchar_t data[256] = {};
        DWORD bytes = sizeof(data);
        if (RegGetValueW(m_root, path, name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS) return L"<none>";
        return data;
    }
    DWORD Number(const wchar_t* path, const wchar_t* name) {
        DWORD v = 0, bytes = sizeof(v);
        RegGetValueW(m_root, path, name, RRF_RT_REG_DWORD, nullptr, &v, &bytes);
        return v;
    }

    std::wstring m_name;
    HKEY m_root = nullptr;
};

const wchar_t kScript[] =
    L"HKCR {\n"
    L"  'Test.Prog' = s 'Test Class' { CLSID = s '{1}' }\n"
    L"  NoRemove Shared {\n"
    L"    ForceRemove Mine = s 'mine' { val Flags = d 7  Sub }\n"
    L"    Delete Obsolete\n"
    L"    val Counter = d 3\n"
    L"  }\n"
    L"}\n";

}  // namespace

TEST_F(RegistrarTest, RegisterCreatesKeysValuesAndRemovesMarkedOnes) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(m_root, L"Shared\\Obsolete\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(RegCreateKeyExW(m_root, L"Shared\\Mine\\Stale", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);

    ASSERT_EQ(Apply(kScript, true), S_OK);
    EXPECT_EQ(Value(L"Test.Prog", nullptr), L"Test Class");
    EXPECT_EQ(Value(L"Test.Prog\\CLSID", nullptr), L"{1}");
    EXPECT_EQ(Value(L"Shared\\Mine", nullptr), L"mine");
    EXPECT_EQ(Number(L"Shared\\Mine", L"Flags"), 7u);
    EXPECT_EQ(Number(L"Shared", L"Counter"), 3u);
    EXPECT_TRUE(Exists(L"Shared\\Mine\\Sub"));
    EXPECT_FALSE(Exists(L"Shared\\Mine\\Stale"));  // ForceRemove rewrites the key as a whole
    EXPECT_FALSE(Exists(L"Shared\\Obsolete"));     // Delete removes it
}

TEST_F(RegistrarTest, UnregisterKeepsNoRemoveKeysAndTheirOtherChildren) {
    ASSERT_EQ(Apply(kScript, true), S_OK);
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(m_root, L"Shared\\Foreign", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(Apply(kScript, false), S_OK);
    EXPECT_FALSE(Exists(L"Test.Prog"));
    EXPECT_FALSE(Exists(L"Shared\\Mine"));
    EXPECT_TRUE(Exists(L"Shared"));
    EXPECT_TRUE(Exists(L"Shared\\Foreign"));
    EXPECT_EQ(Number(L"Shared", L"Counter"), 0u);  // the script's value under a kept key goes
    // Unregistering again finds nothing to remove and is not an error.
    EXPECT_EQ(Apply(kScript, false), S_OK);
}

TEST_F(RegistrarTest, UnknownHiveIsRefused) {
    EXPECT_EQ(Apply(L"HKXX { A }", true), E_INVALIDARG);
}
