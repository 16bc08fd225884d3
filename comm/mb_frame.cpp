#include "comm/mb_frame.h"

#include "base/queue.h"
#include "base/dbg.h"
#include "devices/device_list.h"

MB_MasterContext g_mb_context;

namespace {

constexpr uint8_t kReadFunction = 3;
constexpr uint8_t kWriteFunction = 16;

void PutWord(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value & 0xFF);
}

uint16_t Word(const uint8_t* at) {
    return static_cast<uint16_t>((at[0] << 8) | at[1]);
}

// Request fields, error reset and the next transaction id, in that order, then the header.
void BeginRequest(MB_MasterContext* context, uint8_t unit_id, uint8_t function,
                  uint16_t start_address, uint16_t quantity) {
    context->unit_id = unit_id;
    context->function_code = function;
    context->start_address = start_address;
    context->quantity = quantity;
    context->error.store(0, std::memory_order_release);
    context->transaction_id = static_cast<uint16_t>(context->transaction_id + 1);
    context->send_length = 0;
    uint8_t* frame = context->send_buffer;
    PutWord(frame, context->transaction_id);
    PutWord(frame + 2, 0);
    frame[6] = unit_id;
    frame[7] = function;
    PutWord(frame + 8, start_address);
    PutWord(frame + 10, quantity);
}

// The request could not go out: the waiting caller must see a failed transaction at once.
int RefuseRequest(MB_MasterContext* context) {
    context->error.store(1, std::memory_order_release);
    return 1;
}

// Ends a failed check: its message, a cleared response, its code.
int Fail(MB_MasterContext* context, const char* message, int code) {
    DBG_Printf("%s", message);
    MB_ClearResponse(context);
    return code;
}

// Copies the checked response's registers to destination[start_address + k].
int CopyRegisters(MB_MasterContext* context, RegisterCell* window, int32_t window_length) {
    const int32_t first = context->start_address;
    const int32_t count = context->quantity;
    if (first + count > window_length) {
        DBG_Printf("MB ERROR WINDOW RANGE\n");
        return MB_ERROR_WINDOW_RANGE;
    }
    // The checks guarantee 9 + 2 x quantity received bytes inside the buffer.
    const uint8_t* values = context->receive_buffer + 9;
    for (int32_t k = 0; k < count; ++k)
        Reg_Set(window, first + k, Word(values + 2 * k));
    return 0;
}

} // namespace

int MB_BuildReadRequest(uint8_t unit_id, uint16_t start_address, uint16_t quantity,
                        MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, 1);
    BeginRequest(context, unit_id, kReadFunction, start_address, quantity);
    PutWord(context->send_buffer + 4, 6);
    context->send_length = 12;
    return MB_PostToGateway(context);
}

int MB_BuildWriteRequest(uint8_t unit_id, uint16_t start_address, const uint16_t* values,
                         uint8_t count, MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, 1);
    BeginRequest(context, unit_id, kWriteFunction, start_address, count);
    if (values == nullptr || count > MB_MAX_WRITE_COUNT) {
        DBG_Printf("MB ERROR WRITE COUNT %d\n", count);
        return RefuseRequest(context);
    }
    uint8_t* frame = context->send_buffer;
    PutWord(frame + 4, static_cast<uint16_t>(7 + 2 * count));
    frame[12] = static_cast<uint8_t>(2 * count);
    for (int k = 0; k < count; ++k)
        PutWord(frame + 13 + 2 * k, values[k]);
    context->send_length = 13 + 2 * count;
    return MB_PostToGateway(context);
}

int MB_PostToGateway(MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, 1);
    GatewayMessage message{};
    message.command = GW_CMD_EXCHANGE;
    // Published before the command, so the connection task that takes it sees the frame.
    context->exchange_pending.store(true, std::memory_order_release);
    if (QUEUE_Send(&g_connection_queue, &message) != 0) {
        context->exchange_pending.store(false, std::memory_order_relaxed);
        DBG_Printf("send Queue Error");
        return RefuseRequest(context);
    }
    return 0;
}

