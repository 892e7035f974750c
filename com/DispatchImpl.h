#pragma once
// IDispatch of a dual interface, served from the registered type library.
#include <oaidl.h>

#include "com/ComModule.h"
#include "com/ComPtr.h"

namespace qern {

template <class Interface, const IID* piid>
class DispatchImpl : public Interface {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return ComModule::Get().GetTypeInfo(*piid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        HRESULT hr = ComModule::Get().GetTypeInfo(*piid, info.put());
        return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        HRESULT hr = ComModule::Get().GetTypeInfo(*piid, info.put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<Interface*>(this), id, flags, params, result, excep, argErr);
    }
};

}  // namespace qern
