#include "tools/gateway-sim/sim_server.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "tools/gateway-sim/sim_device.h"
#include "tools/gateway-sim/sim_world.h"

namespace {

// All register maps live in one pool; a scenario that needs more is refused at start.
constexpr int kPoolRegisters = 320000;
constexpr int kPollMs = 100;
constexpr size_t kMaxFrame = MODBUS_TCP_MAX_ADU_LENGTH;

std::array<uint16_t, kPoolRegisters> g_registers;
std::array<uint8_t, kPoolRegisters> g_pinned;
std::array<SimDevice, SIM_MAX_DEVICES> g_devices;
std::array<modbus_mapping_t, SIM_MAX_DEVICES> g_mappings;
std::array<int16_t, 256> g_unit_index;
SimWorld g_world;
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set by signal handlers");

struct SimClock {
    double start_wall = 0;
    std::chrono::steady_clock::time_point start;
    double speed = 1;
};

SimClock g_clock;

double WallNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double ElapsedSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_clock.start).count();
}

// Simulated time: the host clock (or the --start time) at start, then running `speed` times
// faster.
double SimTime() {
    return g_clock.start_wall + ElapsedSeconds() * g_clock.speed;
}

// Sleeps up to ms in short slices; false when a stop was asked for meanwhile.
bool PauseMs(int ms) {
    while (ms > 0 && !g_stop.load()) {
        const int slice = ms < 20 ? ms : 20;
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        ms -= slice;
    }
    return !g_stop.load();
}

// Binds every scenario device to its part of the register pool.
bool SetUpDevices(const SimScenario& scenario) {
    g_unit_index.fill(-1);
    int next = 0;
    for (int i = 0; i < scenario.count; i++) {
        const SimDeviceConfig& config = scenario.devices[static_cast<size_t>(i)];
        const int size = SIMDEV_MapSize(config.type_id);
        if (size <= 0 || next + size > kPoolRegisters) {
            fprintf(stderr, "gateway-sim: the scenario needs more than %d registers\n",
                    kPoolRegisters);
            return false;
        }
        SimDevice& device = g_devices[static_cast<size_t>(i)];
        SIMDEV_Init(&device, &config, i, &g_registers[static_cast<size_t>(next)],
                    &g_pinned[static_cast<size_t>(next)], size);
        modbus_mapping_t& mapping = g_mappings[static_cast<size_t>(i)];
        mapping = modbus_mapping_t{};
        mapping.nb_registers = size;
        mapping.tab_registers = device.regs;
        g_unit_index[static_cast<size_t>(config.unit_id)] = static_cast<int16_t>(i);
        next += size;
    }
    return true;
}

bool SendAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t sent = send(fd, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR && !g_stop.load()) continue;
        if (sent <= 0) return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// What a request is answered with: the unit's map (libmodbus does the rest) or an exception.
struct Reply {
    modbus_mapping_t* mapping = nullptr;
    int exception = 0;
};

int LibmodbusReply(modbus_t* ctx, const uint8_t* query, int length, const Reply& reply) {
    if (reply.exception != 0) {
        return modbus_reply_exception(ctx, query, static_cast<unsigned int>(reply.exception));
    }
    return modbus_reply(ctx, query, length, reply.mapping);
}

// Lets libmodbus write its reply into a socket pair instead of the client, and reads the bytes
// back so that faults can change them. Returns the frame length, 0 on failure.
size_t CaptureReply(modbus_t* ctx, const int pair[2], int client, const uint8_t* query, int length,
                    const Reply& reply, uint8_t* frame, size_t frame_size) {
    modbus_set_socket(ctx, pair[0]);
    const int rc = LibmodbusReply(ctx, query, length, reply);
    modbus_set_socket(ctx, client);
    size_t total = 0;
    while (true) {
        uint8_t scratch[64];
        uint8_t* into = total < frame_size ? frame + total : scratch;
        const size_t room = total < frame_size ? frame_size - total : sizeof scratch;
        const ssize_t got = recv(pair[1], into, room, MSG_DONTWAIT);
        if (got <= 0) break;
        if (into == frame + total) total += static_cast<size_t>(got);
    }
    return rc < 0 ? 0 : total;
}

