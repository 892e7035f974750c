#pragma once
// Object root, interface maps and the most-derived wrapper that owns reference counting.
#include <objbase.h>

#include <cstddef>
#include <new>

#include "com/ComModule.h"

namespace qern {

// One row of an interface map: an IID and the offset of that interface in the object.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

// Offset of interface I inside T, reached through Via when I is an ambiguous base.
template <class T, class I, class Via = I>
InterfaceEntry MapEntry(const IID& iid) {
    T* object = reinterpret_cast<T*>(0x10000);
    I* itf = static_cast<I*>(static_cast<Via*>(object));
    return {&iid, reinterpret_cast<char*>(itf) - reinterpret_cast<char*>(object)};
}

// Scans a map terminated by a null iid; IUnknown answers with the first entry.
// The interface found is AddRef'd through itself.
HRESULT QueryFromMap(void* object, const InterfaceEntry* map, REFIID riid, void** ppv);

// State every object shares; the control classes derive from it and stay abstract.
class ObjectRoot {
public:
    ObjectRoot() = default;
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;
    virtual ~ObjectRoot() = default;

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

    // The outer unknown when aggregated, else the object's own IUnknown.
    virtual IUnknown* ControllingUnknown() = 0;
    // The object's own map lookup, never delegated to an outer object.
    virtual HRESULT InternalQueryInterface(REFIID riid, void** ppv) = 0;

protected:
    volatile LONG m_refs = 0;
    IUnknown* m_outer = nullptr;
};

// Most-derived wrapper: supplies IUnknown for every interface of Base, the module lock,
// and an inner unknown when the object is aggregated.
template <class Base>
class ComObject final : public Base {
public:
    // Creates a stand-alone object, or an aggregated one when outer is given
    // (then riid must be IUnknown and the inner unknown is returned).
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        ComObject* object = new (std::nothrow) ComObject(outer);
        if (!object) return E_OUTOFMEMORY;
        object->InnerAddRef();  // keeps the object alive through FinalConstruct
        HRESULT hr = object->FinalConstruct();
        if (SUCCEEDED(hr)) {
            if (outer) {
                *ppv = static_cast<IUnknown*>(&object->m_inner);
                object->InnerAddRef();
            } else {
                hr = object->InternalQueryInterface(riid, ppv);
            }
        }
        object->InnerRelease();  // deletes the object when nothing was handed out
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return this->m_outer ? this->m_outer->QueryInterface(riid, ppv) : InternalQueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return this->m_outer ? this->m_outer->AddRef() : InnerAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return this->m_outer ? this->m_outer->Release() : InnerRelease(); }

    IUnknown* ControllingUnknown() override {
        if (this->m_outer) return this->m_outer;
        // The map's first entry is the object's identity; no reference is kept.
        const InterfaceEntry* map = Base::InterfaceMap();
        return reinterpret_cast<IUnknown*>(reinterpret_cast<char*>(static_cast<Base*>(this)) + map[0].offset);
    }
    HRESULT InternalQueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (this->m_outer && IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(&m_inner);
            InnerAddRef();
            return S_OK;
        }
        return QueryFromMap(static_cast<Base*>(this), Base::InterfaceMap(), riid, ppv);
    }

private:
    explicit ComObject(IUnknown* outer) : m_inner(this) {
        this->m_outer = outer;
        ComModule::Get().Lock();
    }
    ~ComObject() override {
        this->FinalRelease();
        ComModule::Get().Unlock();
    }

    ULONG InnerAddRef() { return static_cast<ULONG>(InterlockedIncrement(&this->m_refs)); }
    ULONG InnerRelease() {
        LONG refs = InterlockedDecrement(&this->m_refs);
        if (refs == 0) {
            this->m_refs = 1;  // stray AddRef/Release pairs during destruction must not delete twice
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

    // The non-delegating unknown an aggregating object holds.
    struct Inner : IUnknown {
        explicit Inner(ComObject* o) : owner(o) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            return owner->InternalQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return owner->InnerAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner->InnerRelease(); }
        ComObject* owner;
    };
    Inner m_inner;
};

}  // namespace qern
