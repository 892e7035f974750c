#include <gtest/gtest.h>

#include "com/ComPtr.h"
#include "tests/com/CountingUnknown.h"

using qern::ComPtr;

// query() only forwards to QueryInterface; every control test goes through it.
TEST(ComPtr, EveryWayInAndOutKeepsTheCountExact) {
    CountingUnknown u, other;
    {
        ComPtr<IUnknown> p(&u);  // takes a reference, attach() does not
        ComPtr<IUnknown> q = ComPtr<IUnknown>::attach(&u);
        EXPECT_EQ(u.refs, 2);
        ComPtr<IUnknown> b = p;
        ComPtr<IUnknown> c = std::move(p);
        EXPECT_EQ(u.refs, 3);
        EXPECT_FALSE(p);
        b = c;  // same object: net zero
        c = std::move(c);  // self-move keeps the reference
        EXPECT_EQ(u.refs, 3);
        EXPECT_TRUE(c);
        IUnknown* out = nullptr;
        EXPECT_EQ(c.copy_to(&out), S_OK);
        EXPECT_EQ(c.copy_to(nullptr), E_POINTER);
        EXPECT_EQ(out, &u);
        out->Release();
        IUnknown** slot = b.put();  // releases before handing out the address
        EXPECT_EQ(*slot, nullptr);
        EXPECT_EQ(u.refs, 2);
        *slot = &other;  // as an out-parameter would, already AddRef'd by the callee
        EXPECT_EQ(b.get(), &other);
        IUnknown* raw = c.detach();
        EXPECT_FALSE(c);
        EXPECT_EQ(raw, &u);
        raw->Release();
    }
    EXPECT_EQ(u.refs, 0);
    EXPECT_EQ(other.refs, 0);
}
