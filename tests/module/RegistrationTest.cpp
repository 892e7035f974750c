// Self-registration: exactly the keys of the three registrar scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/module/CamControlDll.h"

namespace qern {

namespace {

const wchar_t kLibId[] = L"{40DA1A22-6C0A-410D-B798-4FA43361E25E}";

// Insertable under CLSID\{clsid} and under the version-dependent ProgID.
struct ClassKeys {
    const wchar_t *clsid, *name, *progId;
    int bitmap;
    bool insertable, progIdInsertable;
};

const ClassKeys kClasses[] = {
    {L"{0ECC5CE6-AD8E-43E7-BD31-D56FEA73F75A}", L"CamImage Class", L"QERN.CamImage.1", 101, true, true},
    {L"{8BC8DE92-D31B-4CEF-AD11-A1CEE1A3EB36}", L"CImgCtrl Class", L"QERNCamControl.CImgCtrl.1", 103, true, false},
    {L"{F9A6C9FC-A97F-4817-B157-8A35609E7DA4}", L"CRec Class", L"QERNCamControl.CRec.1", 106, false, false},
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Lines "Key\Sub|name=data" for values ("@" is the default value) and "Key\Sub" for keys with neither
// values nor subkeys, which together give the whole tree, sorted; the type library's own keys
// (TypeLib, Interface) are left out, they are checked on their own.
std::vector<std::wstring> Dump(HKEY key, const std::wstring& path = L"") {
    std::vector<std::wstring> out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[1024];
        DWORD nameLen = 256, dataBytes = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes) !=
            ERROR_SUCCESS)
            break;
        std::wstring value = type == REG_SZ ? std::wstring(data, wcsnlen(data, dataBytes / 2)) : L"<non-string>";
        out.push_back(path + L"|" + (nameLen ? std::wstring(name) : L"@") + L"=" + value);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256;
        if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub;
        if (path.empty() && (!_wcsicmp(name, L"TypeLib") || !_wcsicmp(name, L"Interface"))) continue;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        std::vector<std::wstring> below = Dump(sub, path.empty() ? name : path + L"\\" + name);
        out.insert(out.end(), below.begin(), below.end());
        RegCloseKey(sub);
    }
    if (out.empty() && !path.empty()) out.push_back(path);
    return Sorted(out);
}

std::vector<std::wstring> ExpectedKeys(const std::wstring& module, std::vector<std::wstring> e) {
    for (const ClassKeys& c : kClasses) {
        std::wstring p = c.progId, ip = p.substr(0, p.size() - 2), k = std::wstring(L"CLSID\\") + c.clsid;
        e.insert(e.end(), {p + L"|@=" + c.name, p + L"\\CLSID|@=" + c.clsid, ip + L"|@=" + c.name,
                           ip + L"\\CLSID|@=" + c.clsid, ip + L"\\CurVer|@=" + p});
        if (c.progIdInsertable) e.push_back(p + L"\\Insertable");
        e.insert(e.end(),
                 {k + L"|@=" + c.name, k + L"\\ProgID|@=" + p, k + L"\\VersionIndependentProgID|@=" + ip,
                  k + L"\\Programmable", k + L"\\Control", k + L"\\InprocServer32|@=" + module,
                  k + L"\\InprocServer32|ThreadingModel=Apartment",
                  k + L"\\ToolboxBitmap32|@=" + module + L", " + std::to_wstring(c.bitmap), k + L"\\MiscStatus|@=0",
                  k + L"\\MiscStatus\\1|@=131473", k + L"\\TypeLib|@=" + kLibId, k + L"\\Version|@=1.0"});
        if (c.insertable) e.push_back(k + L"\\Insertable");
    }
    return Sorted(e);
}

// Creates the key (with an empty default value) or tells whether it is there.
bool KeyExists(HKEY root, const std::wstring& path, bool create = false) {
    LONG size = 0;
    return (create ? RegSetValueW(root, path.c_str(), REG_SZ, L"", 0)
                   : RegQueryValueW(root, path.c_str(), nullptr, &size)) == ERROR_SUCCESS;
}

}  // namespace

// What installers read. Against a private HKEY_CLASSES_ROOT: exactly the script keys (late binding
// through them is the JScript client's test); unregistration leaves foreign keys alone and is no
// error twice. The toolbox bitmaps and the version block are in the module.
TEST(Registration, ExactKeysIdempotentUnregistrationLeavesForeignKeysAndVersionBlock) {
    const std::wstring name = L"Software\\QernRegistrationTest\\" + std::to_wstring(GetCurrentProcessId());
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, root), ERROR_SUCCESS);
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(CamControlDll::Get().Module(), module, MAX_PATH);
    const std::wstring foreign = L"CLSID\\{11111111-2222-3333-4444-555555555555}";

    ASSERT_TRUE(KeyExists(root, foreign + L"\\InprocServer32", true));
    // Registering again drops a stale key: a class key is written as a whole.
    ASSERT_EQ(CamControlDll::Get().Register(), S_OK);
    ASSERT_TRUE(KeyExists(root, std::wstring(L"CLSID\\") + kClasses[0].clsid + L"\\Stale", true));
    ASSERT_EQ(CamControlDll::Get().Register(), S_OK);
    EXPECT_EQ(Dump(root), ExpectedKeys(module, {foreign + L"\\InprocServer32|@="}));
    EXPECT_TRUE(KeyExists(root, std::wstring(L"TypeLib\\") + kLibId + L"\\1.0"));
    EXPECT_TRUE(KeyExists(root, L"Interface\\{EE08BBC3-529B-45D2-B260-BC17C6F734B6}"));
    for (const ClassKeys& c : kClasses)
        EXPECT_TRUE(FindResourceW(CamControlDll::Get().Module(), MAKEINTRESOURCEW(c.bitmap),
                                  reinterpret_cast<LPCWSTR>(RT_BITMAP)))
            << c.bitmap;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(module, nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(module, 0, DWORD(block.size()), block.data()));
    const std::pair<const wchar_t*, const wchar_t*> entries[] = {
        {L"FileVersion", L"1, 0, 1, 5"}, {L"ProductName", L"QERNCamControl Module"}, {L"OLESelfRegister", L""}};
    for (const auto& e : entries) {
        wchar_t* value = nullptr;
        UINT len = 0;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + e.first;
        EXPECT_TRUE(VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) && value &&
                    std::wstring(value) == e.second)
            << e.first;
    }

    ASSERT_EQ(CamControlDll::Get().Unregister(), S_OK);
    EXPECT_EQ(CamControlDll::Get().Unregister(), S_OK);
    EXPECT_FALSE(KeyExists(root, std::wstring(L"TypeLib\\") + kLibId));
    EXPECT_EQ(Dump(root), std::vector<std::wstring>{foreign + L"\\InprocServer32|@="});

    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegCloseKey(root);
    RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());
}

}  // namespace qern