// Sends the reply, with the faults that strike request n. False when the client is gone.
bool SendReply(modbus_t* ctx, const int pair[2], int client, const uint8_t* query, int length,
               const Reply& reply, uint64_t n, const SimFaults& faults) {
    if (!FAULT_ChangesBytes(faults, n)) return LibmodbusReply(ctx, query, length, reply) >= 0;

    uint8_t frame[kMaxFrame];
    const size_t frame_length =
        CaptureReply(ctx, pair, client, query, length, reply, frame, sizeof frame);
    if (frame_length == 0) return false;
    FAULT_MangleHeader(faults, n, frame, frame_length);

    // Junk before, the frame once or twice.
    uint8_t out[300 + 2 * kMaxFrame];
    size_t out_length = 0;
    if (FAULT_Strikes(faults.junk.every, n)) {
        for (int i = 0; i < faults.junk.value && out_length < 300; i++) {
            out[out_length++] = static_cast<uint8_t>(0xA5 ^ (i * 29));
        }
    }
    const int copies = FAULT_Strikes(faults.twice_every, n) ? 2 : 1;
    for (int c = 0; c < copies; c++) {
        memcpy(out + out_length, frame, frame_length);
        out_length += frame_length;
    }
    if (!FAULT_Strikes(faults.split.every, n)) return SendAll(client, out, out_length);

    // Separate segments: TCP_NODELAY is on, and the pause lets each one leave on its own.
    const size_t segment = static_cast<size_t>(faults.split.value);
    for (size_t offset = 0; offset < out_length; offset += segment) {
        const size_t piece = out_length - offset < segment ? out_length - offset : segment;
        if (offset > 0 && !PauseMs(faults.split_pause_ms)) return false;
        if (!SendAll(client, out + offset, piece)) return false;
    }
    return true;
}

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// Answers one request; false when the connection should end.
bool Handle(modbus_t* ctx, const int pair[2], int client, const uint8_t* query, int length,
            uint64_t n, const SimOptions& options, const SimScenario& scenario) {
    // Request faults strike only inside the fault window; the alarms keep their schedule.
    static const SimFaults kNoFaults{};
    const SimFaults& faults = FAULT_InWindow(options.faults, n) ? options.faults : kNoFaults;
    const int unit = query[6];
    const int function = query[7];
    if (faults.silent_units.test(static_cast<size_t>(unit)) &&
        FAULT_Strikes(faults.silent_every, n)) {
        return true;
    }

    Reply reply;
    SimDevice* device = nullptr;
    int write_start = -1;
    int write_count = 0;
    const int index = g_unit_index[static_cast<size_t>(unit)];
    if (index < 0) {
        reply.exception = MODBUS_EXCEPTION_GATEWAY_TARGET;
    } else if (faults.exception_units.test(static_cast<size_t>(unit)) &&
               FAULT_Strikes(faults.exception_every, n)) {
        reply.exception = faults.exception_code;
    } else if (function != MODBUS_FC_READ_HOLDING_REGISTERS &&
               function != MODBUS_FC_WRITE_SINGLE_REGISTER &&
               function != MODBUS_FC_WRITE_MULTIPLE_REGISTERS) {
        reply.exception = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    } else {
        device = &g_devices[static_cast<size_t>(index)];
        const double now = SimTime();
        WORLD_Advance(&g_world, scenario, now);
        device->alarms =
            FAULT_AlarmsAt(options.faults, unit, static_cast<int64_t>(ElapsedSeconds() * 1000));
        SIMDEV_Refresh(device, g_world, now);
        reply.mapping = &g_mappings[static_cast<size_t>(index)];
        if (function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS) {
            // The frame was read by its byte count; it must agree with the quantity.
            const int start = Word(query + 8);
            const int count = Word(query + 10);
            const int bytes = length >= 13 ? query[12] : -1;
            uint16_t values[MODBUS_MAX_WRITE_REGISTERS];
            if (count < 1 || count > MODBUS_MAX_WRITE_REGISTERS || bytes != 2 * count ||
                length < 13 + bytes) {
                reply.exception = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
            } else if (start + count <= device->count) {
                for (int i = 0; i < count; i++)
                    values[i] = Word(query + 13 + 2 * i);
                reply.exception = SIMDEV_CheckWrite(*device, start, values, count);
                if (reply.exception == 0) {
                    write_start = start;
                    write_count = count;
                }
            }
        } else if (function == MODBUS_FC_WRITE_SINGLE_REGISTER && length >= 12) {
            // Address and value; libmodbus echoes the request and refuses an address beyond
            // the map itself.
            const int start = Word(query + 8);
            const uint16_t value = Word(query + 10);
            if (start < device->count) {
                reply.exception = SIMDEV_CheckWrite(*device, start, &value, 1);
                if (reply.exception == 0) {
                    write_start = start;
                    write_count = 1;
                }
            }
        }
    }

    int wait_ms = 0;
    if (FAULT_Strikes(faults.delay.every, n)) wait_ms += faults.delay.value;
    if (FAULT_Strikes(faults.late.every, n)) wait_ms += faults.late.value;
    if (!PauseMs(wait_ms)) return false;
    const bool sent = SendReply(ctx, pair, client, query, length, reply, n, faults);
    if (write_start >= 0) {
        SIMDEV_AfterWrite(device, write_start, write_count);
        SIMDEV_Refresh(device, g_world, SimTime());
    }
    return sent;
}

