#include "tools/camhost/ControlSite.h"

#include <cstdio>

#include "tools/camhost/PageBrowser.h"
#include "tools/camhost/ParamBag.h"

namespace camhost {
namespace {

std::string Failed(const char* step, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (0x%08lX)", step, static_cast<unsigned long>(hr));
    return text;
}

// HIMETRIC units (0.01 mm) of a pixel length on this screen.
LONG PixelsToHimetric(int pixels, int logPixelsIndex) {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, logPixelsIndex) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;
    return MulDiv(pixels, 2540, dpi);
}

}  // namespace

ControlSite::ControlSite(HostFrame& frame, PageBrowser* browser, const Rect& pos)
    : m_frame(frame), m_browser(browser), m_pos(pos) {}

ControlSite::~ControlSite() { Shutdown(); }

RECT ControlSite::WinRect() const { return RECT{m_pos.x, m_pos.y, m_pos.x + m_pos.width, m_pos.y + m_pos.height}; }

HRESULT ControlSite::Create(const std::wstring& progId,
                            const std::vector<std::pair<std::wstring, std::wstring>>& params, std::string& error) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(hr)) {
        error = Failed("CLSIDFromProgID (is the control registered?)", hr);
        return hr;
    }
    qern::ComPtr<IOleObject> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object.put_void());
    if (FAILED(hr)) {
        error = Failed("CoCreateInstance", hr);
        return hr;
    }
    return Adopt(object.get(), params, error);
}

HRESULT ControlSite::Adopt(IOleObject* object, const std::vector<std::pair<std::wstring, std::wstring>>& params,
                           std::string& error) {
    if (!object) {
        error = "no control";
        return E_POINTER;
    }
    m_object = qern::ComPtr<IOleObject>(object);
    HRESULT hr = S_OK;
    DWORD misc = 0;
    m_object->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst && FAILED(hr = m_object->SetClientSite(this))) {
        error = Failed("SetClientSite", hr);
        return hr;
    }

    // A page's PARAM tags reach the control through IPersistPropertyBag; a control without it
    // starts from its defaults.
    qern::ComPtr<IPersistPropertyBag> persistBag;
    qern::ComPtr<IPersistStreamInit> persistStream;
    if (SUCCEEDED(m_object.query(IID_IPersistPropertyBag, persistBag))) {
        if (params.empty()) {
            hr = persistBag->InitNew();
        } else {
            ParamBag* bag = new ParamBag(params);
            hr = persistBag->Load(bag, nullptr);
            for (const ParamBag::ReadRecord& r : bag->Reads()) m_paramReads.emplace_back(r.name, r.found);
            bag->Release();
        }
        if (FAILED(hr)) {
            error = Failed(params.empty() ? "IPersistPropertyBag::InitNew" : "IPersistPropertyBag::Load", hr);
            return hr;
        }
    } else if (!params.empty()) {
        error = "the control takes no PARAMs (no IPersistPropertyBag)";
        return E_NOINTERFACE;
    } else if (SUCCEEDED(m_object.query(IID_IPersistStreamInit, persistStream))) {
        persistStream->InitNew();
    }

    if (!siteFirst && FAILED(hr = m_object->SetClientSite(this))) {
        error = Failed("SetClientSite", hr);
        return hr;
    }
    m_object->SetHostNames(L"camhost", nullptr);
    return S_OK;
}

HRESULT ControlSite::Activate(std::string& error) {
    if (!m_object) {
        error = "no control";
        return E_UNEXPECTED;
    }
    // Sinks: view changes, and property changes where the control offers them.
    if (FAILED(m_object->Advise(this, &m_adviseCookie))) m_adviseCookie = 0;
    qern::ComPtr<IViewObject> view;
    if (SUCCEEDED(m_object.query(IID_IViewObject, view)))
        m_viewAdvised = SUCCEEDED(view->SetAdvise(DVASPECT_CONTENT, 0, this));
    qern::ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(m_object.query(IID_IConnectionPointContainer, points)) &&
        SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, m_propertyPoint.put())) &&
        FAILED(m_propertyPoint->Advise(static_cast<IPropertyNotifySink*>(this), &m_propertyCookie))) {
        m_propertyPoint = nullptr;
        m_propertyCookie = 0;
    }

    SIZEL extent = {PixelsToHimetric(m_pos.width, LOGPIXELSX), PixelsToHimetric(m_pos.height, LOGPIXELSY)};
    m_object->SetExtent(DVASPECT_CONTENT, &extent);

    RECT pos = WinRect();
    HRESULT hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_frame.Window(), &pos);
    if (FAILED(hr)) {
        error = Failed("DoVerb(OLEIVERB_INPLACEACTIVATE)", hr);
        return hr;
    }
    if (!m_inPlace && FAILED(m_object.query(IID_IOleInPlaceObject, m_inPlace))) {
        error = "the control did not activate in place";
        return E_NOINTERFACE;
    }
    return S_OK;
}