namespace {

// The diagnostic lines of the header checks; reads and writes word them differently.
struct HeaderTexts {
    const char* too_short;
    const char* timeout;
    const char* unit;
    const char* function;
};

// The checks a read and a write response share, in this order: transaction id, protocol id,
// length field against the bytes received, at least `minimum_length` bytes, no timeout, unit
// id, function code. Returns 0 or the first failure's MB_ERROR_ code.
int CheckHeader(MB_MasterContext* context, int minimum_length, const HeaderTexts& texts) {
    const uint8_t* frame = context->receive_buffer;
    if (Word(frame) != context->transaction_id)
        return Fail(context, "MB ERROR TRANSACTION IDENT\n", MB_ERROR_TRANSACTION_IDENT);
    if (Word(frame + 2) != 0)
        return Fail(context, "MB ERROR PROTOCOLL ID\n", MB_ERROR_PROTOCOLL_ID);
    if (Word(frame + 4) != context->receive_length - 6)
        return Fail(context, "MB ERROR BYTE COUNT\n", MB_ERROR_BYTE_COUNT);
    if (context->receive_length < minimum_length)
        return Fail(context, texts.too_short, MB_ERROR_BYTE_COUNT);
    if (context->error.load(std::memory_order_acquire) == 1)
        return Fail(context, texts.timeout, MB_ERROR_TIMEOUT);
    if (frame[6] != context->unit_id) return Fail(context, texts.unit, MB_ERROR_SLAVE_ADRESS);
    if (frame[7] != context->function_code)
        return Fail(context, texts.function, MB_ERROR_FUNCTION_CODE);
    return 0;
}

constexpr HeaderTexts kReadTexts{"MB ERROR BYTE COUNT\n", "MB ERROR TIMEOUT PE\n",
                                 "MB ERROR SLAVE ADRESS\n", "MB ERROR FUNCTION CODE\n"};
constexpr HeaderTexts kWriteTexts{"MB_ERROR_BYTE_COUNT\n", "MB_ERROR_TIMEOUT\n",
                                  "MB_ERROR_SLAVE_ADRESS\n", "MB_ERROR_FUNCTION_CODE\n"};

} // namespace

int MB_CheckReadResponse(MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, MB_ERROR_TIMEOUT);
    const uint8_t* frame = context->receive_buffer;
    // The byte count at 8 says how long the frame must be.
    if (const int header = CheckHeader(context, frame[8] + 9, kReadTexts); header != 0)
        return header;
    if (frame[8] != 2 * context->quantity)
        return Fail(context, "MB ERROR BYTE COUNT 2 \n", MB_ERROR_BYTE_COUNT);
    return 0;
}

int MB_CheckWriteResponse(MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, MB_ERROR_TIMEOUT);
    const uint8_t* frame = context->receive_buffer;
    if (const int header = CheckHeader(context, 12, kWriteTexts); header != 0) return header;
    if (Word(frame + 8) != context->start_address)
        return Fail(context, "MB_ERROR_START_ADRESS\n", MB_ERROR_START_ADRESS);
    if (Word(frame + 10) != context->quantity)
        return Fail(context, "MB_ERROR_BYTE_COUNT\n", MB_ERROR_BYTE_COUNT);
    MB_ClearResponse(context);
    return 0;
}

void MB_ClearResponse(MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr);
    context->response_ready.store(0, std::memory_order_release);
    context->receive_length = 0;
}

uint8_t MB_GetResponseReady(const MB_MasterContext* context) {
    return context->response_ready.load(std::memory_order_acquire);
}

uint8_t MB_GetError(const MB_MasterContext* context) {
    return context->error.load(std::memory_order_acquire);
}

uint16_t MB_GetConnected(const MB_MasterContext* context) {
    return context->connected.load(std::memory_order_acquire);
}

int MB_StoreDeviceRegisters(MB_MasterContext* context) {
    PARAM_CHECK(context != nullptr, MB_ERROR_TIMEOUT);
    const uint8_t unit_id = context->unit_id;
    const int result = MB_CheckReadResponse(context);
    if (result != 0) return result;
    const int32_t index = DEV_FindUnit(unit_id);
    if (index < 0) return 0;
    DeviceEntry& entry = g_device_list.entries[index];
    RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
    if (window == nullptr) return 0;
    return CopyRegisters(context, window, entry.window_length.load(std::memory_order_relaxed));
}

int MB_StoreRegisters(MB_MasterContext* context, uint16_t* destination, int32_t destination_size) {
    PARAM_CHECK(context != nullptr && destination != nullptr, MB_ERROR_TIMEOUT);
    const int result = MB_CheckReadResponse(context);
    if (result != 0) return result;
    const int32_t first = context->start_address;
    const int32_t count = context->quantity;
    if (first + count > destination_size) {
        DBG_Printf("MB ERROR WINDOW RANGE\n");
        return MB_ERROR_WINDOW_RANGE;
    }
    for (int32_t k = 0; k < count; ++k)
        destination[first + k] = Word(context->receive_buffer + 9 + 2 * k);
    return 0;
}

int MB_ReadFrame(MB_ReceiveFn receive, void* source, uint8_t* buffer, int capacity,
                 int* length_field) {
    PARAM_CHECK(receive != nullptr && buffer != nullptr && capacity >= MB_MBAP_SIZE,
                MB_FRAME_FAILED);
    if (length_field != nullptr) *length_field = 0;
    int needed = MB_MBAP_SIZE;
    int received = 0;
    while (received < needed) {
        const int room = needed - received;
        const int got = receive(source, buffer + received, room);
        if (got == 0) return MB_FRAME_CLOSED;
        if (got < 0 || got > room) return MB_FRAME_FAILED;
        received += got;
        if (received == MB_MBAP_SIZE && needed == MB_MBAP_SIZE) {
            // The length counts the unit id and everything after it.
            const int length = Word(buffer + 4);
            if (length_field != nullptr) *length_field = length;
            if (length < 3 || length > capacity - 6) return MB_FRAME_BAD_LENGTH;
            needed = 6 + length;
        }
    }
    return received;
}
