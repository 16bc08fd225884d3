#include "comm/master.h"

#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/mb_frame.h"
#include "comm/mb_ui.h"
#include "config/settings.h"
#include "devices/device_list.h"

#include <algorithm>
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
constexpr const auto& kPageKeys = DEV_GROUP_NAME_KEYS;

// The largest read: its answer (header, function code, byte count, two bytes a register) must
// fit the receive buffer, and the protocol allows at most 125 registers a request.
static_assert(MB_MBAP_SIZE + 2 + 2 * MASTER_MAX_CHUNK <= MB_BUFFER_SIZE);
static_assert(MASTER_MAX_CHUNK >= 1 && MASTER_MAX_CHUNK <= 125);

std::atomic<int> g_pause_ms{100};

// One posted single-register write's value and its place in the posting order. A slot is
// taken by the poster and given back by the master task when it takes the message from the
// queue. One more slot than the queue holds messages, so that a full queue, not the slots, is
// what refuses a write.
struct WriteSlot {
    std::atomic<bool> used{false};
    uint16_t value = 0;
    uint32_t sequence = 0;
};
std::array<WriteSlot, QUEUE_CAPACITY + 1> g_write_slots;
std::atomic<uint32_t> g_next_sequence{0};

// Writes taken from the master queue and not yet sent, oldest first. The queue hands out the
// newest message first, so the writes are put back into posting order here; the master task
// sends them before its next poll request. Only the master task touches it.
struct PendingWrite {
    int32_t unit_id;
    int32_t address;
    int32_t count;
    uint16_t* data; // another sender's values; nullptr: `value`
    uint16_t value;
    uint32_t sequence;
};
std::array<PendingWrite, MASTER_WRITE_FIFO_SIZE> g_writes;
std::atomic<Master_PollHook> g_poll_hook{nullptr};
int g_write_first = 0;
int g_write_count = 0;

// Searches and reads taken from the queue while writes were looked for, served one per pass
// of the master task as before.
constexpr int kCommandFifoSize = 16;
std::array<MasterMessage, kCommandFifoSize> g_commands;
int g_command_first = 0;
int g_command_count = 0;

void Pause() {
    APP_SleepMs(g_pause_ms.load(std::memory_order_relaxed));
}

bool Connected() {
    return MB_GetConnected(&g_mb_context) == 1;
}

PendingWrite& WriteAt(int k) {
    return g_writes[static_cast<size_t>((g_write_first + k) % MASTER_WRITE_FIFO_SIZE)];
}

