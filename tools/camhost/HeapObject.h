#pragma once
// The host's own COM objects live on the heap and delete themselves with their last reference;
// QueryInterface answers from a short list of the interfaces each one offers.
#include <windows.h>
#include <objbase.h>

#include <initializer_list>
#include <utility>

namespace camhost {

template <class... Interfaces>
class HeapObject : public Interfaces... {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // References held now: lets a test see that a fake it handed out was let go again.
    LONG References() const { return m_refs; }

protected:
    HeapObject() = default;
    virtual ~HeapObject() = default;

    // The first interface of the list answers IUnknown as well.
    HRESULT Answer(REFIID riid, void** ppv, std::initializer_list<std::pair<const IID*, IUnknown*>> offered) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        for (const auto& entry : offered) {
            if (IsEqualIID(riid, *entry.first) || (IsEqualIID(riid, IID_IUnknown) && &entry == offered.begin())) {
                entry.second->AddRef();
                *ppv = entry.second;
                return S_OK;
            }
        }
        return E_NOINTERFACE;
    }

private:
    LONG m_refs = 1;
};

}  // namespace camhost
