#include "com/ControlBase.h"

#include "com/Enumerator.h"

namespace qern {

const wchar_t ControlBase::kWindowClass[] = L"QernControlWindow";

ControlBase::ControlBase() : m_notify(*this) {}

ControlBase::~ControlBase() { DestroyControlWindow(); }

// --- IOleObject

STDMETHODIMP ControlBase::SetClientSite(IOleClientSite* site) {
    m_clientSite = ComPtr<IOleClientSite>(site);
    return S_OK;
}

STDMETHODIMP ControlBase::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return m_clientSite.copy_to(site);
}

STDMETHODIMP ControlBase::Close(DWORD saveOption) {
    InPlaceDeactivate();
    if (m_dirty && m_clientSite && (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE)) {
        m_clientSite->SaveObject();
    }
    if (m_oleAdvise) m_oleAdvise->SendOnClose();
    return S_OK;
}

STDMETHODIMP ControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT pos) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return InPlaceActivate(verb, pos);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
            return S_OK;
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE:
        case OLEIVERB_PROPERTIES:  // no property pages to show
            return S_OK;
        default:
            return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP ControlBase::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(ClassId(), verbs);
}

STDMETHODIMP ControlBase::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP ControlBase::GetUserType(DWORD form, LPOLESTR* name) {
    if (!name) return E_POINTER;
    return OleRegGetUserType(ClassId(), form, name);
}

STDMETHODIMP ControlBase::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    if (size->cx != m_extent.cx || size->cy != m_extent.cy) {
        m_extent = *size;
        m_dirty = true;
    }
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = m_extent;
    return S_OK;
}

STDMETHODIMP ControlBase::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!m_oleAdvise) {
        HRESULT hr = CreateOleAdviseHolder(m_oleAdvise.put());
        if (FAILED(hr)) return hr;
    }
    return m_oleAdvise->Advise(sink, cookie);
}

STDMETHODIMP ControlBase::Unadvise(DWORD cookie) {
    if (!m_oleAdvise) return OLE_E_NOCONNECTION;
    return m_oleAdvise->Unadvise(cookie);
}

STDMETHODIMP ControlBase::EnumAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_oleAdvise) return E_FAIL;
    return m_oleAdvise->EnumAdvise(out);
}

STDMETHODIMP ControlBase::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    if (FAILED(OleRegGetMiscStatus(ClassId(), aspect, status))) *status = kMiscStatus;  // not registered yet
    return S_OK;
}

// --- IOleControl

STDMETHODIMP ControlBase::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++m_freezeEvents;
    else if (m_freezeEvents > 0)
        --m_freezeEvents;
    return S_OK;
}

// --- IPersist

STDMETHODIMP ControlBase::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = ClassId();
    return S_OK;
}

// --- IConnectionPointContainer

STDMETHODIMP ControlBase::EnumConnectionPoints(IEnumConnectionPoints** out) {
    std::vector<IConnectionPoint*> points{&m_notify};
    return VectorEnumerator<IEnumConnectionPoints, &IID_IEnumConnectionPoints, IConnectionPoint*,
                            InterfacePointerPolicy>::Create(points, out);
}

STDMETHODIMP ControlBase::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IPropertyNotifySink)) return CONNECT_E_NOCONNECTION;
    *out = &m_notify;
    m_notify.AddRef();
    return S_OK;
}

// --- ISpecifyPropertyPages

STDMETHODIMP ControlBase::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

// --- IQuickActivate

STDMETHODIMP ControlBase::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);

    DWORD cookie = 0;
    ComPtr<IConnectionPointContainer> cpc;
    if (container->pPropertyNotifySink &&
        SUCCEEDED(InternalQueryInterface(IID_IConnectionPointContainer, cpc.put_void())))
        m_notify.Advise(container->pPropertyNotifySink, &cookie);

    GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
    GetViewStatus(&control->dwViewStatus);
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = cookie;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

// --- IProvideClassInfo2

STDMETHODIMP ControlBase::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    return ComModule::Get().GetTypeInfo(ClassId(), info);
}

STDMETHODIMP ControlBase::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID && DefaultSourceIid()) {
        *guid = *DefaultSourceIid();
        return S_OK;
    }
    *guid = GUID_NULL;
    return E_FAIL;
}

// --- IObjectSafety

STDMETHODIMP ControlBase::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_FAIL;
    ComPtr<IUnknown> probe;
    if (FAILED(InternalQueryInterface(riid, probe.put_void()))) return E_NOINTERFACE;
    probe = nullptr;
    if (IsEqualIID(riid, IID_IDispatch)) {
        *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        *enabled = m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IPersistStreamInit) || IsEqualIID(riid, IID_IPersistStorage)) {
        *supported = INTERFACESAFE_FOR_UNTRUSTED_DATA;
        *enabled = m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_DATA;
        return S_OK;
    }
    *supported = 0;
    *enabled = 0;
    return E_FAIL;
}

STDMETHODIMP ControlBase::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    if (mask == 0 && enabled == 0) return E_FAIL;
    ComPtr<IUnknown> probe;
    if (FAILED(InternalQueryInterface(riid, probe.put_void()))) return E_NOINTERFACE;
    probe = nullptr;
    m_safetyOptions |= mask & enabled;  // options are only ever added
    if (IsEqualIID(riid, IID_IDispatch)) return (m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_CALLER) ? S_OK : E_FAIL;
    if (IsEqualIID(riid, IID_IPersistStreamInit) || IsEqualIID(riid, IID_IPersistStorage) ||
        IsEqualIID(riid, IID_IPersistPropertyBag))
        return (m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_DATA) ? S_OK : E_FAIL;
    return E_FAIL;
}

// --- Stock properties

HRESULT ControlBase::PutStockAutoSize(VARIANT_BOOL value) {
    return ChangeProperty(DISPID_AUTOSIZE, [&] { m_autoSize = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT ControlBase::GetStockAutoSize(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = m_autoSize;
    return S_OK;
}

HRESULT ControlBase::PutStockEnabled(VARIANT_BOOL value) {
    return ChangeProperty(DISPID_ENABLED, [&] {
        m_enabled = value ? VARIANT_TRUE : VARIANT_FALSE;
        if (m_hWnd) EnableWindow(m_hWnd, m_enabled ? TRUE : FALSE);
    });
}

HRESULT ControlBase::GetStockEnabled(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = m_enabled;
    return S_OK;
}

HRESULT ControlBase::PutStockCaption(BSTR value) {
    BStr copy = BStr::copy(value);
    if (value && !copy.get()) return E_OUTOFMEMORY;
    return ChangeProperty(DISPID_CAPTION, [&] { m_caption = std::move(copy); });
}

HRESULT ControlBase::GetStockCaption(BSTR* value) { return m_caption.copy_to(value); }

// --- Change notification

void ControlBase::FireViewChange() {
    if (m_inPlaceActive) {
        if (m_hWnd) {
            InvalidateRect(m_hWnd, nullptr, TRUE);
            return;
        }
        ComPtr<IOleInPlaceSiteWindowless> windowless;
        if (m_inPlaceSite && SUCCEEDED(m_inPlaceSite.query(IID_IOleInPlaceSiteWindowless, windowless)))
            windowless->InvalidateRect(nullptr, FALSE);
        return;
    }
    if (m_viewSink) m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
}

void ControlBase::SendOnDataChange() {
    if (m_dataAdvise) m_dataAdvise->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
}

}  // namespace qern
