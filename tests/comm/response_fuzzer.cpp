// Arbitrary bytes as a gateway's answer, cut into arbitrary pieces, through the whole-frame
// reader, the response checks and the copy into the register store.
//
// Input: [mode] [start high] [start low] [quantity] [piece count] [piece sizes...] [stream...]
// mode bit 0: write instead of read; bits 1-2: unit (1 display unit, 2 meter, 3 unknown);
// bit 3: the stream's first two bytes become the request's transaction id; bit 4: the
// connection task reported an error.
#include "base/queue.h"
#include "base/dbg.h"
#include "comm/mb_frame.h"
#include "devices/device_list.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

struct Pieces {
    const uint8_t* sizes;
    size_t size_count;
    size_t next_size;
    const uint8_t* data;
    size_t length;
    size_t at;
};

int ReadPiece(void* source, uint8_t* into, int room) {
    auto* p = static_cast<Pieces*>(source);
    if (p->at >= p->length) return 0;
    int size = room;
    if (p->next_size < p->size_count) {
        const uint8_t wanted = p->sizes[p->next_size++];
        if (wanted == 0) return -1; // a socket failure at this point
        size = wanted < room ? wanted : room;
    }
    if (static_cast<size_t>(size) > p->length - p->at) size = static_cast<int>(p->length - p->at);
    std::memcpy(into, p->data + p->at, static_cast<size_t>(size));
    p->at += static_cast<size_t>(size);
    return size;
}

void Quiet(const char*, int) {}

bool SetUpOnce() {
    DBG_SetSink(Quiet);
    QUEUE_Init();
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    DEV_AppendDevice(2, DeviceTypeTable[DEV_TYPE_CORVO_500]);
    return true;
}

MB_MasterContext g_context;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = SetUpOnce();
    (void)ready;
    if (size < 5) return 0;
    const uint8_t mode = data[0];
    const uint16_t start = static_cast<uint16_t>((data[1] << 8) | data[2]);
    const uint8_t quantity = data[3];
    size_t piece_count = data[4];
    data += 5;
    size -= 5;
    if (piece_count > size) piece_count = size;

    const uint8_t unit = static_cast<uint8_t>(1 + ((mode >> 1) & 3) % 3);
    MB_MasterContext* context = &g_context;
    if (mode & 1) {
        uint16_t values[MB_MAX_WRITE_COUNT] = {};
        MB_BuildWriteRequest(unit, start, values, quantity % (MB_MAX_WRITE_COUNT + 1), context);
    } else {
        MB_BuildReadRequest(unit, start, quantity, context);
    }
    GatewayMessage drained{};
    while (QUEUE_Receive(&g_connection_queue, &drained) == 0) {
    }
    context->error.store((mode & 16) ? 1 : 0);

    uint8_t stream[MB_BUFFER_SIZE * 2];
    const size_t length = size - piece_count < sizeof stream ? size - piece_count : sizeof stream;
    std::memcpy(stream, data + piece_count, length);
    if ((mode & 8) && length >= 2) {
        stream[0] = static_cast<uint8_t>(context->transaction_id >> 8);
        stream[1] = static_cast<uint8_t>(context->transaction_id);
    }
    Pieces pieces{data, piece_count, 0, stream, length, 0};
    int length_field = 0;
    const int received =
        MB_ReadFrame(ReadPiece, &pieces, context->receive_buffer, MB_BUFFER_SIZE, &length_field);
    if (received > MB_BUFFER_SIZE) __builtin_trap();
    if (received > 0) {
        context->receive_length = received;
        context->response_ready.store(1);
    }
    if (mode & 1) {
        MB_CheckWriteResponse(context);
    } else {
        MB_StoreDeviceRegisters(context);
        uint16_t destination[64] = {};
        MB_StoreRegisters(context, destination, 64);
    }
    MB_ClearResponse(context);
    return 0;
}
