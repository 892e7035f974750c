// The class objects, the module lock and the interface sets of the three controls.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>

#include <vector>

#include "com/ComPtr.h"
#include "tests/com/CountingUnknown.h"
#include "tests/module/CamControlDll.h"

using qern::ComPtr;

namespace {

struct ControlClass {
    const CLSID* clsid;
    const IID* dual;
    bool connectionPoints;  // IConnectionPointContainer and IRunnableObject
};

const ControlClass kControls[] = {
    {&CLSID_CamImage, &IID_ICamImage, true},
    {&CLSID_CImgCtrl, &IID_ICImgCtrl, false},
    {&CLSID_CRec, &IID_ICRec, false},
};

std::vector<const IID*> CommonInterfaces() {
    return {&IID_IDispatch,        &IID_IViewObjectEx,         &IID_IViewObject2,
            &IID_IViewObject,      &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject,
            &IID_IOleWindow,       &IID_IOleInPlaceActiveObject, &IID_IOleControl,
            &IID_IOleObject,       &IID_IPersistStreamInit,    &IID_IPersist,
            &IID_ISpecifyPropertyPages, &IID_IQuickActivate,   &IID_IPersistStorage,
            &IID_IDataObject,      &IID_IProvideClassInfo,     &IID_IProvideClassInfo2,
            &IID_IPersistPropertyBag, &IID_IObjectSafety};
}

}  // namespace

TEST(ModuleTest, PlainFactoriesAndUnloadOnlyWithoutLiveObjectsOrLocks) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CamControlDll::Get().GetClassObject(IID_IPersist, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    for (const ControlClass& c : kControls) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CamControlDll::Get().GetClassObject(*c.clsid, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IUnknown> licensed, object;
        EXPECT_EQ(factory.query(IID_IClassFactory2, licensed), E_NOINTERFACE);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        object = nullptr;
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
        factory->LockServer(TRUE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        factory->LockServer(FALSE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    }
}

TEST(ModuleTest, EachControlAnswersItsInterfaceSetWithOneIdentity) {
    for (const ControlClass& c : kControls) {
        ComPtr<IUnknown> object;
        ASSERT_EQ(CamControlDll::Get().Create(*c.clsid, IID_IUnknown, object.put_void()), S_OK);
        std::vector<const IID*> iids = CommonInterfaces();
        iids.push_back(c.dual);
        for (const IID* iid : iids) {
            ComPtr<IUnknown> itf, identity;
            ASSERT_EQ(object->QueryInterface(*iid, itf.put_void()), S_OK);
            ASSERT_EQ(itf->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
            EXPECT_EQ(identity.get(), object.get());
        }
        ComPtr<IUnknown> cpc, runnable, other;
        EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()),
                  c.connectionPoints ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object->QueryInterface(IID_IRunnableObject, runnable.put_void()),
                  c.connectionPoints ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object->QueryInterface(IID_IClassFactory, other.put_void()), E_NOINTERFACE);
        // The dual interface and IDispatch are the same vtable.
        ComPtr<IUnknown> dual, dispatch;
        object->QueryInterface(*c.dual, dual.put_void());
        object->QueryInterface(IID_IDispatch, dispatch.put_void());
        EXPECT_EQ(dual.get(), dispatch.get());
    }
}

TEST(ModuleTest, EachControlAggregates) {
    for (const ControlClass& c : kControls) {
        CountingUnknown outer;
        void* out = nullptr;
        EXPECT_EQ(CamControlDll::Get().Create(*c.clsid, *c.dual, &out, &outer), CLASS_E_NOAGGREGATION);
        IUnknown* inner = nullptr;
        ASSERT_EQ(CamControlDll::Get().Create(*c.clsid, IID_IUnknown, reinterpret_cast<void**>(&inner), &outer), S_OK);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        EXPECT_EQ(outer.addRefs, 0);  // creation does not touch the outer object
        IUnknown* innerAgain = nullptr;  // the inner unknown answers IUnknown with itself
        ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
        EXPECT_EQ(innerAgain, inner);
        EXPECT_EQ(innerAgain->Release(), 1u);

        IDispatch* dispatch = nullptr;
        ASSERT_EQ(inner->QueryInterface(*c.dual, reinterpret_cast<void**>(&dispatch)), S_OK);
        EXPECT_EQ(outer.addRefs, 1);
        IUnknown* controlling = nullptr;
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&controlling)), S_OK);
        EXPECT_EQ(controlling, &outer);
        controlling->Release();
        dispatch->Release();
        EXPECT_EQ(outer.refs, 1);

        // The connection point of the live view also counts on the outer object.
        if (c.connectionPoints) {
            IConnectionPointContainer* cpc = nullptr;
            ASSERT_EQ(inner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
            IConnectionPoint* cp = nullptr;
            ASSERT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp), S_OK);
            int before = outer.addRefs;
            cp->AddRef();
            EXPECT_EQ(outer.addRefs, before + 1);
            cp->Release();
            cp->Release();
            cpc->Release();
            EXPECT_EQ(outer.refs, 1);
        }
        EXPECT_EQ(inner->Release(), 0u);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    }
}

TEST(ModuleTest, ResourcesOfTheModule) {
    HMODULE dll = CamControlDll::Get().Module();
    for (UINT id : {102u, 104u, 107u}) EXPECT_NE(FindResourceW(dll, MAKEINTRESOURCEW(id), L"REGISTRY"), nullptr) << id;
    EXPECT_NE(FindResourceW(dll, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
    wchar_t name[64] = {};
    ASSERT_GT(LoadStringW(dll, 100, name, 64), 0);
    EXPECT_STREQ(name, L"QERNCamControl");

    for (UINT id : {101u, 103u, 106u}) {
        HRSRC res = FindResourceW(dll, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_BITMAP));
        ASSERT_NE(res, nullptr) << id;
        auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(dll, res)));
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->biWidth, 16);
        EXPECT_EQ(info->biHeight, 16);
        EXPECT_EQ(info->biBitCount, 4);
    }

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(dll, path, MAX_PATH);
    DWORD handle = 0, size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010005u);
    struct Entry {
        const wchar_t* key;
        const wchar_t* value;
    } entries[] = {{L"FileVersion", L"1, 0, 1, 5"},
                   {L"ProductVersion", L"1, 0, 1, 5"},
                   {L"InternalName", L"QERNCamControl"},
                   {L"OriginalFilename", L"QERNCamControl.DLL"},
                   {L"FileDescription", L"QERNCamControl Module"},
                   {L"ProductName", L"QERNCamControl Module"},
                   {L"OLESelfRegister", L""}};
    for (const Entry& e : entries) {
        wchar_t* value = nullptr;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + e.key;
        ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &len)) << e.key;
        EXPECT_STREQ(value, e.value) << e.key;
    }
}

// A container finds the live view's event interface through its class information (the members
// themselves are reached by the JScript client).
TEST(ModuleTest, ClassInfoReportsTheDefaultSource) {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IProvideClassInfo2, info.put_void()), S_OK);
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID__ICamImageEvents));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_CamImage));
    coclass->ReleaseTypeAttr(attr);

    ComPtr<IProvideClassInfo2> rec;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CRec, IID_IProvideClassInfo2, rec.put_void()), S_OK);
    EXPECT_EQ(rec->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), E_FAIL);
    EXPECT_TRUE(IsEqualGUID(source, GUID_NULL));
}
