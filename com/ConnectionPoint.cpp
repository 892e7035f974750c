#include "com/ConnectionPoint.h"

#include "com/ControlBase.h"
#include "com/Enumerator.h"

namespace qern {

STDMETHODIMP PropertyNotifyPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PropertyNotifyPoint::AddRef() { return m_owner.ControllingUnknown()->AddRef(); }
STDMETHODIMP_(ULONG) PropertyNotifyPoint::Release() { return m_owner.ControllingUnknown()->Release(); }

STDMETHODIMP PropertyNotifyPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = IID_IPropertyNotifySink;
    return S_OK;
}

STDMETHODIMP PropertyNotifyPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    return m_owner.ControllingUnknown()->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP PropertyNotifyPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IPropertyNotifySink> notify;
    if (FAILED(sink->QueryInterface(IID_IPropertyNotifySink, notify.put_void()))) return CONNECT_E_CANNOTCONNECT;
    m_sinks.push_back({m_nextCookie, notify});
    *cookie = m_nextCookie++;
    return S_OK;
}

STDMETHODIMP PropertyNotifyPoint::Unadvise(DWORD cookie) {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->cookie == cookie) {
            ComPtr<IPropertyNotifySink> keep = it->sink;  // released after the list is consistent
            m_sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP PropertyNotifyPoint::EnumConnections(IEnumConnections** out) {
    std::vector<CONNECTDATA> data;
    for (const Sink& s : m_sinks) data.push_back({s.sink.get(), s.cookie});
    return VectorEnumerator<IEnumConnections, &IID_IEnumConnections, CONNECTDATA, ConnectDataPolicy>::Create(data, out);
}

// Sinks may unadvise while being called, so each call works on a snapshot.
HRESULT PropertyNotifyPoint::FireOnRequestEdit(DISPID id) {
    for (const Sink& s : Snapshot())
        if (s.sink->OnRequestEdit(id) == S_FALSE) return S_FALSE;
    return S_OK;
}

void PropertyNotifyPoint::FireOnChanged(DISPID id) {
    for (const Sink& s : Snapshot()) s.sink->OnChanged(id);
}

}  // namespace qern
