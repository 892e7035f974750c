// The control interfaces as a host drives them: safety, persistence, notification, advice, drawing.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <map>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tools/camhost/HeapObject.h"
#include "tools/camhost/ParamBag.h"

namespace qern {

namespace {

template <class T>
ComPtr<T> Make(REFCLSID clsid, REFIID iid) {
    ComPtr<T> p;
    EXPECT_EQ(CamControlDll::Get().Create(clsid, iid, p.put_void()), S_OK);
    return p;
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(L"<null>"); }

template <class T>
ComPtr<T> As(IUnknown* object, REFIID iid) {
    ComPtr<T> p;
    EXPECT_EQ(object->QueryInterface(iid, p.put_void()), S_OK);
    return p;
}

// What a host persists of a live view, on one line.
std::wstring Snapshot(ICamImage* cam) {
    BStr url, user, password, caption;
    VARIANT_BOOL autoSize = 9, enabled = 9;
    LONG stretch = 9;
    SIZEL e{};
    cam->get_URL(url.put()), cam->get_User(user.put()), cam->get_Password(password.put());
    cam->get_Caption(caption.put()), cam->get_AutoSize(&autoSize), cam->get_Enabled(&enabled);
    cam->get_Stretch(&stretch), As<IOleObject>(cam, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, &e);
    return Text(url.get()) + L" " + Text(user.get()) + L" " + Text(password.get()) + L" " + Text(caption.get()) + L" " +
           std::to_wstring(autoSize) + L" " + std::to_wstring(enabled) + L" " + std::to_wstring(stretch) + L" " +
           std::to_wstring(e.cx) + L"x" + std::to_wstring(e.cy);
}

// The live view's PARAM names in map order; the panel has all but the last.
const std::vector<std::wstring> kCamImageNames = {L"_cx", L"_cy",   L"AutoSize", L"Caption", L"Enabled",
                                                  L"URL", L"Uname", L"Pword",    L"Stretch"};

HRESULT LoadBytes(const std::vector<BYTE>& bytes, IUnknown* to) {
    auto stream = ComPtr<IStream>::attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    return As<IPersistStreamInit>(to, IID_IPersistStreamInit)->Load(stream.get());
}

// Records property notification (r, c with the DISPID), view (v with the aspect), data (d) and close
// (x) advice in the order they came, and keeps what a control saves to it as a property bag.
class Recorder : public camhost::HeapObject<IPropertyNotifySink, IAdviseSink, IPropertyBag> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, ppv,
                      {{&IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(this)},
                       {&IID_IAdviseSink, static_cast<IAdviseSink*>(this)},
                       {&IID_IPropertyBag, static_cast<IPropertyBag*>(this)}});
    }
    HRESULT Note(char what, long id, HRESULT hr = S_OK) { return events += what + std::to_string(id) + " ", hr; }
    STDMETHODIMP OnChanged(DISPID id) override { return Note('c', id); }
    STDMETHODIMP OnRequestEdit(DISPID id) override { return Note('r', id, refuse ? S_FALSE : S_OK); }
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override { Note('d', 0); }
    STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG) override { Note('v', aspect); }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { Note('x', 0); }
    STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        writes.push_back(name);
        return VariantCopy(values[name].get(), value);
    }
    std::string events;
    bool refuse = false;
    std::vector<std::wstring> writes;
    std::map<std::wstring, qern::Variant> values;
};

}  // namespace

