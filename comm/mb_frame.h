// Modbus TCP frames: the one transaction record shared by the master task and the connection
// task, the two requests the program sends (function codes 3 and 16), the checks of their
// responses and the copy of received registers into the device model.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int MB_BUFFER_SIZE = 256;
constexpr int MB_MBAP_SIZE = 7;         // transaction id, protocol id, length, unit id
constexpr int MB_MAX_WRITE_COUNT = 121; // 13 + 2 x 121 bytes fill the send buffer

// Result codes of the checks; 0 is success.
constexpr int MB_ERROR_TIMEOUT = 1;
constexpr int MB_ERROR_SLAVE_ADRESS = 3;
constexpr int MB_ERROR_FUNCTION_CODE = 4;
constexpr int MB_ERROR_BYTE_COUNT = 5;
constexpr int MB_ERROR_START_ADRESS = 6;
constexpr int MB_ERROR_TRANSACTION_IDENT = 11;
constexpr int MB_ERROR_PROTOCOLL_ID = 12;
// The registers of an accepted response would not fit the destination window.
constexpr int MB_ERROR_WINDOW_RANGE = 13;

struct MB_MasterContext {
    // Hand-off flags: written by one task, read by the other (release / acquire).
    std::atomic<uint16_t> connected{0};     // 1 while the gateway connection is open
    std::atomic<uint8_t> response_ready{0}; // a response is in the receive buffer
    uint16_t transaction_id = 0;            // +1 before each request, wraps to 0
    uint8_t unit_id = 0;
    uint8_t function_code = 0; // the function code the response must carry
    uint16_t start_address = 0;
    uint16_t quantity = 0;
    std::atomic<uint8_t> error{0}; // sending or receiving failed
    uint8_t receive_buffer[MB_BUFFER_SIZE] = {};
    int32_t receive_length = 0;
    uint8_t send_buffer[MB_BUFFER_SIZE] = {};
    int32_t send_length = 0;
    // True from posting an exchange until the connection task takes it or the master task
    // withdraws it after its wait ended without an answer; whoever resets it owns the buffers.
    std::atomic<bool> exchange_pending{false};
};

// The program's one transaction record.
extern MB_MasterContext g_mb_context;

// Builds the 12-byte read request (function code 3) and posts it to the connection task.
// 0 when posted; 1 when the queue refused it ("send Queue Error"), and `error` is then set so
// that a waiting caller ends its wait at once.
int MB_BuildReadRequest(uint8_t unit_id, uint16_t start_address, uint16_t quantity,
                        MB_MasterContext* context);
// Builds the 13 + 2 x count byte write request (function code 16) and posts it. 0 when posted;
// 1 with `error` set when the count exceeds MB_MAX_WRITE_COUNT (nothing is sent) or the queue
// refused it.
int MB_BuildWriteRequest(uint8_t unit_id, uint16_t start_address, const uint16_t* values,
                         uint8_t count, MB_MasterContext* context);
// Posts an exchange command for the frame in the send buffer; 0 posted, 1 refused.
int MB_PostToGateway(MB_MasterContext* context);

// The checks of a response, in their fixed order; the first failure prints its message,
// clears the response and returns its code. A read that passes keeps the response for the
// copy; a write that passes is cleared.
int MB_CheckReadResponse(MB_MasterContext* context);
int MB_CheckWriteResponse(MB_MasterContext* context);

// response_ready = 0, receive_length = 0; called after every transaction.
void MB_ClearResponse(MB_MasterContext* context);
uint8_t MB_GetResponseReady(const MB_MasterContext* context);
uint8_t MB_GetError(const MB_MasterContext* context);
uint16_t MB_GetConnected(const MB_MasterContext* context);

// Checks the read response and copies its registers into the window of the first device
// list entry with the request's unit id (register k to window index start_address + k).
// No entry: nothing copied, 0. A range beyond the entry's window: MB_ERROR_WINDOW_RANGE with
// "MB ERROR WINDOW RANGE\n", nothing copied. Does not clear the response.
int MB_StoreDeviceRegisters(MB_MasterContext* context);
// The same into `destination`, which holds `destination_size` registers indexed by register
// address.
int MB_StoreRegisters(MB_MasterContext* context, uint16_t* destination, int32_t destination_size);

// Reading one response whole: the MBAP header, then the bytes its length field announces.
// `receive` reads at most `room` bytes into `into` and returns the count, 0 when the peer
// closed the stream, a negative value on failure.
using MB_ReceiveFn = int (*)(void* source, uint8_t* into, int room);
constexpr int MB_FRAME_CLOSED = -1;     // the stream ended before the frame was whole
constexpr int MB_FRAME_FAILED = -2;     // `receive` failed (timeout, socket error, stop)
constexpr int MB_FRAME_BAD_LENGTH = -3; // length field below 3 or beyond the buffer
// Returns the frame's length (at least 9), or one of the MB_FRAME_* codes. The length field
// is stored in *length_field once the header is in (0 before).
int MB_ReadFrame(MB_ReceiveFn receive, void* source, uint8_t* buffer, int capacity,
                 int* length_field);
