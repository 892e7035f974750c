// The control interfaces of the framework as a host drives them: safety options, property bags,
// streams and storages, property-change notification and the stock properties.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tests/module/MemoryPropertyBag.h"
#include "tools/camhost/HeapObject.h"
#include "tools/camhost/ParamBag.h"

using qern::BStr;
using qern::ComPtr;

namespace {

template <class T>
ComPtr<T> Make(REFCLSID clsid, REFIID iid) {
    ComPtr<T> p;
    EXPECT_EQ(CamControlDll::Get().Create(clsid, iid, p.put_void()), S_OK);
    return p;
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(L"<null>"); }

std::wstring GetText(ICamImage* cam, HRESULT (STDMETHODCALLTYPE ICamImage::*get)(BSTR*)) {
    BStr value;
    EXPECT_EQ((cam->*get)(value.put()), S_OK);
    return Text(value.get());
}

// The live view's PARAM names in map order; the panel has all but the last.
const std::vector<std::wstring> kCamImageNames = {L"_cx", L"_cy", L"AutoSize", L"Caption", L"Enabled",
                                                  L"URL", L"Uname", L"Pword", L"Stretch"};

std::vector<std::wstring> ReadNames(const camhost::ParamBag* bag) {
    std::vector<std::wstring> names;
    for (const auto& read : bag->Reads()) names.push_back(read.name);
    return names;
}

class NotifySink : public camhost::HeapObject<IPropertyNotifySink> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, ppv, {{&IID_IPropertyNotifySink, this}});
    }
    STDMETHODIMP OnChanged(DISPID id) override {
        events.push_back({"changed", id});
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID id) override {
        events.push_back({"request", id});
        return refuse ? S_FALSE : S_OK;
    }
    std::vector<std::pair<std::string, DISPID>> events;
    bool refuse = false;
};

}  // namespace

// --- IObjectSafety

TEST(ObjectSafety, OptionsAreOnlyAddedAndSharedByTheInterfaces) {
    ComPtr<IObjectSafety> cam = Make<IObjectSafety>(CLSID_CamImage, IID_IObjectSafety);
    ComPtr<IObjectSafety> rec = Make<IObjectSafety>(CLSID_CRec, IID_IObjectSafety);
    // set: a SetInterfaceSafetyOptions(mask, options) call; otherwise a Get that should give
    // `supported` and `enabled` (both 0 when it fails).
    struct Step {
        IObjectSafety* object;
        bool set;
        const IID* iid;
        DWORD mask, options;
        HRESULT hr;
        DWORD supported = 0, enabled = 0;  // reported by a get step
    } steps[] = {
        {cam.get(), false, &IID_IDispatch, 0, 0, S_OK, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0},
        {cam.get(), false, &IID_IPersistStreamInit, 0, 0, S_OK, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0},
        {cam.get(), false, &IID_IPersistStorage, 0, 0, S_OK, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0},
        {cam.get(), true, &IID_IDispatch, 0, 0, E_FAIL},
        {cam.get(), true, &IID_IDispatch, 1, 1, S_OK},
        {cam.get(), true, &IID_IDispatch, 1, 0, S_OK},  // clearing is not possible
        {cam.get(), false, &IID_IDispatch, 0, 0, S_OK, 1, 1},
        {cam.get(), true, &IID_IPersistStreamInit, 1, 1, E_FAIL},  // not a persistence option
        {cam.get(), true, &IID_IDispatch, 2, 2, S_OK},  // one set of options for all interfaces
        {cam.get(), false, &IID_IPersistStorage, 0, 0, S_OK, 2, 2},
        {cam.get(), true, &IID_IPersistPropertyBag, 2, 2, S_OK},  // accepted but not reported
        {cam.get(), false, &IID_IPersistPropertyBag, 0, 0, E_FAIL, 0, 0},
        {cam.get(), true, &IID_IOleObject, 1, 1, E_FAIL},  // neither dispatch nor persistence
        {rec.get(), false, &IID_IConnectionPointContainer, 0, 0, E_NOINTERFACE, 0, 0},
        {rec.get(), true, &IID_IConnectionPointContainer, 1, 1, E_NOINTERFACE},
        {rec.get(), false, &IID_IDispatch, 0, 0, S_OK, 1, 0},
    };
    int n = 0;
    for (const Step& s : steps) {
        ++n;
        if (s.set) {
            EXPECT_EQ(s.object->SetInterfaceSafetyOptions(*s.iid, s.mask, s.options), s.hr) << "step " << n;
            continue;
        }
        DWORD supported = 9, enabled = 9;
        EXPECT_EQ(s.object->GetInterfaceSafetyOptions(*s.iid, &supported, &enabled), s.hr) << "step " << n;
        if (s.hr != E_NOINTERFACE) {
            EXPECT_EQ(supported, s.supported) << "step " << n;
            EXPECT_EQ(enabled, s.enabled) << "step " << n;
        }
    }
    DWORD value = 0;
    EXPECT_EQ(cam->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &value), E_FAIL);
    EXPECT_EQ(cam->GetInterfaceSafetyOptions(IID_IDispatch, &value, nullptr), E_FAIL);
}

