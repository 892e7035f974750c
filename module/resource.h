// Resource ids of the control module.
#pragma once

#define IDS_PROJNAME 100
#define IDB_CAMIMAGE 101
#define IDR_CAMIMAGE 102
#define IDB_CIMGCTRL 103
#define IDR_CIMGCTRL 104
#define IDB_CREC 106
#define IDR_CREC 107
