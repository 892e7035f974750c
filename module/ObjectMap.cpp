#include "module/ObjectMap.h"

#include "liveview/CCamImage.h"
#include "module/resource.h"
#include "recording/CRec.h"
#include "settings/CCImgCtrl.h"

namespace qern {

const ClassEntry* ObjectMap(size_t& count) {
    static const ClassEntry entries[] = {
        {&CLSID_CamImage, IDR_CAMIMAGE, &ComObject<CCamImage>::Create},
        {&CLSID_CImgCtrl, IDR_CIMGCTRL, &ComObject<CCImgCtrl>::Create},
        {&CLSID_CRec, IDR_CREC, &ComObject<CRec>::Create},
    };
    count = sizeof(entries) / sizeof(entries[0]);
    return entries;
}

}  // namespace qern
