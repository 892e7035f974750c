#pragma once
// The IPropertyNotifySink connection point a control embeds; its references count on the control.
#include <ocidl.h>

#include <vector>

#include "com/ComPtr.h"

namespace qern {

class ControlBase;

class PropertyNotifyPoint final : public IConnectionPoint {
public:
    explicit PropertyNotifyPoint(ControlBase& owner) : m_owner(owner) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // S_FALSE when any sink refuses the change.
    HRESULT FireOnRequestEdit(DISPID id);
    void FireOnChanged(DISPID id);
    size_t SinkCount() const { return m_sinks.size(); }
    void Clear() { m_sinks.clear(); }

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IPropertyNotifySink> sink;
    };
    std::vector<Sink> Snapshot() const { return m_sinks; }

    ControlBase& m_owner;
    std::vector<Sink> m_sinks;
    DWORD m_nextCookie = 1;
};

}  // namespace qern
