// The master task: takes device searches and register writes from the master queue and,
// while the gateway connection is open, polls every found device in turn, writing the
// registers into the register store. One Modbus transaction at a time, in g_mb_context.
#pragma once

#include "base/queue.h"

#include <cstdint>

constexpr int32_t MASTER_MAX_UNIT_ID = 70; // unit ids 1 to 70 are searched
constexpr int32_t MASTER_MAX_CHUNK = 100;  // registers per read request
// Writes taken from the master queue and waiting to be sent. Every write taken is sent before
// the queue is looked at again, so one queue's worth always fits; beyond it the oldest would
// be dropped with a diagnostic.
constexpr int MASTER_WRITE_FIFO_SIZE = QUEUE_CAPACITY;

// Task body: serves the master queue and polls until the process is asked to end. Register
// writes are sent in the order they were posted, before the next poll request (between the
// chunks of a device), each after the usual pause, and each is followed by a read of the polling
// chunk that holds the written register, so the store has the device's answer at once;
// searches and reads are served between polling cycles.
void MasterTask();

// Until the response is ready, the exchange failed or the connection is down (or the process
// ends), looking every 10 ms. When it ends without an answer, the exchange is withdrawn, or,
// if the connection task has already taken it, its end is awaited, so the buffers are free
// for the next request once this returns.
void Master_WaitResponse();

// One write of the message's values; "Send Ok\n" or "Slave id:%d MB Error!\n".
void Master_WriteRegisters(const MasterMessage* message);
// One read into the message's destination, which holds start address + count registers
// indexed by register address; "Read Data ok\n" or "Read Error!\n".
void Master_ReadRegisters(const MasterMessage* message);
// Asks unit ids 1 to 70 for their type id and fills the device list; stops after `maximum`
// devices. Leaves the polled count alone when the connection drops.
void Master_SearchBus(int32_t maximum);
// One poll of every device, the custom names, then STATUS_OK (every found device is polled)
// or STATUS_FAILED to the GUI queue.
void Master_FinishSearch();
// One polling cycle over the polled entries, while connected. Writes posted meanwhile are sent
// before each of its requests; like everything here it runs on the master task.
void Master_PollAll();
// Polls the 11 blocks of a display group from entry `first`: first + 10, or 1 when the
// connection dropped.
int32_t Master_PollDisplayGroup(int32_t unit_id, int32_t first);

// Posts a single-register write whose value travels in a slot of its own (so two pending
// writes never share one value), numbered so that the master task sends the writes in this
// order. 0 posted; 1 refused with a diagnostic when every slot is taken or the queue is full.
int Master_PostWrite(int32_t unit_id, int32_t address, uint16_t value);

// Called on the master task after each device's poll (every block of an ordinary device, or
// the display unit's whole group) and after the read-back that follows a write, so that a
// listener takes a device's values as soon as they are whole, not at the end of the cycle; it
// must not block. It gets the list entries polled: `count` from `first` (a display group's
// members, else one). nullptr removes it.
using Master_PollHook = void (*)(int32_t first, int32_t count);
void Master_SetPollHook(Master_PollHook hook);

// For tests only: the pause before each request, after each message and after each cycle
// (100 ms by default), so polling tests do not spend 100 ms per request.
void Master_SetPauseForTests(int milliseconds);
