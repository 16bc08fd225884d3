#include "comm/gateway.h"

#include "base/queue.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/mb_frame.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr int kInvalidSocket = -1;
// Longest blocking step between two looks at the stop request.
constexpr int kSliceMs = 50;
constexpr int kHostSize = 20;
constexpr int kPortSize = 12;

int g_socket = kInvalidSocket;
char g_chosen_port[kPortSize] = ""; // set before the tasks start, only read afterwards
std::atomic<int> g_receive_timeout_ms{10000};
std::atomic<int> g_send_timeout_ms{10000};

using Clock = std::chrono::steady_clock;

void SetConnected(uint16_t value) {
    g_mb_context.connected.store(value, std::memory_order_release);
}

void PostStatus(int32_t status) {
    StatusMessage message{};
    message.status = status;
    QUEUE_Send(&g_gui_queue, &message);
}

void CloseSocket() {
    if (g_socket != kInvalidSocket) close(g_socket);
    g_socket = kInvalidSocket;
}

// Waits until the socket is ready for `events` or the deadline passes, looking at the stop
// request between slices: 1 ready, 0 deadline passed, -1 stop or poll failure.
int WaitReady(int socket_fd, short events, Clock::time_point deadline) {
    while (!APP_StopRequested()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        pollfd wait{socket_fd, events, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left < kSliceMs ? left : kSliceMs));
        if (ready > 0) return 1;
        if (ready < 0 && errno != EINTR) return -1;
    }
    errno = ECANCELED;
    return -1;
}

// Reads of one response share one deadline: the whole response within the receive timeout.
struct SocketSource {
    int socket_fd;
    Clock::time_point deadline;
};

int ReceiveWithDeadline(void* source, uint8_t* into, int room) {
    auto* s = static_cast<SocketSource*>(source);
    while (true) {
        const int ready = WaitReady(s->socket_fd, POLLIN, s->deadline);
        if (ready == 0) errno = ETIMEDOUT;
        if (ready <= 0) return -1;
        const ssize_t got = recv(s->socket_fd, into, static_cast<size_t>(room), MSG_DONTWAIT);
        if (got >= 0) return static_cast<int>(got);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
    }
}

// Discards what earlier failed, duplicated or late answers left in the socket, so that this
// request reads its own answer. 0 done, 1 the gateway closed the connection, -1 failure.
int DiscardStaleBytes() {
    int discarded = 0;
    int result = 0;
    while (true) {
        uint8_t scratch[MB_BUFFER_SIZE];
        const ssize_t got = recv(g_socket, scratch, sizeof scratch, MSG_DONTWAIT);
        if (got > 0) {
            discarded += static_cast<int>(got);
            continue;
        }
        if (got == 0)
            result = 1;
        else if (errno == EINTR)
            continue;
        else if (errno != EAGAIN && errno != EWOULDBLOCK)
            result = -1;
        break;
    }
    if (discarded > 0) DBG_Printf("receive: %d stale bytes discarded\n", discarded);
    return result;
}

// Ends an exchange that lost the connection. `error` comes before `connected`, so a wait
// that ends on the dropped connection also sees the failed transaction.
int LoseConnection() {
    g_mb_context.error.store(1, std::memory_order_release);
    SetConnected(0);
    CloseSocket();
    return -1;
}

