// Resource and control ids of the settings panel, its Wait box and the widget bitmaps.
#pragma once

#define IDD_CIMGCTRL 105
#define IDD_WAIT 203
#define IDB_SLIDER_THUMB 202
#define IDB_REC_FACE 205
#define IDB_STOP_FACE 206

// Controls of the panel (template 105).
#define IDC_RES_VGA 201
#define IDC_RES_QVGA 202
#define IDC_RES_QCIF 203
#define IDC_BRIGHTNESS 204
#define IDC_BRIGHTNESS_VALUE 205
#define IDC_RECORD 206
#define IDC_LIGHT_NORMAL 207
#define IDC_LIGHT_SPECIAL 208
#define IDC_RATE_SLOW 209
#define IDC_RATE_NORMAL 210
#define IDC_RATE_FAST 211
#define IDC_EXPOSURE_ON 212
#define IDC_EXPOSURE_OFF 213
#define IDC_WHITE_ON 214
#define IDC_WHITE_OFF 215
#define IDC_SHARP_LOW 216
#define IDC_SHARP_MID 217
#define IDC_SHARP_HIGH 218
#define IDC_FREQ_50 219
#define IDC_FREQ_60 220
#define IDC_MIRROR_ON 221
#define IDC_MIRROR_OFF 222
#define IDC_OVERTURN_ON 223
#define IDC_OVERTURN_OFF 224
#define IDC_CONTRAST 225
#define IDC_SATURATION 226
#define IDC_HUE 227
#define IDC_CONTRAST_VALUE 228
#define IDC_SATURATION_VALUE 229
#define IDC_HUE_VALUE 230
#define IDC_STOP 231
#define IDC_PERIOD 232
#define IDC_PATH 233
#define IDC_BROWSE 234
