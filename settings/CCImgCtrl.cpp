#include "settings/CCImgCtrl.h"

#include "liveview/PageUrl.h"
#include "common/Url.h"

using qern::BStr;

const qern::InterfaceEntry* CCImgCtrl::InterfaceMap() {
    static const qern::ControlInterfaceMap<CCImgCtrl, ICImgCtrl> map(IID_ICImgCtrl, false);
    return map.get();
}

const CLSID& CCImgCtrl::ClassId() const { return CLSID_CImgCtrl; }

qern::PropertyMap CCImgCtrl::Properties() const {
    using P = qern::PropertyMapBuilder<CCImgCtrl, ICImgCtrl>;
    static const qern::PropertyEntry entries[] = {
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

// The panel keeps the camera's host name, or the base address of the page's server.
STDMETHODIMP CCImgCtrl::put_URL(BSTR value) {
    if (!value || SysStringLen(value) == 0) {
        m_url.reset();
        return S_OK;
    }
    UrlParts parts;
    if (parts.CrackUrl(qern::WideToAnsi(value, static_cast<int>(SysStringLen(value))).c_str()) &&
        parts.schemeNumber == kUrlSchemeHttp) {
        m_url = BStr::fromAnsi(parts.host.c_str());
        return S_OK;
    }
    BStr page;
    UrlParts pageParts;
    if (GetPageUrl(m_clientSite.get(), page) && !page.empty() && pageParts.CrackUrl(page.toAnsi().c_str()))
        m_url = BStr::fromAnsi(FormatBaseUrl(pageParts).c_str());
    else
        m_url.reset();
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