TEST(ObjectSafety, OptionsAreOnlyAddedAndSharedByTheInterfaces) {
    ComPtr<IObjectSafety> cam = Make<IObjectSafety>(CLSID_CamImage, IID_IObjectSafety);
    ComPtr<IObjectSafety> rec = Make<IObjectSafety>(CLSID_CRec, IID_IObjectSafety);
    // Object, call, IID, result, a, b: 'S' sets options a enabled b; 'G' gets supported a, enabled b.
    const std::tuple<IObjectSafety*, char, const IID*, HRESULT, DWORD, DWORD> steps[] = {
        {cam.get(), 'G', &IID_IDispatch, S_OK, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0},
        {cam.get(), 'G', &IID_IPersistStreamInit, S_OK, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0},
        {cam.get(), 'S', &IID_IDispatch, E_FAIL, 0, 0},
        {cam.get(), 'S', &IID_IDispatch, S_OK, 1, 1},
        {cam.get(), 'S', &IID_IDispatch, S_OK, 1, 0},  // clearing is not possible
        {cam.get(), 'G', &IID_IDispatch, S_OK, 1, 1},
        {cam.get(), 'S', &IID_IPersistStreamInit, E_FAIL, 1, 1},  // not a persistence option
        {cam.get(), 'S', &IID_IDispatch, S_OK, 2, 2},             // one set of options for all interfaces
        {cam.get(), 'G', &IID_IPersistStorage, S_OK, 2, 2},
        {cam.get(), 'S', &IID_IPersistPropertyBag, S_OK, 2, 2},  // accepted but not reported
        {cam.get(), 'G', &IID_IPersistPropertyBag, E_FAIL, 0, 0},
        {cam.get(), 'S', &IID_IOleObject, E_FAIL, 1, 1},                        // neither dispatch nor persistence
        {rec.get(), 'G', &IID_IConnectionPointContainer, E_NOINTERFACE, 9, 9},  // left alone
        {rec.get(), 'G', &IID_IDispatch, S_OK, 1, 0},
    };
    int n = 0;
    for (auto [object, call, iid, result, a, b] : steps) {
        ++n;
        DWORD supported = 9, enabled = 9;
        HRESULT hr = call == 'S' ? object->SetInterfaceSafetyOptions(*iid, a, b)
                                 : object->GetInterfaceSafetyOptions(*iid, &supported, &enabled);
        EXPECT_EQ(hr, result) << "step " << n;
        if (call == 'G') {
            EXPECT_EQ(std::make_pair(supported, enabled), std::make_pair(a, b)) << n;
        }
    }
    DWORD value = 0;
    EXPECT_EQ(cam->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &value), E_FAIL);
    EXPECT_EQ(cam->GetInterfaceSafetyOptions(IID_IDispatch, &value, nullptr), E_FAIL);
}

