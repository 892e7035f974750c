#pragma once
// The camera image-settings panel control: its automation interface, properties and persistence.
#include "com/ControlBase.h"
#include "com/StockPropertyImpl.h"
#include "module/QERNCamControl_h.h"
#include "settings/ImagePanel.h"

#include <string>

namespace qern {

class CCImgCtrl : public StockPropertyImpl<CCImgCtrl, ICImgCtrl, &IID_ICImgCtrl>, public ControlBase {
public:
    static const InterfaceEntry* InterfaceMap();

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
    PropertyMap Properties() const override;
    void OnWindowCreated() override;
    void OnWindowDestroying() override;

private:
    // The camera for the panel's commands: the kept host and port with the credentials.
    CameraEndpoint Camera() const;
    static void StopCurrentRecording();

    BStr m_url;
    BStr m_user;
    BStr m_password;
    // The URL value keeps only the host name; the channel needs the port too.
    std::string m_cameraHost;
    int32_t m_cameraPort = 80;
    ImagePanel m_panel{ImagePanel::Host{[this] { return Camera(); }, &CCImgCtrl::StopCurrentRecording}};
};

}  // namespace qern
