#pragma once
// The standard OLE control interfaces with their standard behaviour, shared by every control.
// A control derives from ControlBase and from its dual interface (through StockPropertyImpl or
// DispatchImpl), lists its interface map and property map, and is created as ComObject<T>.
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include "com/BStr.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "com/ConnectionPoint.h"
#include "com/PropertyMap.h"

#include <vector>

namespace qern {

class ControlBase : public ObjectRoot,
                    public IViewObjectEx,
                    public IOleInPlaceObjectWindowless,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IOleObject,
                    public IPersistStreamInit,
                    public IPersistStorage,
                    public IPersistPropertyBag,
                    public IConnectionPointContainer,
                    public ISpecifyPropertyPages,
                    public IQuickActivate,
                    public IDataObject,
                    public IProvideClassInfo2,
                    public IRunnableObject,
                    public IObjectSafety {
public:
    // OLEMISC of every control of the module, used when the registry cannot answer.
    static const DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                                     OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    // Default extent in HIMETRIC (about 2 inches square).
    static const LONG kDefaultExtent = 5080;
    static const wchar_t kWindowClass[];

    // --- IViewObjectEx / IViewObject2 / IViewObject
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* td, HDC hdcTargetDev, HDC hdcDraw,
                      LPCRECTL bounds, LPCRECTL wBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* td, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT pt, LONG closeHint, DWORD* result) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT loc, LONG closeHint, DWORD* result) override;
    STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override {
        return E_NOTIMPL;
    }

    // --- IOleWindow / IOleInPlaceObject / IOleInPlaceObjectWindowless / IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }
    STDMETHODIMP GetDropTarget(IDropTarget** target) override;
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // --- IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // --- IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT pos) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // --- IPersist / IPersistStreamInit / IPersistStorage / IPersistPropertyBag
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP InitNew(IStorage*) override { return S_OK; }
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // --- IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // --- ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // --- IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override { return SetExtent(DVASPECT_CONTENT, size); }
    STDMETHODIMP GetContentExtent(LPSIZEL size) override { return GetExtent(DVASPECT_CONTENT, size); }

    // --- IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP DUnadvise(DWORD cookie) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** out) override;

    // --- IProvideClassInfo / IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // --- IRunnableObject
    STDMETHODIMP GetRunningClass(LPCLSID clsid) override { return GetClassID(clsid); }
    STDMETHODIMP Run(LPBINDCTX) override { return S_OK; }
    STDMETHODIMP_(BOOL) IsRunning() override { return TRUE; }
    STDMETHODIMP LockRunning(BOOL, BOOL) override { return S_OK; }
    STDMETHODIMP SetContainedObject(BOOL) override { return S_OK; }

    // --- IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // --- Stock properties, reached through StockPropertyImpl.
    HRESULT PutStockAutoSize(VARIANT_BOOL value);
    HRESULT GetStockAutoSize(VARIANT_BOOL* value);
    HRESULT PutStockEnabled(VARIANT_BOOL value);
    HRESULT GetStockEnabled(VARIANT_BOOL* value);
    HRESULT PutStockCaption(BSTR value);
    HRESULT GetStockCaption(BSTR* value);

    HWND WindowHandle() const { return m_hWnd; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }
    // Bits of INTERFACESAFE_FOR_UNTRUSTED_CALLER / _DATA enabled so far.
    DWORD SafetyOptions() const { return m_safetyOptions; }
    bool CallerIsUntrusted() const { return (m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_CALLER) != 0; }

    // The map entry order of the module's controls, IUnknown identity first.
    template <class T>
    static void AppendControlEntries(InterfaceEntry*& e, bool withConnectionPoints);

