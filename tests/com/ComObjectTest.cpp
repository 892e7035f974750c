// What the controls cannot show: a failing FinalConstruct, FinalRelease and the edges of
// QueryInterface (identity, interface sets, aggregation and the module lock are in module_test).
#include <gtest/gtest.h>

#include "com/ComObject.h"

using qern::ComObject;

namespace {

class Widget : public qern::ObjectRoot, public IPersist {
public:
    static const qern::InterfaceEntry* InterfaceMap() {
        static const qern::InterfaceEntry map[] = {qern::MapEntry<Widget, IPersist>(IID_IPersist), {nullptr, 0}};
        return map;
    }
    HRESULT FinalConstruct() { return failConstruct ? E_OUTOFMEMORY : S_OK; }
    void FinalRelease() { ++finalReleases; }
    STDMETHODIMP GetClassID(CLSID* clsid) override { return *clsid = IID_IPersist, S_OK; }
    Widget() { ++alive; }
    ~Widget() override { --alive; }

    static inline int alive = 0, finalReleases = 0;
    static inline bool failConstruct = false;
};

}  // namespace

TEST(ComObject, FinalConstructFailureAndFinalReleaseLeaveNothingBehind) {
    const LONG locks = qern::ComModule::Get().LockCount();
    Widget::failConstruct = true;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(qern::ComModule::Get().LockCount(), locks);

    Widget::failConstruct = false;
    Widget::finalReleases = 0;
    IPersist* persist = nullptr;
    ASSERT_EQ(ComObject<Widget>::Create(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(qern::ComModule::Get().LockCount(), locks + 1);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IPersist, nullptr), E_POINTER);
    EXPECT_EQ(persist->AddRef(), 2u);
    EXPECT_EQ(persist->Release(), 1u);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(Widget::finalReleases, 1);
    EXPECT_EQ(qern::ComModule::Get().LockCount(), locks);
}
