#include "comm/master.h"

#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/mb_frame.h"
#include "comm/mb_ui.h"
#include "config/settings.h"
#include "devices/device_list.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Language texts of the search.
constexpr int kTextUnknownDevice = 169;
constexpr int kTextAtUnit = 171;
constexpr int kTextNoAnswer = 172;
constexpr int kTextSearching = 173;
constexpr int kTextFound = 174;
constexpr int kTextSearchDone = 175;
constexpr int kTextFirstLevelName = 190;

// The display map's registers read here.
constexpr int32_t kRegisterUnitId = 16;
constexpr int32_t kRegisterIdentity = 2;
constexpr int32_t kRegisterRevision = 9;
constexpr int32_t kRegisterIpAddress = 159;

// Names of the display group's members in the names file, in member order.
constexpr const char* kPageKeys[DEV_GROUP_SIZE] = {"QUILL",  "HOME",   "GRAPH",  "AMPRX1",
                                                   "AMPRX2", "AMPRX3", "AMPRX4", "LEVEL1",
                                                   "LEVEL2", "LEVEL3", "LEVEL4"};

std::atomic<int> g_pause_ms{100};

// One pending single-register write's value. A slot is taken by the poster and given back by
// the master task once the value is in the request frame. One more slot than the queue holds
// messages, so that a full queue, not the slots, is what refuses a write.
struct WriteSlot {
    std::atomic<bool> used{false};
    uint16_t value = 0;
};
std::array<WriteSlot, QUEUE_CAPACITY + 1> g_write_slots;

void Pause() {
    APP_SleepMs(g_pause_ms.load(std::memory_order_relaxed));
}

bool Connected() {
    return MB_GetConnected(&g_mb_context) == 1;
}

void ReleaseWriteSlot(const uint16_t* data) {
    for (WriteSlot& slot : g_write_slots) {
        if (&slot.value == data) {
            slot.used.store(false, std::memory_order_release);
            return;
        }
    }
}

// Reads `count` registers of `unit_id` from `first` into the unit's window in chunks of at
// most 100, each after the pause; the entry's state says whether every chunk arrived.
void PollBlock(DeviceEntry& entry, int32_t unit_id, int32_t first, int32_t count) {
    MB_MasterContext* context = &g_mb_context;
    int32_t remaining = count;
    int32_t address = first;
    while (remaining != 0) {
        Pause();
        if (APP_StopRequested()) return;
        const int32_t chunk = remaining <= MASTER_MAX_CHUNK ? remaining : MASTER_MAX_CHUNK;
        MB_BuildReadRequest(static_cast<uint8_t>(unit_id), static_cast<uint16_t>(address),
                            static_cast<uint16_t>(chunk), context);
        Master_WaitResponse();
        if (MB_StoreDeviceRegisters(context) != 0) {
            entry.state.store(0, std::memory_order_relaxed);
            DBG_Printf("Slave id:%d MB Error!\n", unit_id);
            MB_ClearResponse(context);
            return;
        }
        entry.state.store(1, std::memory_order_relaxed);
        MB_ClearResponse(context);
        address += chunk;
        remaining -= chunk;
    }
}

// The banner during the search: progress text and found-count text side by side.
void ShowSearchBanner(const char* progress, const char* found) {
    char banner[200];
    std::snprintf(banner, sizeof banner, "%s %s", progress, found);
    MB_StatusSetText(banner);
}

// "<found> <label> <at unit> <unit id>" to the diagnostic output and the information list.
void ReportFound(const char* label, int32_t unit_id) {
    char line[200];
    std::snprintf(line, sizeof line, "%s %s %s %d\n", MB_GetText(kTextFound), label,
                  MB_GetText(kTextAtUnit), unit_id);
    DBG_Printf("%s", line);
    MB_InfoAddLine(line);
}

// The custom names of every listed device from the display unit's names file, and the
// display unit's address and revision in the information window's title.
void LoadCustomNames() {
    const RegisterCell* map = g_register_store.data();
    ConfigIdentity identity;
    for (int32_t r = 0; r < 6; ++r)
        identity.words[static_cast<size_t>(r)] = Reg_Get(map, kRegisterIdentity + r);
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count;) {
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        if (!DEV_IsDisplayMember(entry)) {
            CONFIG_GetDeviceName(identity, i, entry.custom_name, CONFIG_NAME_SIZE);
            ++i;
            continue;
        }
        const uint16_t ip_low = Reg_Get(map, kRegisterIpAddress);
        const uint16_t ip_high = Reg_Get(map, kRegisterIpAddress + 1);
        MB_InfoSetTitle(ip_low & 0xFF, ip_low >> 8, ip_high & 0xFF, ip_high >> 8,
                        Reg_Get(map, kRegisterRevision), Reg_Get(map, kRegisterRevision + 1),
                        Reg_Get(map, kRegisterRevision + 2));
        for (int32_t k = 0; k < DEV_GROUP_SIZE && i + k < count; ++k) {
            DeviceEntry& member = g_device_list.entries[static_cast<size_t>(i + k)];
            CONFIG_GetPageName(identity, kPageKeys[k], member.custom_name, CONFIG_NAME_SIZE);
        }
        i += DEV_GROUP_SIZE;
    }
}

} // namespace