// Serves one client until it leaves, a fault drops it or a stop is asked for.
void Serve(modbus_t* ctx, const int pair[2], int client, const SimOptions& options,
           const SimScenario& scenario, uint64_t* request_number) {
    int answered = 0;
    const char* reason = "stopped";
    while (!g_stop.load()) {
        pollfd wait{client, POLLIN, 0};
        const int ready = poll(&wait, 1, kPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready < 0) {
            reason = strerror(errno);
            break;
        }
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        const int length = modbus_receive(ctx, query);
        if (length < 0) {
            reason = errno == ECONNRESET ? "client closed" : modbus_strerror(errno);
            break;
        }
        if (length < 8) continue;
        (*request_number)++;
        if (!Handle(ctx, pair, client, query, length, *request_number, options, scenario)) {
            reason = g_stop.load() ? "stopped" : "client gone";
            break;
        }
        answered++;
        if (options.faults.drop_after > 0 && answered >= options.faults.drop_after) {
            reason = "dropped by --drop-after";
            break;
        }
    }
    fprintf(stderr, "gateway-sim: connection closed after %d requests (%s)\n", answered, reason);
}

} // namespace

void SIMSRV_RequestStop() {
    g_stop.store(true);
}

int SIMSRV_Run(const SimOptions& options, const SimScenario& scenario) {
    if (!SetUpDevices(scenario)) return 1;
    g_clock.start_wall = SIMOPT_StartTime(options.start, WallNow());
    g_clock.start = std::chrono::steady_clock::now();
    g_clock.speed = options.clock_speed;
    WORLD_Init(&g_world, scenario, g_clock.start_wall);
    for (int i = 0; i < scenario.count; i++) {
        SIMDEV_Refresh(&g_devices[static_cast<size_t>(i)], g_world, g_clock.start_wall);
    }

    int pair[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        fprintf(stderr, "gateway-sim: socketpair: %s\n", strerror(errno));
        return 1;
    }
    modbus_t* ctx = modbus_new_tcp(options.listen, options.port);
    int listener = ctx != nullptr ? modbus_tcp_listen(ctx, 4) : -1;
    if (listener < 0) {
        fprintf(stderr, "gateway-sim: cannot listen on %s:%d: %s\n", options.listen, options.port,
                modbus_strerror(errno));
        if (ctx != nullptr) modbus_free(ctx);
        close(pair[0]);
        close(pair[1]);
        return 1;
    }
    // Never block in accept: a client may vanish between poll and accept.
    fcntl(listener, F_SETFL, fcntl(listener, F_GETFL) | O_NONBLOCK);
    sockaddr_in bound{};
    socklen_t bound_length = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &bound_length);
    printf("listening on %s:%d\n", options.listen, ntohs(bound.sin_port));
    fflush(stdout);

    uint64_t request_number = 0;
    while (!g_stop.load()) {
        pollfd wait{listener, POLLIN, 0};
        const int ready = poll(&wait, 1, kPollMs);
        if (ready <= 0) continue;
        const int client = modbus_tcp_accept(ctx, &listener);
        if (client < 0) continue;
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // A client that stops reading is dropped rather than blocking the gateway for good.
        const timeval send_limit{2, 0};
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &send_limit, sizeof send_limit);
        fprintf(stderr, "gateway-sim: client connected\n");
        Serve(ctx, pair, client, options, scenario, &request_number);
        close(client);
        modbus_set_socket(ctx, -1);
    }
    close(listener);
    modbus_free(ctx);
    close(pair[0]);
    close(pair[1]);
    return 0;
}