// Each persistence interface saves one control and loads a fresh one from what it saved; the
// property bag goes through text, as a page's PARAMs do.
TEST(Persistence, EveryInterfaceCarriesEveryPropertyAndTheExtent) {
    using Copy = HRESULT (*)(IUnknown * from, IUnknown * to, std::vector<BYTE> & saved);
    const Copy media[] = {
        [](IUnknown* from, IUnknown* to, std::vector<BYTE>& saved) {
            auto save = As<IPersistStreamInit>(from, IID_IPersistStreamInit);
            EXPECT_EQ(save->IsDirty(), S_OK);
            auto stream = ComPtr<IStream>::attach(SHCreateMemStream(nullptr, 0));
            HRESULT hr = save->Save(stream.get(), TRUE);
            EXPECT_EQ(save->IsDirty(), S_FALSE);
            ULARGE_INTEGER size{}, max{};
            save->GetSizeMax(&max);
            IStream_Size(stream.get(), &size);
            saved.resize(size.QuadPart);
            IStream_Reset(stream.get());
            IStream_Read(stream.get(), saved.data(), ULONG(saved.size()));
            EXPECT_EQ(max.QuadPart, saved.size());
            return FAILED(hr) ? hr : LoadBytes(saved, to);
        },
        [](IUnknown* from, IUnknown* to, std::vector<BYTE>&) {
            ComPtr<IStorage> storage;
            StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                             storage.put());
            auto save = As<IPersistStorage>(from, IID_IPersistStorage);
            HRESULT hr = save->Save(storage.get(), FALSE);
            EXPECT_EQ(save->SaveCompleted(nullptr), S_OK);
            return FAILED(hr) ? hr : As<IPersistStorage>(to, IID_IPersistStorage)->Load(storage.get());
        },
        [](IUnknown* from, IUnknown* to, std::vector<BYTE>&) {
            auto written = ComPtr<Recorder>::attach(new Recorder);
            HRESULT hr = As<IPersistPropertyBag>(from, IID_IPersistPropertyBag)->Save(written.get(), TRUE, TRUE);
            EXPECT_EQ(written->writes, kCamImageNames);
            EXPECT_EQ(std::make_tuple(V_VT(written->values[L"_cx"].get()), V_VT(written->values[L"Enabled"].get()),
                                      V_VT(written->values[L"Stretch"].get())),
                      std::make_tuple(VT_UI4, VT_BOOL, VT_I4));
            std::vector<std::pair<std::wstring, std::wstring>> params;
            for (auto& kv : written->values) {
                EXPECT_EQ(VariantChangeType(kv.second.get(), kv.second.get(), 0, VT_BSTR), S_OK);
                params.emplace_back(kv.first, Text(V_BSTR(kv.second.get())));
            }
            auto bag = ComPtr<camhost::ParamBag>::attach(new camhost::ParamBag(params));
            if (SUCCEEDED(hr)) hr = As<IPersistPropertyBag>(to, IID_IPersistPropertyBag)->Load(bag.get(), nullptr);
            std::vector<std::wstring> reads;
            for (const auto& read : bag->Reads()) reads.push_back(read.name);
            EXPECT_EQ(reads, kCamImageNames);
            EXPECT_EQ(bag->References(), 1);
            return hr;
        },
    };
    std::vector<BYTE> saved;
    for (Copy copyThrough : media) {
        ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
        cam->put_URL(BStr(L"http://127.0.0.1:8082/video.cgi").get());
        cam->put_User(BStr(L"u\u00e9").get());
        cam->put_Password(BStr(L"pw").get());
        cam->put_Caption(BStr(L"front door").get());
        cam->put_AutoSize(VARIANT_TRUE);
        cam->put_Enabled(VARIANT_FALSE);
        cam->put_Stretch(0);
        SIZEL extent = {1000, 2000};
        ASSERT_EQ(As<IOleObject>(cam.get(), IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
        ComPtr<ICamImage> copy = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
        ASSERT_EQ(copyThrough(cam.get(), copy.get(), saved), S_OK);
        EXPECT_EQ(Snapshot(copy.get()), L"http://127.0.0.1:8082 u\u00e9 pw front door -1 0 0 1000x2000");
    }

    // A damaged stream is refused: cut short, another version, a first text that claims 2 GB.
    ASSERT_GT(saved.size(), 22u);
    ComPtr<IUnknown> target = Make<IUnknown>(CLSID_CamImage, IID_IUnknown);
    for (size_t cut : {size_t(0), size_t(5), saved.size() - 1})
        EXPECT_TRUE(FAILED(LoadBytes(std::vector<BYTE>(saved.begin(), saved.begin() + cut), target.get()))) << cut;
    const size_t captionLength = 12 + 2 + 2 + 2;  // header, AutoSize entry, Caption's type
    ASSERT_EQ(saved[captionLength - 2], VT_BSTR);
    for (auto [at, value] : {std::pair<size_t, int>{0, saved[0] ^ 0xFF}, {captionLength + 3, 0x7F}}) {
        std::vector<BYTE> bytes = saved;
        bytes[at] = BYTE(value);
        EXPECT_TRUE(FAILED(LoadBytes(bytes, target.get()))) << at;
    }
}

TEST(Persistence, EachControlSavesItsNamesAndUnconvertibleParamsArePassedOver) {
    const std::pair<const CLSID*, size_t> controls[] = {
        {&CLSID_CamImage, kCamImageNames.size()}, {&CLSID_CImgCtrl, kCamImageNames.size() - 1}, {&CLSID_CRec, 2}};
    for (const auto& c : controls) {
        auto bag = ComPtr<Recorder>::attach(new Recorder);
        ASSERT_EQ(Make<IPersistPropertyBag>(*c.first, IID_IPersistPropertyBag)->Save(bag.get(), TRUE, TRUE), S_OK);
        EXPECT_EQ(bag->writes, std::vector<std::wstring>(kCamImageNames.begin(), kCamImageNames.begin() + c.second));
    }

    // Names match without regard to case and the last one wins, as in a page; a PARAM that cannot
    // be converted leaves its property alone and the rest still apply; what is missing stays.
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    auto bag = ComPtr<camhost::ParamBag>::attach(new camhost::ParamBag(
        {{L"AutoSize", L"sometimes"}, {L"Stretch", L"wide"}, {L"uname", L"first"}, {L"UNAME", L"second"}}));
    ASSERT_EQ(As<IPersistPropertyBag>(cam.get(), IID_IPersistPropertyBag)->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(Snapshot(cam.get()), L"<null> second <null> <null> 0 -1 1 5080x5080");
}

// One live view through its connection point, its view, data and object sinks and its OLE object.
TEST(OleControl, StockPropertiesAskThenNotifyAndReachTheSinksDrawingAndMetafile) {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    auto cpc = As<IConnectionPointContainer>(cam.get(), IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(cpc->FindConnectionPoint(DIID__ICamImageEvents, none.put()), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(cpc->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* found[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    auto cp = ComPtr<IConnectionPoint>::attach(found[0]);
    DWORD cookie = 7;
    auto notASink = ComPtr<camhost::ParamBag>::attach(new camhost::ParamBag({}));
    EXPECT_EQ(cp->Advise(notASink.get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);

    auto sink = ComPtr<Recorder>::attach(new Recorder);
    ASSERT_EQ(cp->Advise(static_cast<IPropertyNotifySink*>(sink.get()), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    auto view = As<IViewObjectEx>(cam.get(), IID_IViewObjectEx);
    HDC mem = CreateCompatibleDC(nullptr);
    auto draw = [&](DWORD aspect, bool bounded) {
        RECTL bounds = {0, 0, 50, 40};
        return view->Draw(aspect, -1, nullptr, nullptr, nullptr, mem, bounded ? &bounds : nullptr, nullptr, nullptr, 0);
    };
    RECT r = {0, 0, 10, 10};
    DWORD in = 9, out = 9;
    view->QueryHitPoint(DVASPECT_CONTENT, &r, POINT{5, 5}, 0, &in);
    view->QueryHitPoint(DVASPECT_CONTENT, &r, POINT{15, 5}, 0, &out);
    EXPECT_EQ(std::make_tuple(draw(DVASPECT_CONTENT, true), draw(DVASPECT_CONTENT, false), draw(DVASPECT_ICON, true),
                              in, out),
              std::make_tuple(S_OK, E_INVALIDARG, DV_E_DVASPECT, DWORD(HITRESULT_HIT), DWORD(HITRESULT_OUTSIDE)));
    DeleteDC(mem);
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, sink.get()), S_OK);
    auto data = As<IDataObject>(cam.get(), IID_IDataObject);
    FORMATETC any = {0, nullptr, DVASPECT_CONTENT, -1, TYMED_NULL};
    DWORD dataCookie = 0, oleCookie = 0;
    ASSERT_EQ(data->DAdvise(&any, ADVF_NODATA, sink.get(), &dataCookie), S_OK);

    cam->put_Stretch(0);  // a display option: only the view changes
    ASSERT_EQ(cam->put_Caption(BStr(L"hall").get()), S_OK);
    ASSERT_EQ(cam->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(cam->put_AutoSize(VARIANT_TRUE), S_OK);
    cam->UpdateView();
    // Caption is DISPID -518, Enabled -514, AutoSize -500.
    EXPECT_EQ(sink->events, "v1 r-518 c-518 v1 d0 r-514 c-514 v1 d0 r-500 c-500 v1 d0 v1 ");

    sink->events.clear();
    sink->refuse = true;
    EXPECT_EQ(cam->put_Caption(BStr(L"garden").get()), S_FALSE);
    EXPECT_EQ(sink->events, "r-518 ");
    EXPECT_EQ(Snapshot(cam.get()), L"<null> <null> <null> hall -1 0 0 5080x5080");

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(cp->EnumConnections(connections.put()), S_OK);
    CONNECTDATA connection[2] = {};
    EXPECT_EQ(connections->Next(2, connection, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(connection[0].dwCookie, cookie);
    connection[0].pUnk->Release();
    connections = nullptr;  // the enumerator's snapshot holds the sink too
    EXPECT_EQ(cp->Unadvise(cookie + 100), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(data->DUnadvise(dataCookie), S_OK);
    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC picture = {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);
    ASSERT_EQ(data->GetData(&picture, &medium), S_OK);
    auto* pict = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
    EXPECT_TRUE(pict && pict->mm == MM_ANISOTROPIC && pict->xExt == 5080 && pict->hMF);
    GlobalUnlock(medium.hMetaFilePict);
    ReleaseStgMedium(&medium);
    view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
    sink->events.clear();
    sink->refuse = false;
    cam->put_Caption(BStr(L"x").get());
    EXPECT_TRUE(sink->events.empty());

    auto ole = As<IOleObject>(cam.get(), IID_IOleObject);
    SIZEL size = {1000, 2000};
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &size), DV_E_DVASPECT);
    LPOLESTR type = nullptr;
    ASSERT_EQ(ole->GetUserType(USERCLASSTYPE_FULL, &type), S_OK);
    EXPECT_STREQ(type, L"CamImage Class");
    CoTaskMemFree(type);
    CLSID clsid{};
    EXPECT_TRUE(ole->GetUserClassID(&clsid) == S_OK && IsEqualCLSID(clsid, CLSID_CamImage));
    ASSERT_EQ(ole->Advise(sink.get(), &oleCookie), S_OK);
    ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(ole->Unadvise(oleCookie), S_OK);
    EXPECT_EQ(sink->events, "x0 ");
    EXPECT_EQ(sink->References(), 1);
}

}  // namespace qern
