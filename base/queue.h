// Inter-task message queues: bounded stores of fixed-size records, guarded by one lock.
// Sending never blocks; a full queue refuses. Receiving returns at once, or waits a bounded
// time for a message (QUEUE_ReceiveWait) so a task need not wake every millisecond to look.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct Queue {
    int32_t id = 0;           // running number, 1 for the first queue created
    int32_t message_size = 0; // bytes per message
    int32_t capacity = 0;     // messages the queue can hold
    int32_t buffer_size = 0;  // message size x capacity
    int32_t count = 0;        // messages stored
    std::unique_ptr<uint8_t[]> buffer;
};

constexpr int QUEUE_MAX_QUEUES = 10;
constexpr int QUEUE_CAPACITY = 200;

// Status values of the GUI queue.
constexpr int32_t STATUS_OK = 1;
constexpr int32_t STATUS_FAILED = 3;

// Commands of the connection queue.
constexpr int32_t GW_CMD_CONNECT = 1;
constexpr int32_t GW_CMD_CLOSE = 2;
constexpr int32_t GW_CMD_TEST = 3;
constexpr int32_t GW_CMD_EXCHANGE = 4;

// Commands of the master queue.
constexpr int32_t MB_CMD_WRITE = 1;
constexpr int32_t MB_CMD_READ = 2;
constexpr int32_t MB_CMD_SEARCH_BUS = 3;
constexpr int32_t MB_CMD_SEARCH_CONFIG = 4;

// GUI queue record (to the GUI task).
struct StatusMessage {
    int32_t reserved0;
    int32_t reserved1;
    int32_t status;
};
static_assert(sizeof(StatusMessage) == 12);

// Connection queue record (to the connection task).
struct GatewayMessage {
    int32_t reserved0;
    int32_t reserved1;
    int32_t origin;  // 1 in the connect command; not read by the receiver
    int32_t command; // GW_CMD_*
    char host[20];   // zero-terminated IPv4 address text (connect only)
    char service[12]; // zero-terminated TCP port text (connect only)
};
static_assert(sizeof(GatewayMessage) == 48);

// Master queue record (to the master task). The fields keep their order; the data pointer
// needs 8 bytes and 8-byte alignment here, so the record is 40 bytes (4 bytes of padding
// before the pointer and 4 after the last field).
struct MasterMessage {
    int32_t kind;           // MB_CMD_*
    int32_t unit_id;        // low 8 bits used
    int32_t start_address;  // low 16 bits used
    int32_t register_count; // low 16 bits for a read, low 8 bits for a write
    int32_t max_devices;    // for a search via the bus
    uint16_t* data;         // values to write, or the buffer that receives the values read
    int32_t reserved;       // the device page writes 5; nothing depends on it
};
static_assert(sizeof(MasterMessage) == 40);

// The three queues, created in this order by QUEUE_Init (ids 1, 2, 3).
extern Queue g_gui_queue;        // StatusMessage x 200
extern Queue g_connection_queue; // GatewayMessage x 200
extern Queue g_master_queue;     // MasterMessage x 200

// Resets the queue count and creates the three queues; 1 at the first that fails, else 0.
int QUEUE_Init();
// 1 when 10 queues exist already or the buffer cannot be allocated, else 0.
int QUEUE_Create(Queue* queue, int32_t message_size, int32_t capacity);
// Copies message_size bytes of the record into the queue: 0 sent, 1 full (queue unchanged).
int QUEUE_Send(Queue* queue, const void* message);
// Takes the most recently sent message (last in, first out): 0 received, 1 empty (record
// unchanged).
int QUEUE_Receive(Queue* queue, void* message);
// The same, but an empty queue is waited on for up to `timeout_ms` (a message sent meanwhile
// ends the wait at once): 0 received, 1 still empty.
int QUEUE_ReceiveWait(Queue* queue, void* message, int timeout_ms);
