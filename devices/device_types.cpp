#include "devices/device_types.h"

#include "devices/families.h"

// Every device type, one line each; the index of each is its DEV_TYPE_INDEX. A new type: its
// family file (devices/family_*.cpp, a record built with devices/catalogue.h), its declaration
// in devices/families.h, one line here and DEV_TYPE_COUNT one higher.
constinit const std::array<const DeviceType*, DEV_TYPE_COUNT> DeviceTypeTable = {
    &DEVTYPE_Home,      // DEV_TYPE_HOME
    &DEVTYPE_Quill,     // DEV_TYPE_QUILL
    &DEVTYPE_Graph,     // DEV_TYPE_GRAPH
    &DEVTYPE_Amprix,    // DEV_TYPE_AMPRIX
    &DEVTYPE_Levra,     // DEV_TYPE_LEVRA
    &DEVTYPE_Rv100,     // DEV_TYPE_RV100_30
    &DEVTYPE_Rv140,     // DEV_TYPE_RV140_30
    &DEVTYPE_Rv75,      // DEV_TYPE_RV75_40
    &DEVTYPE_Celton100, // DEV_TYPE_CELTON
    &DEVTYPE_Celton102, // DEV_TYPE_CELTON_V2
    &DEVTYPE_Celton101, // DEV_TYPE_CELTON_101
    &DEVTYPE_Celton103, // DEV_TYPE_CELTON_103
    &DEVTYPE_Celton104, // DEV_TYPE_CELTON_104
    &DEVTYPE_Brant,     // DEV_TYPE_BRANT
    &DEVTYPE_BrantV2,   // DEV_TYPE_BRANT_V2
    &DEVTYPE_Corvo502,  // DEV_TYPE_CORVO_502
    &DEVTYPE_Corvo501,  // DEV_TYPE_CORVO_501
    &DEVTYPE_Corvo500,  // DEV_TYPE_CORVO_500
    &DEVTYPE_Corvo510,  // DEV_TYPE_CORVO_510
    &DEVTYPE_Corvo511,  // DEV_TYPE_CORVO_511
    &DEVTYPE_Corvo512,  // DEV_TYPE_CORVO_512
};

const DeviceType* DEV_FindSearchType(uint32_t type_id) {
    for (int i = DEV_TYPE_FIRST_SEARCHED; i < DEV_TYPE_COUNT; ++i)
        if (DeviceTypeTable[i]->type_id == type_id) return DeviceTypeTable[i];
    return nullptr;
}
