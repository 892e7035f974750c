#pragma once
// The camera image-settings panel control: its automation interface, properties and persistence.
#include "com/ControlBase.h"
#include "com/StockPropertyImpl.h"
#include "module/QERNCamControl_h.h"

class CCImgCtrl : public qern::StockPropertyImpl<CCImgCtrl, ICImgCtrl, &IID_ICImgCtrl>, public qern::ControlBase {
public:
    static const qern::InterfaceEntry* InterfaceMap();

    STDMETHODIMP get_URL(BSTR* pVal) override;
    STDMETHODIMP put_URL(BSTR value) override;
    STDMETHODIMP get_User(BSTR* pVal) override;
    STDMETHODIMP put_User(BSTR value) override;
    STDMETHODIMP get_Password(BSTR* pVal) override;
    STDMETHODIMP put_Password(BSTR value) override;
    STDMETHODIMP get_Display(LONG* pVal) override;
    STDMETHODIMP put_Display(LONG value) override;

protected:
    const CLSID& ClassId() const override;
    qern::PropertyMap Properties() const override;

private:
    qern::BStr m_url;
    qern::BStr m_user;
    qern::BStr m_password;
};