// --- Property bags

TEST(PropertyBag, LoadAppliesTheParamsInMapOrderAndSkipsMissingNames) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(cam.query(IID_IPersistPropertyBag, persist), S_OK);
    auto bag = ComPtr<camhost::ParamBag>::attach(new camhost::ParamBag(
        {{L"URL", L"http://127.0.0.1:8081/video.cgi"}, {L"Uname", L"admin"}, {L"Pword", L"secret"},
         {L"Stretch", L"0"}, {L"_cx", L"8467"}, {L"_cy", L"6350"}}));
    ASSERT_EQ(persist->InitNew(), S_OK);
    ASSERT_EQ(persist->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(ReadNames(bag.get()), kCamImageNames);
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_URL), L"http://127.0.0.1:8081");
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_User), L"admin");
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_Password), L"secret");
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_Caption), L"<null>");  // not in the bag: untouched
    LONG stretch = -1;
    cam->get_Stretch(&stretch);
    EXPECT_EQ(stretch, 0);
    ComPtr<IOleObject> ole;
    ASSERT_EQ(cam.query(IID_IOleObject, ole), S_OK);
    SIZEL extent{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, 8467);
    EXPECT_EQ(extent.cy, 6350);
    EXPECT_EQ(bag->References(), 1);

    // A PARAM that cannot be converted is passed over; the others still apply.
    auto odd = ComPtr<camhost::ParamBag>::attach(
        new camhost::ParamBag({{L"AutoSize", L"sometimes"}, {L"Stretch", L"wide"}, {L"Uname", L"second"}}));
    ASSERT_EQ(persist->Load(odd.get(), nullptr), S_OK);
    cam->get_Stretch(&stretch);
    EXPECT_EQ(stretch, 0);
    VARIANT_BOOL autoSize = VARIANT_TRUE;
    cam->get_AutoSize(&autoSize);
    EXPECT_EQ(autoSize, VARIANT_FALSE);
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_User), L"second");  // read after AutoSize
}

