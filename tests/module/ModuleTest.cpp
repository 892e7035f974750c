// The class objects, the module lock and the interface sets of the three controls.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>

#include <tuple>

#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"

namespace qern {

namespace {

// An outer object that only counts (never deleted: a wrong count shows as a failure, not a crash).
struct Outer : IUnknown {
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

// Class, dual interface, and the events of the one with connection points and IRunnableObject.
const std::tuple<const CLSID*, const IID*, const IID*> kControls[] = {
    {&CLSID_CamImage, &IID_ICamImage, &DIID__ICamImageEvents},
    {&CLSID_CImgCtrl, &IID_ICImgCtrl, nullptr},
    {&CLSID_CRec, &IID_ICRec, nullptr},
};

// The interfaces every control has, by family: automation, view, in place, persistence, information.
const IID* const kCommonInterfaces[][4] = {
    {&IID_IDispatch, &IID_IOleControl, &IID_IOleObject, &IID_IQuickActivate},
    {&IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject, &IID_IDataObject},
    {&IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow, &IID_IOleInPlaceActiveObject},
    {&IID_IPersistStreamInit, &IID_IPersist, &IID_IPersistStorage, &IID_IPersistPropertyBag},
    {&IID_ISpecifyPropertyPages, &IID_IProvideClassInfo, &IID_IProvideClassInfo2, &IID_IObjectSafety},
};

}  // namespace

// Plain class objects, unloading only without objects or locks, one identity behind every
// interface, class information, and aggregation down to the live view's connection point.
TEST(ModuleTest, EachControlsFactoryInterfacesClassInfoAndAggregation) {
    CamControlDll::Get().EnsureRegistered();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CamControlDll::Get().GetClassObject(IID_IPersist, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
    for (auto [clsid, iid, events] : kControls) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CamControlDll::Get().GetClassObject(*clsid, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IUnknown> object, licensed;
        EXPECT_EQ(factory.query(IID_IClassFactory2, licensed), E_NOINTERFACE);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
        factory->LockServer(TRUE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        factory->LockServer(FALSE);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_FALSE);
        for (const auto& family : kCommonInterfaces) {
            for (const IID* common : family) {
                ComPtr<IUnknown> itf, identity;
                ASSERT_EQ(object->QueryInterface(*common, itf.put_void()), S_OK);
                ASSERT_EQ(itf->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
                EXPECT_EQ(identity.get(), object.get());
            }
        }
        ComPtr<IUnknown> cpc, runnable, dual, dispatch;
        EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()), events ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object->QueryInterface(IID_IRunnableObject, runnable.put_void()), events ? S_OK : E_NOINTERFACE);
        ASSERT_EQ(object->QueryInterface(*iid, dual.put_void()), S_OK);
        object->QueryInterface(IID_IDispatch, dispatch.put_void());
        EXPECT_EQ(dual.get(), dispatch.get());  // one vtable
        ComPtr<IProvideClassInfo2> info;
        ComPtr<ITypeInfo> coclass;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(object.query(IID_IProvideClassInfo2, info), S_OK);
        ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
        ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->typekind == TKIND_COCLASS && IsEqualGUID(attr->guid, *clsid));
        coclass->ReleaseTypeAttr(attr);
        GUID source{};
        EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), events ? S_OK : E_FAIL);
        EXPECT_TRUE(IsEqualGUID(source, events ? *events : GUID_NULL));
        object = cpc = runnable = dual = dispatch = nullptr;
        info = nullptr;
        EXPECT_EQ(CamControlDll::Get().CanUnloadNow(), S_OK);

        Outer outer;
        EXPECT_EQ(CamControlDll::Get().Create(*clsid, *iid, &out, &outer), CLASS_E_NOAGGREGATION);
        ComPtr<IUnknown> inner, innerAgain, controlling;
        ASSERT_EQ(CamControlDll::Get().Create(*clsid, IID_IUnknown, inner.put_void(), &outer), S_OK);
        EXPECT_EQ(outer.refs, 1u);  // creation does not touch the outer object
        ASSERT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.put_void()), S_OK);
        EXPECT_EQ(innerAgain.get(), inner.get());
        ASSERT_EQ(inner->QueryInterface(*iid, dispatch.put_void()), S_OK);
        EXPECT_EQ(outer.refs, 2u);
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, controlling.put_void()), S_OK);
        EXPECT_EQ(controlling.get(), &outer);
        if (events) {
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

}  // namespace qern