// True when a was posted before b (the sequence numbers may wrap).
bool PostedBefore(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

// Puts a write taken from the queue into its place by posting order. When all places are
// taken the oldest pending write goes: the newest press is what the user wants now.
void AddWrite(const MasterMessage& message) {
    PendingWrite write{
        message.unit_id, message.start_address, message.register_count, message.data, 0, 0};
    bool from_slot = false;
    for (WriteSlot& slot : g_write_slots) {
        if (message.data != &slot.value) continue;
        write.data = nullptr;
        write.value = slot.value;
        write.sequence = slot.sequence;
        slot.used.store(false, std::memory_order_release);
        from_slot = true;
        break;
    }
    // Another sender's write counts as posted now.
    if (!from_slot) write.sequence = g_next_sequence.fetch_add(1, std::memory_order_relaxed);

    if (g_write_count == MASTER_WRITE_FIFO_SIZE) {
        const PendingWrite& oldest = WriteAt(0);
        DBG_Printf("Too many pending writes, write to slave id:%d dropped\n", oldest.unit_id);
        g_write_first = (g_write_first + 1) % MASTER_WRITE_FIFO_SIZE;
        --g_write_count;
    }
    int k = g_write_count;
    for (; k > 0 && PostedBefore(write.sequence, WriteAt(k - 1).sequence); --k)
        WriteAt(k) = WriteAt(k - 1);
    WriteAt(k) = write;
    ++g_write_count;
}

void AddCommand(const MasterMessage& message) {
    if (g_command_count == kCommandFifoSize) {
        DBG_Printf("Too many pending commands, command %d dropped\n", message.kind);
        return;
    }
    g_commands[static_cast<size_t>((g_command_first + g_command_count) % kCommandFifoSize)] =
        message;
    ++g_command_count;
}

bool TakeCommand(MasterMessage* message) {
    if (g_command_count == 0) return false;
    *message = g_commands[static_cast<size_t>(g_command_first)];
    g_command_first = (g_command_first + 1) % kCommandFifoSize;
    --g_command_count;
    return true;
}

// Empties the master queue: writes into their FIFO, everything else into the command FIFO.
void TakeMessages() {
    MasterMessage message{};
    for (int n = 0; n < QUEUE_CAPACITY && QUEUE_Receive(&g_master_queue, &message) == 0; ++n) {
        if (message.kind == MB_CMD_WRITE)
            AddWrite(message);
        else
            AddCommand(message);
    }
}

// Reads one chunk of `unit_id` into the store; the entry's state says whether it arrived.
// False when it did not.
bool ReadChunk(DeviceEntry& entry, int32_t unit_id, int32_t address, int32_t count) {
    MB_MasterContext* context = &g_mb_context;
    MB_BuildReadRequest(static_cast<uint8_t>(unit_id), static_cast<uint16_t>(address),
                        static_cast<uint16_t>(count), context);
    Master_WaitResponse();
    if (MB_StoreDeviceRegisters(context) != 0) {
        entry.state.store(0, std::memory_order_relaxed);
        DBG_Printf("Slave id:%d MB Error!\n", unit_id);
        MB_ClearResponse(context);
        return false;
    }
    entry.state.store(1, std::memory_order_relaxed);
    MB_ClearResponse(context);
    return true;
}

// Where member k of a display group is polled: blocks at 0, 2000, 3000, ..., 11000.
int32_t GroupBlock(int32_t k) {
    return k == 0 ? 0 : REG_STORE_ROW * (k + 1);
}

// One polling chunk: the entry it is read for, its first register and its register count.
struct PollChunk {
    int32_t index = -1;
    int32_t first = 0;
    int32_t count = 0;
};

// The chunk a polling cycle reads `address` of `unit_id` in, found the way the cycle walks
// the polled entries. index -1 when no poll reads that register.
PollChunk FindPollChunk(int32_t unit_id, int32_t address) {
    PollChunk chunk;
    const int32_t polled = g_device_list.polled_count.load(std::memory_order_acquire);
    int32_t i = 0;
    for (; i < polled; ++i)
        if (g_device_list.entries[static_cast<size_t>(i)].unit_id.load(std::memory_order_relaxed) ==
            unit_id)
            break;
    if (i == polled) return chunk;
    const bool group = unit_id == Reg_Get(g_register_store.data(), kRegisterUnitId);
    const int32_t members = group ? DEV_GROUP_SIZE : 1;
    for (int32_t k = 0; k < members && i + k < DEV_LIST_SIZE; ++k) {
        const DeviceType* type =
            g_device_list.entries[static_cast<size_t>(i + k)].type.load(std::memory_order_relaxed);
        if (type == nullptr) continue;
        const int32_t block = group ? GroupBlock(k) : 0;
        if (address < block || address >= block + type->poll_count) continue;
        chunk.index = i + k;
        chunk.first = block + (address - block) / MASTER_MAX_CHUNK * MASTER_MAX_CHUNK;
        chunk.count = std::min(MASTER_MAX_CHUNK, block + type->poll_count - chunk.first);
        return chunk;
    }
    return chunk;
}

bool SameChunk(const PollChunk& a, const PollChunk& b) {
    return a.index == b.index && a.first == b.first;
}

// Sends every pending write, oldest first, each followed by the pause before the next request.
// After a write the polling chunk holding its register is read back at once, so the page
// shows what the device now holds instead of waiting for the device's turn in the cycle.
// Writes one after another into the same chunk share the read-back after the last of them.
void ServeWrites() {
    while (g_write_count > 0 && !APP_StopRequested()) {
        PendingWrite write = WriteAt(0);
        g_write_first = (g_write_first + 1) % MASTER_WRITE_FIFO_SIZE;
        --g_write_count;
        MasterMessage message{};
        message.kind = MB_CMD_WRITE;
        message.unit_id = write.unit_id;
        message.start_address = write.address;
        message.register_count = write.count;
        message.data = write.data != nullptr ? write.data : &write.value;
        DBG_Printf("MODBUS MASTER TASK: GOT MESSAGE\n");
        DBG_Printf("MODBUS MASTER TASK: Write multiple register start\n");
        Master_WriteRegisters(&message);
        DBG_Printf("MODBUS MASTER TASK: Write multiple register complete\n");
        Pause();
        if (!Connected()) continue;
        const PollChunk chunk = FindPollChunk(write.unit_id, write.address);
        if (chunk.index < 0) continue;
        if (g_write_count > 0 &&
            SameChunk(chunk, FindPollChunk(WriteAt(0).unit_id, WriteAt(0).address)))
            continue;
        if (APP_StopRequested()) return;
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(chunk.index)];
        ReadChunk(entry, write.unit_id, chunk.first, chunk.count);
        // A listener hears of the device's answer now, not at the end of the cycle.
        if (Master_PollHook hook = g_poll_hook.load(std::memory_order_acquire))
            hook(chunk.index, 1);
        Pause();
    }
}

