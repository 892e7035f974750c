// The class objects, the module lock and the interface sets of the three controls.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"

namespace qern {

namespace {

// An outer object that only counts (never deleted: a wrong count shows as a failure, not a crash).
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

struct ControlClass {
    const CLSID* clsid;
    const IID* dual;
    const IID* events;  // with connection points and IRunnableObject
};

const ControlClass kControls[] = {
    {&CLSID_CamImage, &IID_ICamImage, &DIID__ICamImageEvents},
    {&CLSID_CImgCtrl, &IID_ICImgCtrl, nullptr},
    {&CLSID_CRec, &IID_ICRec, nullptr},
};

const IID* const kCommonInterfaces[] = {&IID_IDispatch,
                                        &IID_IViewObjectEx,
                                        &IID_IViewObject2,
                                        &IID_IViewObject,
                                        &IID_IOleInPlaceObjectWindowless,
                                        &IID_IOleInPlaceObject,
                                        &IID_IOleWindow,
                                        &IID_IOleInPlaceActiveObject,
                                        &IID_IOleControl,
                                        &IID_IOleObject,
                                        &IID_IPersistStreamInit,
                                        &IID_IPersist,
                                        &IID_ISpecifyPropertyPages,
                                        &IID_IQuickActivate,
                                        &IID_IPersistStorage,
                                        &IID_IDataObject,
                                        &IID_IProvideClassInfo,
                                        &IID_IProvideClassInfo2,
                                        &IID_IPersistPropertyBag,
                                        &IID_IObjectSafety};

}  // namespace

// Plain class objects, unloading only without objects or locks, one identity behind every
// interface, class information, and aggregation down to the live view's connection point.
TEST(ModuleTest, EachControlsFactoryInterfacesClassInfoAndAggregation) {
    CamControlDll::Get().EnsureRegistered();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CamControlDll::Get().GetClassObject(IID_IPersist, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    for (const ControlClass& c : kControls) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CamControlDll::Get().GetClassObject(*c.clsid, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IUnknown> object, licensed;
        EXPECT_EQ(factory.query(IID_IClassFactory2, licensed), E_NOINTERFACE);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
        factory->LockServer(TRUE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        factory->LockServer(FALSE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        for (const IID* iid : kCommonInterfaces) {
            ComPtr<IUnknown> itf, identity;
            ASSERT_EQ(object->QueryInterface(*iid, itf.put_void()), S_OK);
            ASSERT_EQ(itf->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
            EXPECT_EQ(identity.get(), object.get());
        }
        ComPtr<IUnknown> cpc, runnable, dual, dispatch;
        EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()),
                  c.events ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object->QueryInterface(IID_IRunnableObject, runnable.put_void()), c.events ? S_OK : E_NOINTERFACE);
        ASSERT_EQ(object->QueryInterface(*c.dual, dual.put_void()), S_OK);
        object->QueryInterface(IID_IDispatch, dispatch.put_void());
        EXPECT_EQ(dual.get(), dispatch.get());  // one vtable
        ComPtr<IProvideClassInfo2> info;
        ComPtr<ITypeInfo> coclass;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(object.query(IID_IProvideClassInfo2, info), S_OK);
        ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
        ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->typekind == TKIND_COCLASS && IsEqualGUID(attr->guid, *c.clsid));
        coclass->ReleaseTypeAttr(attr);
        GUID source{};
        EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), c.events ? S_OK : E_FAIL);
        EXPECT_TRUE(IsEqualGUID(source, c.events ? *c.events : GUID_NULL));
        object = cpc = runnable = dual = dispatch = nullptr;
        info = nullptr;
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);

        Outer outer;
        EXPECT_EQ(CamControlDll::Get().Create(*c.clsid, *c.dual, &out, &outer), CLASS_E_NOAGGREGATION);
        ComPtr<IUnknown> inner, innerAgain, controlling;
        ASSERT_EQ(CamControlDll::Get().Create(*c.clsid, IID_IUnknown, inner.put_void(), &outer), S_OK);
        EXPECT_EQ(outer.refs, 1u);  // creation does not touch the outer object
        ASSERT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.put_void()), S_OK);
        EXPECT_EQ(innerAgain.get(), inner.get());
        ASSERT_EQ(inner->QueryInterface(*c.dual, dispatch.put_void()), S_OK);
        EXPECT_EQ(outer.refs, 2u);
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, controlling.put_void()), S_OK);
        EXPECT_EQ(controlling.get(), &outer);
        if (c.events) {
            ComPtr<IConnectionPointContainer> container;
            ComPtr<IConnectionPoint> cp;
            ASSERT_EQ(inner->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
            ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, cp.put()), S_OK);
            ULONG before = outer.refs;
            ComPtr<IConnectionPoint> copy = cp;
            EXPECT_EQ(outer.refs, before + 1);
        }
        dispatch = controlling = innerAgain = nullptr;
        EXPECT_EQ(outer.refs, 1u);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        EXPECT_EQ(inner.detach()->Release(), 0u);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    }
}

// The version block that installers read (the toolbox bitmaps are in the registration test).
TEST(ModuleTest, VersionResource) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(CamControlDll::Get().Module(), path, MAX_PATH);
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path, 0, DWORD(block.size()), block.data()));
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
}

}  // namespace qern
