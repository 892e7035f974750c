#include "module/ObjectMap.h"

#include "liveview/CCamImage.h"
#include "module/resource.h"
#include "recording/CRec.h"
#include "settings/CCImgCtrl.h"

const qern::ClassEntry* ObjectMap(size_t& count) {
    static const qern::ClassEntry entries[] = {
        {&CLSID_CamImage, IDR_CAMIMAGE, &qern::ComObject<CCamImage>::Create},
        {&CLSID_CImgCtrl, IDR_CIMGCTRL, &qern::ComObject<CCImgCtrl>::Create},
        {&CLSID_CRec, IDR_CREC, &qern::ComObject<CRec>::Create},
    };
    count = sizeof(entries) / sizeof(entries[0]);
    return entries;
}