// Reads `count` registers of `unit_id` from `first` into the unit's window in chunks of at
// most 100, each after the pause; the entry's state says whether every chunk arrived.
void PollBlock(DeviceEntry& entry, int32_t unit_id, int32_t first, int32_t count) {
    int32_t remaining = count;
    int32_t address = first;
    while (remaining != 0) {
        Pause();
        if (APP_StopRequested()) return;
        // Writes posted meanwhile go first, so a press does not wait for the whole cycle.
        TakeMessages();
        ServeWrites();
        if (!Connected() || APP_StopRequested()) return;
        const int32_t chunk = remaining <= MASTER_MAX_CHUNK ? remaining : MASTER_MAX_CHUNK;
        if (!ReadChunk(entry, unit_id, address, chunk)) return;
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
        const int32_t first = i;
        int32_t polled = 1;
        if (unit_id == Reg_Get(g_register_store.data(), kRegisterUnitId)) {
            i = Master_PollDisplayGroup(unit_id, i);
            polled = DEV_GROUP_SIZE;
        } else if (const DeviceType* type = entry.type.load(std::memory_order_relaxed)) {
            PollBlock(entry, unit_id, 0, type->poll_count);
        } else {
            continue;
        }
        if (Master_PollHook hook = g_poll_hook.load(std::memory_order_acquire)) hook(first, polled);
    }
}

void Master_SetPollHook(Master_PollHook hook) {
    g_poll_hook.store(hook, std::memory_order_release);
}

int32_t Master_PollDisplayGroup(int32_t unit_id, int32_t first) {
    for (int32_t k = 0; k < DEV_GROUP_SIZE; ++k) {
        if (!Connected() || APP_StopRequested()) return 1;
        const int32_t index = first + k;
        if (index < 0 || index >= DEV_LIST_SIZE) break;
        DeviceEntry& member = g_device_list.entries[static_cast<size_t>(index)];
        const DeviceType* type = member.type.load(std::memory_order_relaxed);
        if (type == nullptr) continue;
        PollBlock(member, unit_id, GroupBlock(k), type->poll_count);
    }
    return first + DEV_GROUP_SIZE - 1;
}

int Master_PostWrite(int32_t unit_id, int32_t address, uint16_t value) {
    for (WriteSlot& slot : g_write_slots) {
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true, std::memory_order_acquire)) continue;
        slot.value = value;
        slot.sequence = g_next_sequence.fetch_add(1, std::memory_order_relaxed);
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
    APP_NameThread("master-task");
    // A task started again in the same process does not send what its earlier run left.
    g_write_first = g_write_count = 0;
    g_command_first = g_command_count = 0;
    while (!APP_StopRequested()) {
        TakeMessages();
        ServeWrites();
        MasterMessage message{};
        if (TakeCommand(&message)) {
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
