#include "base/queue.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

Queue g_gui_queue;
Queue g_connection_queue;
Queue g_master_queue;

namespace {

// One lock for every queue; held only for the copy and the count update.
std::mutex g_queue_lock;
// Signalled on every send to any queue; a waiter checks its own queue again.
std::condition_variable g_queue_sent;
int g_queues_created = 0;

// Takes the newest message; the lock is held. 0 received, 1 empty.
int TakeLocked(Queue* queue, void* message) {
    if (!queue->buffer || queue->count <= 0) return 1;
    --queue->count;
    std::memcpy(message,
                queue->buffer.get() + static_cast<size_t>(queue->count) * queue->message_size,
                static_cast<size_t>(queue->message_size));
    return 0;
}

} // namespace

int QUEUE_Create(Queue* queue, int32_t message_size, int32_t capacity) {
    if (!queue || message_size <= 0 || capacity <= 0) return 1;
    std::lock_guard<std::mutex> guard(g_queue_lock);
    if (g_queues_created >= QUEUE_MAX_QUEUES) return 1;
    const int64_t bytes = int64_t{message_size} * capacity;
    if (bytes > INT32_MAX) return 1;
    ++g_queues_created;
    queue->id = g_queues_created;
    queue->message_size = message_size;
    queue->capacity = capacity;
    queue->buffer_size = static_cast<int32_t>(bytes);
    queue->count = 0;
    queue->buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
    return queue->buffer ? 0 : 1;
}

int QUEUE_Init() {
    {
        std::lock_guard<std::mutex> guard(g_queue_lock);
        g_queues_created = 0;
    }
    if (QUEUE_Create(&g_gui_queue, sizeof(StatusMessage), QUEUE_CAPACITY)) return 1;
    if (QUEUE_Create(&g_connection_queue, sizeof(GatewayMessage), QUEUE_CAPACITY)) return 1;
    if (QUEUE_Create(&g_master_queue, sizeof(MasterMessage), QUEUE_CAPACITY)) return 1;
    return 0;
}

int QUEUE_Send(Queue* queue, const void* message) {
    if (!queue || !message) return 1;
    {
        std::lock_guard<std::mutex> guard(g_queue_lock);
        if (!queue->buffer || queue->count >= queue->capacity) return 1;
        std::memcpy(queue->buffer.get() + static_cast<size_t>(queue->count) * queue->message_size,
                    message, static_cast<size_t>(queue->message_size));
        ++queue->count;
    }
    g_queue_sent.notify_all();
    return 0;
}

int QUEUE_Receive(Queue* queue, void* message) {
    if (!queue || !message) return 1;
    std::lock_guard<std::mutex> guard(g_queue_lock);
    return TakeLocked(queue, message);
}

int QUEUE_ReceiveWait(Queue* queue, void* message, int timeout_ms) {
    if (!queue || !message) return 1;
    std::unique_lock<std::mutex> lock(g_queue_lock);
    if (timeout_ms > 0)
        g_queue_sent.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                              [queue] { return queue->buffer && queue->count > 0; });
    return TakeLocked(queue, message);
}
