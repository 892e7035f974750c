#include <gtest/gtest.h>

#include "com/ComPtr.h"
#include "tests/com/CountingUnknown.h"

using qern::ComPtr;

// query() only forwards to QueryInterface; every control test goes through it.

TEST(ComPtr, ConstructionTakesAReferenceAttachDoesNot) {
    CountingUnknown u;
    {
        ComPtr<IUnknown> p(&u);
        EXPECT_EQ(u.refs, 2);
        ComPtr<IUnknown> q = ComPtr<IUnknown>::attach(&u);
        EXPECT_EQ(u.refs, 2);
        EXPECT_EQ(u.addRefs, 1);
    }
    EXPECT_EQ(u.refs, 0);
    EXPECT_EQ(u.releases, 2);
}

TEST(ComPtr, CopyAddsMoveTransfers) {
    CountingUnknown u;
    ComPtr<IUnknown> a(&u);
    ComPtr<IUnknown> b = a;
    EXPECT_EQ(u.refs, 3);
    ComPtr<IUnknown> c = std::move(a);
    EXPECT_EQ(u.refs, 3);
    EXPECT_FALSE(a);
    b = c;  // same object: net zero
    EXPECT_EQ(u.refs, 3);
    b = nullptr;
    EXPECT_EQ(u.refs, 2);
    c = std::move(c);  // self-move keeps the reference
    EXPECT_EQ(u.refs, 2);
    EXPECT_TRUE(c);
}

TEST(ComPtr, PutReleasesBeforeHandingOutTheAddress) {
    CountingUnknown first, second;
    ComPtr<IUnknown> p(&first);
    IUnknown** slot = p.put();
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(*slot, nullptr);
    *slot = &second;  // as an out-parameter would, already AddRef'd by the callee
    second.AddRef();
    EXPECT_EQ(p.get(), &second);
    p.reset();
    EXPECT_EQ(second.refs, 1);
}

TEST(ComPtr, DetachAndCopyTo) {
    CountingUnknown u;
    ComPtr<IUnknown> p(&u);
    IUnknown* out = nullptr;
    EXPECT_EQ(p.copy_to(&out), S_OK);
    EXPECT_EQ(out, &u);
    EXPECT_EQ(u.refs, 3);
    EXPECT_EQ(p.copy_to(nullptr), E_POINTER);
    IUnknown* raw = p.detach();
    EXPECT_FALSE(p);
    EXPECT_EQ(u.refs, 3);
    raw->Release();
    out->Release();
    EXPECT_EQ(u.refs, 1);
}
