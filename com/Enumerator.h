#pragma once
// Snapshot enumerators (IEnumConnections, IEnumConnectionPoints, ...). Clones share the snapshot.
#include <objbase.h>

#include <memory>
#include <new>
#include <vector>

#include "com/ComModule.h"

namespace qern {

// Policy: static void Copy(Item& dst, const Item& src) takes a reference; Destroy(Item&) drops it.
template <class IEnum, const IID* piid, class Item, class Policy>
class VectorEnumerator final : public IEnum {
public:
    // Copies items (taking references) into a new enumerator.
    static HRESULT Create(const std::vector<Item>& items, IEnum** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::shared_ptr<Snapshot> snap(new (std::nothrow) Snapshot);
        if (!snap) return E_OUTOFMEMORY;
        snap->items.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) Policy::Copy(snap->items[i], items[i]);
        return Make(std::move(snap), 0, out);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, *piid)) {
            *ppv = static_cast<IEnum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG r = InterlockedDecrement(&m_refs);
        if (r == 0) delete this;
        return r;
    }

    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_snap->items.size()) Policy::Copy(out[n++], m_snap->items[m_pos++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = m_snap->items.size() - m_pos;
        if (count > left) {
            m_pos = m_snap->items.size();
            return S_FALSE;
        }
        m_pos += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override { return Make(m_snap, m_pos, out); }

private:
    struct Snapshot {
        std::vector<Item> items;
        ~Snapshot() {
            for (Item& i : items) Policy::Destroy(i);
        }
    };

    VectorEnumerator(std::shared_ptr<Snapshot> snap, size_t pos) : m_snap(std::move(snap)), m_pos(pos) {
        ComModule::Get().Lock();
    }
    ~VectorEnumerator() { ComModule::Get().Unlock(); }

    static HRESULT Make(std::shared_ptr<Snapshot> snap, size_t pos, IEnum** out) {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) VectorEnumerator(std::move(snap), pos);
        if (!*out) return E_OUTOFMEMORY;
        (*out)->AddRef();
        return S_OK;
    }

    volatile LONG m_refs = 0;
    std::shared_ptr<Snapshot> m_snap;
    size_t m_pos;
};

struct InterfacePointerPolicy {
    template <class T>
    static void Copy(T*& dst, T* const& src) {
        dst = src;
        if (dst) dst->AddRef();
    }
    template <class T>
    static void Destroy(T*& p) {
        if (p) p->Release();
        p = nullptr;
    }
};

struct ConnectDataPolicy {
    static void Copy(CONNECTDATA& dst, const CONNECTDATA& src) {
        dst = src;
        if (dst.pUnk) dst.pUnk->AddRef();
    }
    static void Destroy(CONNECTDATA& d) {
        if (d.pUnk) d.pUnk->Release();
        d.pUnk = nullptr;
    }
};

}  // namespace qern
