// What the controls cannot show: a failing FinalConstruct, FinalRelease, QueryInterface's edges.
#include <gtest/gtest.h>

#include "com/ComObject.h"

namespace qern {

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
    static inline bool failConstruct = true;
};

}  // namespace

TEST(ComObject, FinalConstructFailureAndFinalReleaseLeaveNothingBehind) {
    const LONG locks = qern::ComModule::Get().LockCount();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(qern::ComObject<Widget>::Create(nullptr, IID_IPersist, &out), E_OUTOFMEMORY);
    EXPECT_TRUE(out == nullptr && Widget::alive == 0 && qern::ComModule::Get().LockCount() == locks);
    Widget::failConstruct = false;
    IPersist* persist = nullptr;
    ASSERT_EQ(qern::ComObject<Widget>::Create(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(persist->QueryInterface(IID_IPersist, nullptr), E_POINTER);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_TRUE(out == nullptr && Widget::alive == 0 && Widget::finalReleases == 2);  // the failed one's too
    EXPECT_EQ(qern::ComModule::Get().LockCount(), locks);
}

}  // namespace qern