TEST(PropertyBag, SaveWritesEveryEntryUnderItsName) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    cam->put_User(BStr(L"viewer").get());
    cam->put_Stretch(0);
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(cam.query(IID_IPersistPropertyBag, persist), S_OK);
    auto bag = ComPtr<MemoryPropertyBag>::attach(new MemoryPropertyBag);
    ASSERT_EQ(persist->Save(bag.get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(bag->writes, kCamImageNames);
    EXPECT_EQ(V_VT(bag->Find(L"_cx")), VT_UI4);
    EXPECT_EQ(V_VT(bag->Find(L"Enabled")), VT_BOOL);
    EXPECT_EQ(V_BOOL(bag->Find(L"Enabled")), VARIANT_TRUE);
    EXPECT_EQ(Text(V_BSTR(bag->Find(L"Uname"))), L"viewer");
    EXPECT_EQ(V_VT(bag->Find(L"Stretch")), VT_I4);
    EXPECT_EQ(V_I4(bag->Find(L"Stretch")), 0);
}

TEST(PropertyBag, SettingsPanelAndRecordingStripNames) {
    ComPtr<IPersistPropertyBag> panel = Make<IPersistPropertyBag>(CLSID_CImgCtrl, IID_IPersistPropertyBag);
    auto bag = ComPtr<camhost::ParamBag>::attach(
        new camhost::ParamBag({{L"Uname", L"admin"}, {L"URL", L"http://127.0.0.1:8081/video.cgi"}}));
    ASSERT_EQ(panel->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(ReadNames(bag.get()), std::vector<std::wstring>(kCamImageNames.begin(), kCamImageNames.end() - 1));
    ComPtr<ICImgCtrl> ctrl;
    ASSERT_EQ(panel.query(IID_ICImgCtrl, ctrl), S_OK);
    BStr user, url;
    ctrl->get_User(user.put());
    ctrl->get_URL(url.put());
    EXPECT_EQ(Text(user.get()), L"admin");
    EXPECT_EQ(Text(url.get()), L"127.0.0.1");  // the panel keeps the host name only

    ComPtr<IPersistPropertyBag> rec = Make<IPersistPropertyBag>(CLSID_CRec, IID_IPersistPropertyBag);
    auto recBag = ComPtr<MemoryPropertyBag>::attach(new MemoryPropertyBag);
    ASSERT_EQ(rec->Save(recBag.get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(recBag->writes, (std::vector<std::wstring>{L"_cx", L"_cy"}));
}

// --- Streams and storages

TEST(PersistStream, RoundTripThroughAStream) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    cam->put_URL(BStr(L"http://127.0.0.1:8082/video.cgi").get());
    cam->put_User(BStr(L"u\u00e9").get());
    cam->put_Stretch(0);
    cam->put_Caption(BStr(L"front door").get());
    cam->put_AutoSize(VARIANT_TRUE);
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(cam.query(IID_IPersistStreamInit, persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER size{}, end{};
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(size.QuadPart, end.QuadPart);

    ComPtr<ICamImage> copy = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    ComPtr<IPersistStreamInit> loader;
    ASSERT_EQ(copy.query(IID_IPersistStreamInit, loader), S_OK);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(loader->Load(stream.get()), S_OK);
    EXPECT_EQ(GetText(copy.get(), &ICamImage::get_URL), L"http://127.0.0.1:8082");
    EXPECT_EQ(GetText(copy.get(), &ICamImage::get_User), L"u\u00e9");
    EXPECT_EQ(GetText(copy.get(), &ICamImage::get_Password), L"<null>");
    EXPECT_EQ(GetText(copy.get(), &ICamImage::get_Caption), L"front door");
    LONG stretch = -1;
    copy->get_Stretch(&stretch);
    EXPECT_EQ(stretch, 0);
    VARIANT_BOOL autoSize = VARIANT_FALSE;
    copy->get_AutoSize(&autoSize);
    EXPECT_EQ(autoSize, VARIANT_TRUE);
}

TEST(PersistStream, DamagedStreamsAreRefused) {
    ComPtr<IPersistStreamInit> persist = Make<IPersistStreamInit>(CLSID_CamImage, IID_IPersistStreamInit);
    ComPtr<IStream> good;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, good.put()), S_OK);
    ASSERT_EQ(persist->Save(good.get(), FALSE), S_OK);
    STATSTG stat{};
    good->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    good->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    good->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);

    auto load = [&](const std::vector<BYTE>& data) {
        ComPtr<IStream> s;
        CreateStreamOnHGlobal(nullptr, TRUE, s.put());
        s->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
        s->Seek(zero, STREAM_SEEK_SET, nullptr);
        ComPtr<IPersistStreamInit> target = Make<IPersistStreamInit>(CLSID_CamImage, IID_IPersistStreamInit);
        return target->Load(s.get());
    };
    EXPECT_EQ(load(bytes), S_OK);
    for (size_t cut : {size_t(0), size_t(5), bytes.size() - 1}) {
        std::vector<BYTE> truncated(bytes.begin(), bytes.begin() + cut);
        EXPECT_TRUE(FAILED(load(truncated))) << cut;
    }
    std::vector<BYTE> wrongVersion = bytes;
    wrongVersion[0] ^= 0xFF;
    EXPECT_TRUE(FAILED(load(wrongVersion)));
    // The first text (Caption, null here) claims 2 GB.
    std::vector<BYTE> huge = bytes;
    size_t captionLength = 12 + 2 + 2 + 2;  // header, AutoSize entry, Caption's type
    ASSERT_EQ(huge[captionLength - 2], VT_BSTR);
    huge[captionLength] = 0xFE;
    huge[captionLength + 1] = 0xFF;
    huge[captionLength + 2] = 0xFF;
    huge[captionLength + 3] = 0x7F;
    EXPECT_TRUE(FAILED(load(huge)));
}

TEST(PersistStorage, RoundTripThroughContentsStream) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    cam->put_Password(BStr(L"pw").get());
    ComPtr<IPersistStorage> persist;
    ASSERT_EQ(cam.query(IID_IPersistStorage, persist), S_OK);
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.put()),
              S_OK);
    ASSERT_EQ(persist->Save(storage.get(), FALSE), S_OK);
    ASSERT_EQ(persist->SaveCompleted(nullptr), S_OK);

    ComPtr<ICamImage> copy = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    ComPtr<IPersistStorage> loader;
    ASSERT_EQ(copy.query(IID_IPersistStorage, loader), S_OK);
    ASSERT_EQ(loader->Load(storage.get()), S_OK);
    EXPECT_EQ(GetText(copy.get(), &ICamImage::get_Password), L"pw");
}