// Connects without blocking beyond a stop request; the system's own connect timeout applies.
bool ConnectStoppable(int socket_fd, const sockaddr* address, socklen_t length) {
    const int flags = fcntl(socket_fd, F_GETFL, 0);
    if (flags < 0 || fcntl(socket_fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return connect(socket_fd, address, length) == 0;
    }
    bool connected = connect(socket_fd, address, length) == 0;
    if (!connected && errno == EINPROGRESS) {
        while (!APP_StopRequested()) {
            pollfd wait{socket_fd, POLLOUT, 0};
            const int ready = poll(&wait, 1, kSliceMs);
            if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
            int socket_error = 0;
            socklen_t size = sizeof socket_error;
            connected = ready > 0 &&
                        getsockopt(socket_fd, SOL_SOCKET, SO_ERROR, &socket_error, &size) == 0 &&
                        socket_error == 0;
            break;
        }
    }
    fcntl(socket_fd, F_SETFL, flags);
    return connected;
}

timeval Timeval(int milliseconds) {
    timeval value{};
    value.tv_sec = milliseconds / 1000;
    value.tv_usec = (milliseconds % 1000) * 1000;
    return value;
}

// Copies a text field of a queue record, which need not be terminated.
void CopyField(char* into, int size, const char* field, int field_size) {
    int i = 0;
    for (; i < size - 1 && i < field_size && field[i] != '\0'; ++i)
        into[i] = field[i];
    into[i] = '\0';
}

} // namespace

void Gateway_SetTimeoutsForTests(int receive_ms, int send_ms) {
    g_receive_timeout_ms.store(receive_ms > 0 ? receive_ms : 1);
    g_send_timeout_ms.store(send_ms > 0 ? send_ms : 1);
}