protected:
    ControlBase();
    ~ControlBase() override;

    // What every concrete control tells the framework.
    virtual const CLSID& ClassId() const = 0;
    virtual PropertyMap Properties() const = 0;
    virtual const IID* DefaultSourceIid() const { return nullptr; }

    // Drawing through IViewObject::Draw and WM_PAINT.
    virtual void OnDraw(HDC hdc, const RECT& bounds) {}
    // The control's own message handling after the framework's; true when handled.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }
    virtual void OnWindowCreated() {}
    virtual void OnWindowDestroying() {}
    // How a changed look reaches the screen: repaint the window, or tell the view's advise sink.
    virtual void FireViewChange();

    // Request-edit, store, dirty, changed, view change, data change.
    template <class Apply>
    HRESULT ChangeProperty(DISPID id, Apply apply) {
        if (m_notify.FireOnRequestEdit(id) == S_FALSE) return S_FALSE;
        apply();
        m_dirty = true;
        m_notify.FireOnChanged(id);
        FireViewChange();
        SendOnDataChange();
        return S_OK;
    }
    void SendOnDataChange();
    // Asks the container for as much room as `child` takes (a dialog's size follows its font), once the
    // container has placed the new window: call it from OnWindowCreated.
    void AskForRoomOf(HWND child);
    HRESULT InPlaceActivate(LONG verb, const RECT* pos);
    void DestroyControlWindow();

    HWND m_hWnd = nullptr;
    SIZEL m_extent{kDefaultExtent, kDefaultExtent};
    RECT m_posRect{};
    bool m_dirty = false;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    DWORD m_safetyOptions = 0;
    LONG m_freezeEvents = 0;

    VARIANT_BOOL m_autoSize = VARIANT_FALSE;
    VARIANT_BOOL m_enabled = VARIANT_TRUE;
    BStr m_caption;

    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    ComPtr<IOleInPlaceUIWindow> m_uiWindow;
    ComPtr<IOleAdviseHolder> m_oleAdvise;
    ComPtr<IDataAdviseHolder> m_dataAdvise;
    ComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewAdvf = 0;
    PropertyNotifyPoint m_notify;

private:
    HRESULT SaveToBytes(std::vector<BYTE>& out);
    HRESULT LoadFromStream(IStream* stream);
    HRESULT CreateControlWindow(HWND parent, const RECT& pos);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void FitToChild(HWND child);

    // The framework's own message, at the end of the range the controls' messages come from.
    static constexpr UINT kAskForRoom = 0xBFFF;
};

// Fills the interface map of T in the query order of the module's controls, after T's own dual
// interface: IDispatch, the view, in-place, control, object and persistence interfaces, ...
template <class T>
void ControlBase::AppendControlEntries(InterfaceEntry*& e, bool withConnectionPoints) {
    *e++ = MapEntry<T, IViewObjectEx>(IID_IViewObjectEx);
    *e++ = MapEntry<T, IViewObject2>(IID_IViewObject2);
    *e++ = MapEntry<T, IViewObject>(IID_IViewObject);
    *e++ = MapEntry<T, IOleInPlaceObjectWindowless>(IID_IOleInPlaceObjectWindowless);
    *e++ = MapEntry<T, IOleInPlaceObject>(IID_IOleInPlaceObject);
    *e++ = MapEntry<T, IOleWindow, IOleInPlaceObjectWindowless>(IID_IOleWindow);
    *e++ = MapEntry<T, IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    *e++ = MapEntry<T, IOleControl>(IID_IOleControl);
    *e++ = MapEntry<T, IOleObject>(IID_IOleObject);
    *e++ = MapEntry<T, IPersistStreamInit>(IID_IPersistStreamInit);
    *e++ = MapEntry<T, IPersist, IPersistStreamInit>(IID_IPersist);
    if (withConnectionPoints) *e++ = MapEntry<T, IConnectionPointContainer>(IID_IConnectionPointContainer);
    *e++ = MapEntry<T, ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    *e++ = MapEntry<T, IQuickActivate>(IID_IQuickActivate);
    *e++ = MapEntry<T, IPersistStorage>(IID_IPersistStorage);
    *e++ = MapEntry<T, IDataObject>(IID_IDataObject);
    *e++ = MapEntry<T, IProvideClassInfo, IProvideClassInfo2>(IID_IProvideClassInfo);
    *e++ = MapEntry<T, IProvideClassInfo2>(IID_IProvideClassInfo2);
    *e++ = MapEntry<T, IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (withConnectionPoints) *e++ = MapEntry<T, IRunnableObject>(IID_IRunnableObject);
    *e++ = MapEntry<T, IObjectSafety>(IID_IObjectSafety);
    *e++ = {nullptr, 0};
}

// The interface map of a control: its dual interface, IDispatch, then the control interfaces.
// Entries: 2 + 21 + terminator at most.
template <class T, class Dual>
class ControlInterfaceMap {
public:
    ControlInterfaceMap(const IID& dualIid, bool withConnectionPoints) {
        InterfaceEntry* e = m_entries;
        *e++ = MapEntry<T, Dual>(dualIid);
        *e++ = MapEntry<T, IDispatch, Dual>(IID_IDispatch);
        ControlBase::AppendControlEntries<T>(e, withConnectionPoints);
    }
    const InterfaceEntry* get() const { return m_entries; }

private:
    InterfaceEntry m_entries[25];
};

}  // namespace qern