// --- Property-change notification and stock properties

TEST(PropertyNotify, StockPropertiesAskThenNotify) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(cam.query(IID_IConnectionPointContainer, cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.put()), S_OK);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(cpc->FindConnectionPoint(DIID__ICamImageEvents, none.put()), CONNECT_E_NOCONNECTION);
    IID iid{};
    cp->GetConnectionInterface(&iid);
    EXPECT_TRUE(IsEqualIID(iid, IID_IPropertyNotifySink));

    auto sink = ComPtr<NotifySink>::attach(new NotifySink);
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(sink->References(), 2);

    ASSERT_EQ(cam->put_Caption(BStr(L"hall").get()), S_OK);
    ASSERT_EQ(cam->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(cam->put_AutoSize(VARIANT_TRUE), S_OK);
    std::vector<std::pair<std::string, DISPID>> expected = {
        {"request", DISPID_CAPTION}, {"changed", DISPID_CAPTION}, {"request", DISPID_ENABLED},
        {"changed", DISPID_ENABLED}, {"request", DISPID_AUTOSIZE}, {"changed", DISPID_AUTOSIZE}};
    EXPECT_EQ(sink->events, expected);

    // A refusal changes nothing and says so with S_FALSE.
    sink->events.clear();
    sink->refuse = true;
    EXPECT_EQ(cam->put_Caption(BStr(L"garden").get()), S_FALSE);
    EXPECT_EQ(sink->events, (std::vector<std::pair<std::string, DISPID>>{{"request", DISPID_CAPTION}}));
    EXPECT_EQ(GetText(cam.get(), &ICamImage::get_Caption), L"hall");
    VARIANT_BOOL enabled = VARIANT_TRUE;
    cam->get_Enabled(&enabled);
    EXPECT_EQ(enabled, VARIANT_FALSE);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(cp->EnumConnections(connections.put()), S_OK);
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].dwCookie, cookie);
    data[0].pUnk->Release();
    connections = nullptr;  // the enumerator's snapshot holds the sink too

    EXPECT_EQ(cp->Unadvise(cookie + 100), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink->References(), 1);
    sink->events.clear();
    cam->put_Caption(BStr(L"x").get());
    EXPECT_TRUE(sink->events.empty());
}

TEST(PropertyNotify, ConnectionPointsEnumerateAndRefuseOtherSinks) {
    ComPtr<IConnectionPointContainer> cpc =
        Make<IConnectionPointContainer>(CLSID_CamImage, IID_IConnectionPointContainer);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(cpc->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* cp[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, cp, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(cp[0]->GetConnectionPointContainer(back.put()), S_OK);
    EXPECT_EQ(back.get(), cpc.get());
    DWORD cookie = 7;
    auto notASink = ComPtr<MemoryPropertyBag>::attach(new MemoryPropertyBag);
    EXPECT_EQ(cp[0]->Advise(notASink.get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    cp[0]->Release();
}

TEST(OleObject, ExtentMiscStatusAndUserType) {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<IOleObject> ole = Make<IOleObject>(CLSID_CamImage, IID_IOleObject);
    SIZEL size = {1000, 2000};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    SIZEL back{};
    EXPECT_EQ(ole->GetExtent(DVASPECT_CONTENT, &back), S_OK);
    EXPECT_EQ(back.cx, 1000);
    EXPECT_EQ(back.cy, 2000);
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &size), DV_E_DVASPECT);
    DWORD misc = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 131473u);
    LPOLESTR type = nullptr;
    ASSERT_EQ(ole->GetUserType(USERCLASSTYPE_FULL, &type), S_OK);
    EXPECT_STREQ(type, L"CamImage Class");
    CoTaskMemFree(type);
    CLSID clsid{};
    EXPECT_EQ(ole->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_CamImage));
}