int Gateway_Open(const char* host, const char* port) {
    PARAM_CHECK(host != nullptr && port != nullptr, 1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    const int resolved = getaddrinfo(host, port, &hints, &addresses);
    if (resolved != 0) {
        DBG_Printf("getaddrinfo failed with error: %d\n", resolved);
        return 1;
    }
    for (const addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
        g_socket = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (g_socket == kInvalidSocket) {
            DBG_Printf("socket failed with error: %ld\n", static_cast<long>(errno));
            freeaddrinfo(addresses);
            return 1;
        }
        if (ConnectStoppable(g_socket, a->ai_addr, a->ai_addrlen)) break;
        CloseSocket();
    }
    freeaddrinfo(addresses);
    if (g_socket == kInvalidSocket) {
        DBG_Printf("Unable to connect to server!\n");
        return 1;
    }
    const timeval receive_timeout = Timeval(g_receive_timeout_ms.load());
    if (setsockopt(g_socket, SOL_SOCKET, SO_RCVTIMEO, &receive_timeout, sizeof receive_timeout) !=
        0)
        DBG_Printf("Socked set recv Timeout error %d\n", errno);
    const timeval send_timeout = Timeval(g_send_timeout_ms.load());
    if (setsockopt(g_socket, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout) != 0)
        DBG_Printf("Socked set snd Timeout error %d\n", errno);
    return 0;
}

int Gateway_Exchange() {
    MB_MasterContext& context = g_mb_context;
    const int stale = DiscardStaleBytes();
    if (stale != 0) {
        if (stale > 0)
            DBG_Printf("receive failed: connection closed by the gateway\n");
        else
            DBG_Printf("receive failed with error: %d\n", errno);
        return LoseConnection();
    }

    const int length = context.send_length;
    const ssize_t sent =
        length > 0 && length <= MB_BUFFER_SIZE
            ? send(g_socket, context.send_buffer, static_cast<size_t>(length), MSG_NOSIGNAL)
            : -1;
    if (sent != length) {
        const int send_error = sent < 0 ? errno : 0;
        context.error.store(1, std::memory_order_release);
        DBG_Printf("send failed with error: %d\n", send_error);
        if (sent < 0) return LoseConnection();
        return 1;
    }

    SocketSource source{g_socket,
                        Clock::now() + std::chrono::milliseconds(g_receive_timeout_ms.load())};
    int length_field = 0;
    const int received = MB_ReadFrame(ReceiveWithDeadline, &source, context.receive_buffer,
                                      MB_BUFFER_SIZE, &length_field);
    if (received == MB_FRAME_BAD_LENGTH) {
        // The rest of that frame is discarded before the next request; the connection stays.
        DBG_Printf("receive failed: MBAP length %d\n", length_field);
        context.error.store(1, std::memory_order_release);
        return 1;
    }
    if (received == MB_FRAME_CLOSED) {
        DBG_Printf("receive failed: connection closed by the gateway\n");
        return LoseConnection();
    }
    if (received < 0) {
        DBG_Printf("receive failed with error: %d\n", errno);
        return LoseConnection();
    }
    context.receive_length = received;
    context.response_ready.store(1, std::memory_order_release);
    return 0;
}

int Gateway_Close(char* buffer, int buffer_size) {
    PARAM_CHECK(buffer != nullptr && buffer_size > 0, 1);
    if (shutdown(g_socket, SHUT_WR) != 0) {
        DBG_Printf("shutdown failed with error: %d\n", errno);
        CloseSocket();
        return 1;
    }
    SocketSource source{g_socket,
                        Clock::now() + std::chrono::milliseconds(g_receive_timeout_ms.load())};
    while (true) {
        const int got =
            ReceiveWithDeadline(&source, reinterpret_cast<uint8_t*>(buffer), buffer_size);
        if (got > 0) {
            DBG_Printf("Bytes received: %d\n", got);
            continue;
        }
        if (got == 0)
            DBG_Printf("Connection closed\n");
        else
            DBG_Printf("recv failed with error: %d\n", errno);
        break;
    }
    CloseSocket();
    return 0;
}

int Gateway_RunConnection(const char* host, const char* port) {
    g_socket = kInvalidSocket;
    if (Gateway_Open(host, port) != 0) {
        SetConnected(0);
        PostStatus(STATUS_FAILED);
        return 1;
    }
    SetConnected(1);
    PostStatus(STATUS_OK);
    while (!APP_StopRequested()) {
        GatewayMessage message{};
        // Woken by the next command at once; the timeout only bounds how late a stop is seen.
        if (QUEUE_ReceiveWait(&g_connection_queue, &message, kSliceMs) == 0) {
            // An exchange the master task has withdrawn (its wait ended) is not sent.
            if (message.command == GW_CMD_EXCHANGE &&
                g_mb_context.exchange_pending.exchange(false, std::memory_order_acq_rel)) {
                const int result = Gateway_Exchange();
                if (result != 0) DBG_Printf("send/receife data failed\n");
                if (result == -1) {
                    DBG_Printf("send/receife data failed\n");
                    return 1;
                }
            } else if (message.command == GW_CMD_CLOSE) {
                char buffer[512];
                if (Gateway_Close(buffer, sizeof buffer) != 0) {
                    DBG_Printf("closing connection failed\n");
                    return 1;
                }
                DBG_Printf("close connection without errors\n");
                return 0;
            }
            // A second connect command while connected is ignored; there is no test command.
        }
    }
    CloseSocket();
    return 1;
}

void Gateway_SetPort(const char* port) {
    std::snprintf(g_chosen_port, sizeof g_chosen_port, "%s", port ? port : "");
}

void GatewayTask() {
    APP_NameThread("connection-task");
    while (!APP_StopRequested()) {
        GatewayMessage message{};
        if (QUEUE_ReceiveWait(&g_connection_queue, &message, kSliceMs) == 0 &&
            message.command == GW_CMD_CONNECT) {
            DBG_Printf("start Modbus connection\n");
            char host[kHostSize];
            char port[kPortSize];
            CopyField(host, sizeof host, message.host, sizeof message.host);
            // Port 502 needs root on Linux; the command line or the environment may name
            // another.
            const char* environment_port = std::getenv("VELTRA_GATEWAY_PORT");
            if (g_chosen_port[0] != '\0')
                CopyField(port, sizeof port, g_chosen_port, kPortSize);
            else if (environment_port != nullptr && environment_port[0] != '\0')
                CopyField(port, sizeof port, environment_port, kPortSize);
            else if (message.service[0] != '\0')
                CopyField(port, sizeof port, message.service, sizeof message.service);
            else
                CopyField(port, sizeof port, "502", 4);
            Gateway_RunConnection(host, port);
            SetConnected(0);
            PostStatus(STATUS_FAILED);
        }
    }
}
