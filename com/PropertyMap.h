#pragma once
// Persisted properties of a control: a bag name, a dispatch id and typed accessors that
// go through the control's own put/get members.
#include <oaidl.h>

namespace qern {

class ControlBase;

struct PropertyEntry {
    const wchar_t* name;
    DISPID dispid;
    VARTYPE vt;
    HRESULT (*get)(ControlBase* self, VARIANT* out);       // out receives an owned value of type vt
    HRESULT (*put)(ControlBase* self, const VARIANT& in);  // in is coerced to vt first
};

struct PropertyMap {
    const PropertyEntry* entries;
    size_t count;
};

// Builds entries for Derived whose accessors are members of its dual interface Itf.
template <class Derived, class Itf>
struct PropertyMapBuilder {
    static Itf* As(ControlBase* self) { return static_cast<Itf*>(static_cast<Derived*>(self)); }

    template <HRESULT (STDMETHODCALLTYPE Itf::*Get)(BSTR*), HRESULT (STDMETHODCALLTYPE Itf::*Put)(BSTR)>
    static PropertyEntry Text(const wchar_t* name, DISPID id) {
        return {name, id, VT_BSTR,
                [](ControlBase* self, VARIANT* out) -> HRESULT {
                    BSTR value = nullptr;
                    HRESULT hr = (As(self)->*Get)(&value);
                    if (FAILED(hr)) return hr;
                    V_VT(out) = VT_BSTR;
                    V_BSTR(out) = value;
                    return S_OK;
                },
                [](ControlBase* self, const VARIANT& in) -> HRESULT { return (As(self)->*Put)(V_BSTR(&in)); }};
    }

    template <HRESULT (STDMETHODCALLTYPE Itf::*Get)(LONG*), HRESULT (STDMETHODCALLTYPE Itf::*Put)(LONG)>
    static PropertyEntry Long(const wchar_t* name, DISPID id) {
        return {name, id, VT_I4,
                [](ControlBase* self, VARIANT* out) -> HRESULT {
                    LONG value = 0;
                    HRESULT hr = (As(self)->*Get)(&value);
                    if (FAILED(hr)) return hr;
                    V_VT(out) = VT_I4;
                    V_I4(out) = value;
                    return S_OK;
                },
                [](ControlBase* self, const VARIANT& in) -> HRESULT { return (As(self)->*Put)(V_I4(&in)); }};
    }

    template <HRESULT (STDMETHODCALLTYPE Itf::*Get)(VARIANT_BOOL*), HRESULT (STDMETHODCALLTYPE Itf::*Put)(VARIANT_BOOL)>
    static PropertyEntry Bool(const wchar_t* name, DISPID id) {
        return {name, id, VT_BOOL,
                [](ControlBase* self, VARIANT* out) -> HRESULT {
                    VARIANT_BOOL value = VARIANT_FALSE;
                    HRESULT hr = (As(self)->*Get)(&value);
                    if (FAILED(hr)) return hr;
                    V_VT(out) = VT_BOOL;
                    V_BOOL(out) = value;
                    return S_OK;
                },
                [](ControlBase* self, const VARIANT& in) -> HRESULT { return (As(self)->*Put)(V_BOOL(&in)); }};
    }
};

}  // namespace qern