// --- View and data advice outside in-place activation

namespace {

class CountingAdviseSink : public camhost::HeapObject<IAdviseSink> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, ppv, {{&IID_IAdviseSink, this}});
    }
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override { ++dataChanges; }
    STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG) override {
        if (aspect == DVASPECT_CONTENT) ++viewChanges;
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closes; }
    int viewChanges = 0, dataChanges = 0, closes = 0;
};

}  // namespace

TEST(ViewObject, ChangesReachTheViewAndDataSinks) {
    ComPtr<ICamImage> cam = Make<ICamImage>(CLSID_CamImage, IID_ICamImage);
    ComPtr<IViewObject2> view;
    ASSERT_EQ(cam.query(IID_IViewObject2, view), S_OK);
    auto viewSink = ComPtr<CountingAdviseSink>::attach(new CountingAdviseSink);
    auto dataSink = ComPtr<CountingAdviseSink>::attach(new CountingAdviseSink);
    auto oleSink = ComPtr<CountingAdviseSink>::attach(new CountingAdviseSink);
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, viewSink.get()), S_OK);
    DWORD aspects = 0;
    ComPtr<IAdviseSink> back;
    ASSERT_EQ(view->GetAdvise(&aspects, nullptr, back.put()), S_OK);
    EXPECT_EQ(back.get(), static_cast<IAdviseSink*>(viewSink.get()));
    back = nullptr;

    ComPtr<IDataObject> data;
    ASSERT_EQ(cam.query(IID_IDataObject, data), S_OK);
    FORMATETC any = {0, nullptr, DVASPECT_CONTENT, -1, TYMED_NULL};
    DWORD cookie = 0;
    ASSERT_EQ(data->DAdvise(&any, ADVF_NODATA, dataSink.get(), &cookie), S_OK);

    cam->put_Stretch(0);  // a display option: the view changes
    EXPECT_EQ(viewSink->viewChanges, 1);
    cam->put_Caption(BStr(L"x").get());  // a stock property: view and data change
    EXPECT_EQ(viewSink->viewChanges, 2);
    EXPECT_EQ(dataSink->dataChanges, 1);
    cam->UpdateView();
    EXPECT_EQ(viewSink->viewChanges, 3);

    EXPECT_EQ(data->DUnadvise(cookie), S_OK);
    cam->put_Caption(BStr(L"y").get());
    EXPECT_EQ(dataSink->dataChanges, 1);

    ComPtr<IOleObject> ole;
    ASSERT_EQ(cam.query(IID_IOleObject, ole), S_OK);
    DWORD oleCookie = 0;
    ASSERT_EQ(ole->Advise(oleSink.get(), &oleCookie), S_OK);
    ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(oleSink->closes, 1);
    EXPECT_EQ(ole->Unadvise(oleCookie), S_OK);
    view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
    EXPECT_EQ(viewSink->References(), 1);
}

TEST(ViewObject, DrawAndMetafileData) {
    ComPtr<IViewObjectEx> view = Make<IViewObjectEx>(CLSID_CRec, IID_IViewObjectEx);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    RECTL bounds = {0, 0, 50, 40};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, mem, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, mem, nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, mem, &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    RECT r = {0, 0, 10, 10};
    DWORD hit = 0;
    EXPECT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &r, POINT{5, 5}, 0, &hit), S_OK);
    EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_HIT));
    EXPECT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &r, POINT{15, 5}, 0, &hit), S_OK);
    EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_OUTSIDE));

    ComPtr<IDataObject> data;
    ASSERT_EQ(view.query(IID_IDataObject, data), S_OK);
    FORMATETC mf = {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&mf), S_OK);
    EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&mf, &medium), S_OK);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_MFPICT));
    auto* pict = static_cast<METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
    ASSERT_NE(pict, nullptr);
    EXPECT_EQ(pict->mm, MM_ANISOTROPIC);
    EXPECT_EQ(pict->xExt, 5080);
    GlobalUnlock(medium.hMetaFilePict);
    ReleaseStgMedium(&medium);
    EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);
}
