// The type records the family files define, in the order of the table. Only the family files
// and the table include this; everybody else reaches a type through DeviceTypeTable.
#pragma once

#include "devices/device_types.h"

// devices/family_display.cpp
extern const DeviceType DEVTYPE_Home;
extern const DeviceType DEVTYPE_Quill;
extern const DeviceType DEVTYPE_Graph;
extern const DeviceType DEVTYPE_Amprix;
extern const DeviceType DEVTYPE_Levra;
// devices/family_rv.cpp
extern const DeviceType DEVTYPE_Rv100;
extern const DeviceType DEVTYPE_Rv140;
extern const DeviceType DEVTYPE_Rv75;
// devices/family_celton.cpp
extern const DeviceType DEVTYPE_Celton100;
extern const DeviceType DEVTYPE_Celton102;
extern const DeviceType DEVTYPE_Celton101;
extern const DeviceType DEVTYPE_Celton103;
extern const DeviceType DEVTYPE_Celton104;
// devices/family_brant.cpp
extern const DeviceType DEVTYPE_Brant;
extern const DeviceType DEVTYPE_BrantV2;
// devices/family_corvo.cpp
extern const DeviceType DEVTYPE_Corvo502;
extern const DeviceType DEVTYPE_Corvo501;
extern const DeviceType DEVTYPE_Corvo500;
extern const DeviceType DEVTYPE_Corvo510;
extern const DeviceType DEVTYPE_Corvo511;
extern const DeviceType DEVTYPE_Corvo512;