void Master_SetPauseForTests(int milliseconds) {
    g_pause_ms.store(milliseconds >= 0 ? milliseconds : 0, std::memory_order_relaxed);
}

void Master_WaitResponse() {
    MB_MasterContext* context = &g_mb_context;
    while (MB_GetResponseReady(context) == 0 && MB_GetError(context) == 0) {
        if (!Connected() || APP_StopRequested()) {
            // Not taken yet: withdrawn, the connection task will drop it.
            if (context->exchange_pending.exchange(false, std::memory_order_acq_rel)) return;
            // Taken: the connection task ends every exchange it took with one of the flags.
            while (MB_GetResponseReady(context) == 0 && MB_GetError(context) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return;
        }
        APP_SleepMs(10);
    }
}

void Master_WriteRegisters(const MasterMessage* message) {
    PARAM_CHECK(message != nullptr);
    MB_MasterContext* context = &g_mb_context;
    const int32_t unit_id = message->unit_id & 0xFF;
    MB_BuildWriteRequest(static_cast<uint8_t>(unit_id),
                         static_cast<uint16_t>(message->start_address & 0xFFFF), message->data,
                         static_cast<uint8_t>(message->register_count & 0xFF), context);
    // The value is in the frame now; its slot may carry the next write.
    ReleaseWriteSlot(message->data);
    Master_WaitResponse();
    if (MB_CheckWriteResponse(context) != 0) {
        DBG_Printf("Slave id:%d MB Error!\n", unit_id);
        MB_ClearResponse(context);
    } else {
        DBG_Printf("Send Ok\n");
    }
}

void Master_ReadRegisters(const MasterMessage* message) {
    PARAM_CHECK(message != nullptr && message->data != nullptr);
    MB_MasterContext* context = &g_mb_context;
    const int32_t address = message->start_address & 0xFFFF;
    const int32_t count = message->register_count & 0xFFFF;
    MB_BuildReadRequest(static_cast<uint8_t>(message->unit_id & 0xFF),
                        static_cast<uint16_t>(address), static_cast<uint16_t>(count), context);
    Master_WaitResponse();
    if (MB_StoreRegisters(context, message->data, address + count) != 0)
        DBG_Printf("Read Error!\n");
    else
        DBG_Printf("Read Data ok\n");
    MB_ClearResponse(context);
}

void Master_SearchBus(int32_t maximum) {
    MB_MasterContext* context = &g_mb_context;
    char progress[100];
    char found[100];
    MB_StatusShow();
    std::snprintf(progress, sizeof progress, "%s %d", MB_GetText(kTextSearching), 254);
    std::snprintf(found, sizeof found, "%s %d", MB_GetText(kTextFound), 0);
    ShowSearchBanner(progress, found);

    DEV_BeginSearch();
    int32_t offset = 0;
    for (int32_t unit_id = 1; unit_id <= MASTER_MAX_UNIT_ID; ++unit_id) {
        if (!Connected() || APP_StopRequested()) return;
        APP_SleepMs(10);
        std::snprintf(progress, sizeof progress, "%s %d/%d", MB_GetText(kTextSearching), unit_id,
                      MASTER_MAX_UNIT_ID);
        ShowSearchBanner(progress, found);

        MB_BuildReadRequest(static_cast<uint8_t>(unit_id), 0, 1, context);
        Master_WaitResponse();
        char line[200];
        if (MB_GetError(context) == 1) {
            std::snprintf(line, sizeof line, "Slave id:%d %s\n", unit_id,
                          MB_GetText(kTextNoAnswer));
            MB_InfoAddLine(line);
            MB_ClearResponse(context);
            continue;
        }
        uint16_t type_id[1] = {0};
        if (MB_StoreRegisters(context, type_id, 1) != 0) {
            DBG_Printf("MB_Master_Response_Error\n");
            MB_ClearResponse(context);
            continue;
        }
        MB_ClearResponse(context);

        if (const DeviceType* type = DEV_FindSearchType(type_id[0])) {
            if (DEV_AppendDevice(unit_id, type) >= 0) {
                const int32_t count = g_device_list.device_count.load(std::memory_order_relaxed);
                std::snprintf(found, sizeof found, "%s %d", MB_GetText(kTextFound), count - offset);
                ShowSearchBanner(progress, found);
                ReportFound(type->page_layout->short_name, unit_id);
            }
            if (g_device_list.device_count.load(std::memory_order_relaxed) == maximum) {
                DBG_Printf("Alle Geraete gefunden / Stopp Suche\n");
                break;
            }
        } else if (type_id[0] == DEV_DISPLAY_TYPE_ID) {
            // The level sensors are named by language texts; without them the group's own.
            const char* level_names[4];
            for (int k = 0; k < 4; ++k) {
                const char* text = MB_GetText(kTextFirstLevelName + k);
                level_names[k] = text[0] != '\0' ? text : nullptr;
            }
            if (DEV_CreateDisplayGroup(unit_id, level_names) >= 0) {
                offset = DEV_GROUP_SIZE - 1;
                const int32_t count = g_device_list.device_count.load(std::memory_order_relaxed);
                std::snprintf(found, sizeof found, "%s %d", MB_GetText(kTextFound), count - offset);
                ShowSearchBanner(progress, found);
                ReportFound("Quill", unit_id);
            }
        } else {
            std::snprintf(line, sizeof line, "%s %d\n", MB_GetText(kTextUnknownDevice), unit_id);
            MB_InfoAddLine(line);
        }
    }
    g_device_list.polled_count.store(g_device_list.device_count.load(std::memory_order_relaxed),
                                     std::memory_order_release);
}

void Master_FinishSearch() {
    char text[100];
    std::snprintf(text, sizeof text, "%s", MB_GetText(kTextSearchDone));
    MB_StatusSetText(text);
    Master_PollAll();
    int32_t status = STATUS_FAILED;
    if (Connected() && g_device_list.device_count.load(std::memory_order_acquire) ==
                           g_device_list.polled_count.load(std::memory_order_acquire)) {
        status = STATUS_OK;
    }
    // The names are in the entries before the GUI task hears of the result and builds the
    // pages that show them.
    LoadCustomNames();
    StatusMessage message{};
    message.status = status;
    QUEUE_Send(&g_gui_queue, &message);
}

void Master_PollAll() {
    const int32_t count = g_device_list.polled_count.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count && Connected() && !APP_StopRequested(); ++i) {
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        const int32_t unit_id = entry.unit_id.load(std::memory_order_relaxed);
        if (unit_id == Reg_Get(g_register_store.data(), kRegisterUnitId)) {
            i = Master_PollDisplayGroup(unit_id, i);
            continue;
        }
        const DeviceType* type = entry.type.load(std::memory_order_relaxed);
        if (type != nullptr) PollBlock(entry, unit_id, 0, type->poll_count);
    }
}