void ControlSite::Shutdown() {
    if (!m_object) return;
    qern::ComPtr<IOleObject> object = m_object;  // keeps the control while its site lets go
    if (m_inPlace && m_inPlaceActive) m_inPlace->InPlaceDeactivate();
    if (m_propertyPoint) {
        m_propertyPoint->Unadvise(m_propertyCookie);
        m_propertyPoint = nullptr;
        m_propertyCookie = 0;
    }
    if (m_viewAdvised) {
        qern::ComPtr<IViewObject> view;
        if (SUCCEEDED(object.query(IID_IViewObject, view))) view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        m_viewAdvised = false;
    }
    if (m_adviseCookie) {
        object->Unadvise(m_adviseCookie);
        m_adviseCookie = 0;
    }
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    m_inPlace = nullptr;
    m_object = nullptr;
    m_browser = nullptr;
}

HWND ControlSite::ControlWindow() const {
    HWND hwnd = nullptr;
    if (m_inPlace && m_inPlaceActive && SUCCEEDED(m_inPlace->GetWindow(&hwnd))) return hwnd;
    return nullptr;
}

STDMETHODIMP ControlSite::QueryInterface(REFIID riid, void** ppv) {
    IOleInPlaceSite* inPlace = this;
    return Answer(riid, ppv,
                  {{&IID_IOleClientSite, static_cast<IOleClientSite*>(this)},
                   {&IID_IOleInPlaceSite, inPlace},
                   {&IID_IOleWindow, inPlace},
                   {&IID_IAdviseSink, static_cast<IAdviseSink*>(this)},
                   {&IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(this)},
                   {&IID_IServiceProvider, static_cast<IServiceProvider*>(this)}});
}

STDMETHODIMP ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ControlSite::OnInPlaceActivate() {
    m_inPlaceActive = true;
    if (m_object && !m_inPlace) m_object.query(IID_IOleInPlaceObject, m_inPlace);
    return S_OK;
}

STDMETHODIMP ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                           LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    *frame = &m_frame;
    m_frame.AddRef();
    *doc = nullptr;  // the frame is the document window too
    *pos = WinRect();
    *clip = WinRect();
    info->fMDIApp = FALSE;
    info->hwndFrame = m_frame.Window();
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP ControlSite::OnInPlaceDeactivate() {
    m_inPlaceActive = false;
    return S_OK;
}

STDMETHODIMP ControlSite::DeactivateAndUndo() {
    if (m_inPlace) m_inPlace->UIDeactivate();
    return S_OK;
}

STDMETHODIMP ControlSite::OnPosRectChange(LPCRECT pos) {
    if (!pos) return E_POINTER;
    ++positionRequests;
    // The page has room: the control gets the place it asks for.
    m_pos = Rect{pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top};
    if (m_inPlace) {
        RECT r = WinRect();
        m_inPlace->SetObjectRects(&r, &r);
    }
    return S_OK;
}

STDMETHODIMP_(void) ControlSite::OnViewChange(DWORD, LONG) {
    ++viewChanges;
    // A windowed control paints itself; one without a window needs the page redrawn under it.
    if (!ControlWindow()) {
        RECT r = WinRect();
        InvalidateRect(m_frame.Window(), &r, FALSE);
    }
}

STDMETHODIMP ControlSite::OnChanged(DISPID) {
    ++propertyChanges;
    return S_OK;
}

STDMETHODIMP ControlSite::QueryService(REFGUID service, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (m_browser && (IsEqualGUID(service, IID_IWebBrowserApp) || IsEqualGUID(service, IID_IWebBrowser2)))
        return m_browser->QueryInterface(riid, ppv);
    return E_NOINTERFACE;
}

}  // namespace camhost
