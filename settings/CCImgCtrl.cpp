#include "settings/CCImgCtrl.h"

#include <commctrl.h>

#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "liveview/PageUrl.h"
#include "common/Url.h"

namespace qern {

const InterfaceEntry* CCImgCtrl::InterfaceMap() {
    static const ControlInterfaceMap<CCImgCtrl, ICImgCtrl> map(IID_ICImgCtrl, false);
    return map.get();
}

const CLSID& CCImgCtrl::ClassId() const { return CLSID_CImgCtrl; }

PropertyMap CCImgCtrl::Properties() const {
    using P = PropertyMapBuilder<CCImgCtrl, ICImgCtrl>;
    static const PropertyEntry entries[] = {
        P::Bool<&ICImgCtrl::get_AutoSize, &ICImgCtrl::put_AutoSize>(L"AutoSize", DISPID_AUTOSIZE),
        P::Text<&ICImgCtrl::get_Caption, &ICImgCtrl::put_Caption>(L"Caption", DISPID_CAPTION),
        P::Bool<&ICImgCtrl::get_Enabled, &ICImgCtrl::put_Enabled>(L"Enabled", DISPID_ENABLED),
        P::Text<&ICImgCtrl::get_URL, &ICImgCtrl::put_URL>(L"URL", 1),
        P::Text<&ICImgCtrl::get_User, &ICImgCtrl::put_User>(L"Uname", 2),
        P::Text<&ICImgCtrl::get_Password, &ICImgCtrl::put_Password>(L"Pword", 3),
    };
    return {entries, sizeof(entries) / sizeof(entries[0])};
}

STDMETHODIMP CCImgCtrl::get_URL(BSTR* pVal) { return m_url.copy_to(pVal); }

// The panel keeps the camera's host name, or the base address of the page's server; the port
// is kept beside it for the commands.
STDMETHODIMP CCImgCtrl::put_URL(BSTR value) {
    m_cameraHost.clear();
    m_cameraPort = 80;
    if (!value || SysStringLen(value) == 0) {
        m_url.reset();
        return S_OK;
    }
    UrlParts parts;
    if (parts.CrackUrl(WideToAnsi(value, static_cast<int>(SysStringLen(value))).c_str()) &&
        parts.schemeNumber == kUrlSchemeHttp) {
        m_url = BStr::fromAnsi(parts.host.c_str());
    } else {
        BStr page;
        if (GetPageUrl(m_clientSite.get(), page) && !page.empty() && parts.CrackUrl(page.toAnsi().c_str())) {
            m_url = BStr::fromAnsi(FormatBaseUrl(parts).c_str());
        } else {
            m_url.reset();
            return S_OK;
        }
    }
    m_cameraHost = parts.host;
    m_cameraPort = parts.port;
    m_panel.ShowCameraSettings();  // a panel already open learns the camera's settings now
    return S_OK;
}

STDMETHODIMP CCImgCtrl::get_User(BSTR* pVal) { return m_user.copy_to(pVal); }

STDMETHODIMP CCImgCtrl::put_User(BSTR value) {
    m_user = BStr::copy(value);
    return S_OK;
}

STDMETHODIMP CCImgCtrl::get_Password(BSTR* pVal) { return m_password.copy_to(pVal); }

STDMETHODIMP CCImgCtrl::put_Password(BSTR value) {
    m_password = BStr::copy(value);
    return S_OK;
}

STDMETHODIMP CCImgCtrl::get_Display(LONG*) { return S_OK; }

STDMETHODIMP CCImgCtrl::put_Display(LONG) { return S_OK; }

CameraEndpoint CCImgCtrl::Camera() const {
    CameraEndpoint camera;
    camera.host = m_cameraHost;
    camera.port = m_cameraPort;
    camera.user = m_user.toAnsi();
    camera.password = m_password.toAnsi();
    return camera;
}

void CCImgCtrl::StopCurrentRecording() {
    if (LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire()) {
        LONG ended = 0;
        view->setaction(0, &ended);
    }
}

void CCImgCtrl::OnWindowCreated() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (m_panel.Create(ComModule::Get().Instance(), m_hWnd)) AskForRoomOf(m_panel.Window());
}

void CCImgCtrl::OnWindowDestroying() { m_panel.Destroy(); }

}  // namespace qern