int32_t Master_PollDisplayGroup(int32_t unit_id, int32_t first) {
    for (int32_t k = 0; k < DEV_GROUP_SIZE; ++k) {
        if (!Connected() || APP_StopRequested()) return 1;
        const int32_t index = first + k;
        if (index < 0 || index >= DEV_LIST_SIZE) break;
        DeviceEntry& member = g_device_list.entries[static_cast<size_t>(index)];
        const DeviceType* type = member.type.load(std::memory_order_relaxed);
        if (type == nullptr) continue;
        // Blocks at 0, 2000, 3000, ..., 11000 of the display map.
        const int32_t block = k == 0 ? 0 : REG_STORE_ROW * (k + 1);
        PollBlock(member, unit_id, block, type->poll_count);
    }
    return first + DEV_GROUP_SIZE - 1;
}

int Master_PostWrite(int32_t unit_id, int32_t address, uint16_t value) {
    for (WriteSlot& slot : g_write_slots) {
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true, std::memory_order_acquire)) continue;
        slot.value = value;
        MasterMessage message{};
        message.kind = MB_CMD_WRITE;
        message.unit_id = unit_id;
        message.start_address = address;
        message.register_count = 1;
        message.data = &slot.value;
        message.reserved = 5;
        if (QUEUE_Send(&g_master_queue, &message) != 0) {
            slot.used.store(false, std::memory_order_release);
            DBG_Printf("Master queue full, write to slave id:%d dropped\n", unit_id);
            return 1;
        }
        return 0;
    }
    DBG_Printf("Master queue full, write to slave id:%d dropped\n", unit_id);
    return 1;
}

void MasterTask() {
    while (!APP_StopRequested()) {
        MasterMessage message{};
        if (QUEUE_Receive(&g_master_queue, &message) == 0) {
            Pause();
            DBG_Printf("MODBUS MASTER TASK: GOT MESSAGE\n");
            switch (message.kind) {
                case MB_CMD_WRITE:
                    DBG_Printf("MODBUS MASTER TASK: Write multiple register start\n");
                    Master_WriteRegisters(&message);
                    DBG_Printf("MODBUS MASTER TASK: Write multiple register complete\n");
                    break;
                case MB_CMD_READ:
                    DBG_Printf("MODBUS MASTER TASK: Read multiple Register start\n");
                    Master_ReadRegisters(&message);
                    DBG_Printf("MODBUS MASTER TASK: Read multiple Register complete\n");
                    break;
                case MB_CMD_SEARCH_BUS:
                    DBG_Printf("MODBUS MASTER TASK: start device search via bus\n");
                    Master_SearchBus(message.max_devices);
                    DBG_Printf("MODBUS MASTER TASK: end device search\n");
                    Master_FinishSearch();
                    break;
                case MB_CMD_SEARCH_CONFIG:
                    DBG_Printf("MODBUS MASTER TASK: start device search from config\n");
                    DBG_Printf("MODBUS MASTER TASK: end device search\n");
                    Master_FinishSearch();
                    break;
                default:
                    break;
            }
        }
        if (Connected()) Master_PollAll();
        Pause();
    }
}
