#include <gtest/gtest.h>
#include <oleidl.h>

#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "tests/com/CountingUnknown.h"

using qern::ComObject;
using qern::ComPtr;
using qern::InterfaceEntry;
using qern::MapEntry;

namespace {

// Two interfaces, one of them reached through a derived interface, to exercise the map.
class Widget : public qern::ObjectRoot, public IPersist, public IOleInPlaceObject {
public:
    static const InterfaceEntry* InterfaceMap() {
        static const InterfaceEntry map[] = {
            MapEntry<Widget, IPersist>(IID_IPersist),
            MapEntry<Widget, IOleInPlaceObject>(IID_IOleInPlaceObject),
            MapEntry<Widget, IOleWindow, IOleInPlaceObject>(IID_IOleWindow),
            {nullptr, 0},
        };
        return map;
    }
    HRESULT FinalConstruct() { return failConstruct ? E_OUTOFMEMORY : S_OK; }
    void FinalRelease() { ++finalReleases; }

    STDMETHODIMP GetClassID(CLSID* clsid) override {
        *clsid = IID_IPersist;
        return S_OK;
    }
    STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return S_OK; }

    Widget() { ++alive; }
    ~Widget() override { --alive; }

    static int alive;
    static int finalReleases;
    static bool failConstruct;
};
int Widget::alive = 0;
int Widget::finalReleases = 0;
bool Widget::failConstruct = false;

class ComObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        Widget::alive = 0;
        Widget::finalReleases = 0;
        Widget::failConstruct = false;
        baseLocks = qern::ComModule::Get().LockCount();
    }
    LONG Locks() const { return qern::ComModule::Get().LockCount() - baseLocks; }
    LONG baseLocks = 0;
};

}  // namespace

TEST_F(ComObjectTest, StandAloneObjectCountsAndLocksTheModule) {
    IPersist* persist = nullptr;
    ASSERT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(Widget::alive, 1);
    EXPECT_EQ(Locks(), 1);
    EXPECT_EQ(persist->AddRef(), 2u);
    EXPECT_EQ(persist->Release(), 1u);

    IOleWindow* window = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    EXPECT_EQ(window->Release(), 1u);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Widget::finalReleases, 1);
    EXPECT_EQ(Locks(), 0);
}

TEST_F(ComObjectTest, IdentityAndUnknownInterfaces) {
    ComPtr<IPersist> persist;
    ASSERT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, persist.put_void()), S_OK);
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(persist.query(IID_IOleInPlaceObject, inplace), S_OK);
    ComPtr<IUnknown> u1, u2;
    ASSERT_EQ(persist.query(IID_IUnknown, u1), S_OK);
    ASSERT_EQ(inplace.query(IID_IUnknown, u2), S_OK);
    EXPECT_EQ(u1.get(), u2.get());
    EXPECT_EQ(static_cast<void*>(u1.get()), static_cast<void*>(persist.get()));  // first map entry

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IPersist, nullptr), E_POINTER);
}

TEST_F(ComObjectTest, FailedConstructionDeletesTheObject) {
    Widget::failConstruct = true;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Locks(), 0);
}

TEST_F(ComObjectTest, AggregationDelegatesToTheOuterUnknown) {
    CountingUnknown outer;
    void* out = nullptr;
    EXPECT_EQ(ComObject<Widget>::Create(&outer, IID_IPersist, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(Widget::alive, 0);

    IUnknown* inner = nullptr;
    ASSERT_EQ(ComObject<Widget>::Create(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(outer.addRefs, 0);  // creation does not touch the outer object
    EXPECT_EQ(Locks(), 1);

    IPersist* persist = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(outer.addRefs, 1);  // the reference handed out counts on the outer object
    persist->AddRef();
    persist->Release();
    EXPECT_EQ(outer.addRefs, 2);
    EXPECT_EQ(outer.releases, 1);

    // Queries through an interface go to the outer object, which here knows only IUnknown.
    IUnknown* viaOuter = nullptr;
    EXPECT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaOuter)), S_OK);
    EXPECT_EQ(viaOuter, &outer);
    EXPECT_EQ(outer.queries, 1);
    viaOuter->Release();
    persist->Release();

    // The inner unknown answers IUnknown with itself.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, inner);
    EXPECT_EQ(innerAgain->Release(), 1u);

    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Locks(), 0);
}

TEST_F(ComObjectTest, ClassFactoryCreatesAndLocksTheServer) {
    qern::ClassFactory factory(&ComObject<Widget>::Create);
    ComPtr<IPersist> persist;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID_IPersist, persist.put_void()), S_OK);
    EXPECT_EQ(Widget::alive, 1);
    persist = nullptr;
    EXPECT_EQ(Widget::alive, 0);

    CountingUnknown outer;
    ComPtr<IUnknown> inner;
    ASSERT_EQ(factory.CreateInstance(&outer, IID_IUnknown, inner.put_void()), S_OK);
    EXPECT_EQ(Widget::alive, 1);
    inner = nullptr;

    EXPECT_EQ(factory.LockServer(TRUE), S_OK);
    EXPECT_EQ(Locks(), 1);
    EXPECT_EQ(factory.LockServer(FALSE), S_OK);
    EXPECT_EQ(Locks(), 0);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IPersist, nullptr), E_POINTER);
}
