#include <gtest/gtest.h>
#include <oleidl.h>

#include "com/ClassFactory.h"
#include "com/ComObject.h"

using qern::ComObject;
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

// Aggregation of real objects is shown by every control in module_test.
TEST_F(ComObjectTest, CountsIdentityAndModuleLock) {
    IPersist* persist = nullptr;
    ASSERT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(Widget::alive, 1);
    EXPECT_EQ(Locks(), 1);
    EXPECT_EQ(persist->AddRef(), 2u);
    EXPECT_EQ(persist->Release(), 1u);

    IOleWindow* window = nullptr;  // reached through the derived interface
    ASSERT_EQ(persist->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    IUnknown *u1 = nullptr, *u2 = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1)), S_OK);
    ASSERT_EQ(window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2)), S_OK);
    EXPECT_EQ(u1, u2);
    EXPECT_EQ(static_cast<void*>(u1), static_cast<void*>(persist));  // first map entry
    u1->Release();
    u2->Release();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    EXPECT_EQ(window->Release(), 1u);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Widget::finalReleases, 1);
    EXPECT_EQ(Locks(), 0);
}

TEST_F(ComObjectTest, FailedConstructionDeletesTheObject) {
    Widget::failConstruct = true;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Locks(), 0);
}

TEST_F(ComObjectTest, ClassFactoryLocksTheServer) {
    qern::ClassFactory factory(&ComObject<Widget>::Create);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IPersist, nullptr), E_POINTER);
    EXPECT_EQ(factory.LockServer(TRUE), S_OK);
    EXPECT_EQ(Locks(), 1);
    EXPECT_EQ(factory.LockServer(FALSE), S_OK);
    EXPECT_EQ(Locks(), 0);
}
