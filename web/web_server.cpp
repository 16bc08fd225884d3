// The browser view's server: the HTTP library's routing on connections of our own, which bound
// every request in time and size, and the picture thread that turns changes of the display into
// PNG records for every viewer.
#include "web/web.h"

#include "base/lifecycle.h"
#include "gui/host/host.h"
#include "web/web_page.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWorkers = WEB_MAX_VIEWERS + 4; // the viewers' streams and everything else
constexpr int kMostWaiting = 64;              // connections beyond this are closed at once
constexpr int kKeepAliveRequests = 100;
constexpr int kKeepAliveIdleMs = 5000;
constexpr int kPollMs = 50;        // how often the picture thread looks at the change counter
constexpr int kHeartbeatMs = 5000; // a record of length 0 when nothing changed for this long
constexpr size_t kKeptDeltas = 16; // a viewer further behind gets the whole frame
constexpr size_t kInputMaxBytes = 64;

// ---- Pictures

struct Picture {
    uint64_t seq;
    std::vector<uint8_t> record;
};
using PicturePtr = std::shared_ptr<const Picture>;

struct Pictures {
    std::mutex mutex;
    std::condition_variable published; // viewers wait here
    std::condition_variable wanted;    // the picture thread waits here
    uint64_t seq = 0;                  // the newest frame
    std::deque<PicturePtr> deltas;     // the rows that changed, frame by frame
    PicturePtr full;                   // the whole frame, made when a viewer needs it
    bool full_wanted = false;
    int viewers = 0;
    bool stopping = false;
};

// ---- Server state (only between WEB_Start and WEB_Stop)

struct ServerState;
ServerState* g_state = nullptr; // owned by WEB_Start/WEB_Stop on one thread
std::atomic<int> g_port{0};
std::atomic<int> g_viewer_count{0};
std::atomic<int> g_encoded{0};
std::atomic<int> g_waiting{0}; // connections accepted, not yet served
thread_local bool t_refuse = false;
thread_local bool t_bad_request = false; // the request could not be read: end the connection
thread_local int t_socket = -1;          // the connection this worker serves

// A viewer sends nothing after its request: its connection turning readable means it went.
bool PeerGone(int fd) {
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0;
}

bool WaitFd(int fd, short events, int timeout_ms) {
    pollfd entry{fd, events, 0};
    while (true) {
        const int ready = ::poll(&entry, 1, std::max(timeout_ms, 0));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

// A connection whose reads end at one deadline per request and at a byte limit, so a client
// that sends slowly or too much is dropped; writes give up after WEB_WRITE_TIMEOUT_S without
// progress. Reads are buffered (the library reads request lines byte by byte).
class BoundedStream : public httplib::Stream {
  public:
    BoundedStream(int fd, const WEB_Options& options, const std::atomic<bool>* stopping)
        : fd_(fd), stopping_(stopping), deadline_ms_(options.request_deadline_ms),
          write_timeout_ms_(options.write_timeout_ms) {}

    void BeginRequest() {
        deadline_ = Clock::now() + std::chrono::milliseconds(deadline_ms_);
        taken_ = 0;
    }
    bool HasBuffered() const { return begin_ < end_; }

    bool is_readable() const override { return HasBuffered() || WaitReadable(); }
    bool is_writable() const override { return WaitFd(fd_, POLLOUT, write_timeout_ms_); }

    ssize_t read(char* ptr, size_t size) override {
        if (taken_ >= WEB_REQUEST_MAX_BYTES) return -1;
        if (!HasBuffered()) {
            if (!WaitReadable()) return -1;
            ssize_t got;
            do
                got = ::recv(fd_, buffer_, sizeof buffer_, 0);
            while (got < 0 && errno == EINTR);
            if (got <= 0) return got;
            begin_ = 0;
            end_ = static_cast<size_t>(got);
        }
        const size_t count = std::min({size, end_ - begin_, WEB_REQUEST_MAX_BYTES - taken_});
        std::memcpy(ptr, buffer_ + begin_, count);
        begin_ += count;
        taken_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        size_t sent = 0;
        while (sent < size) {
            if (!WaitFd(fd_, POLLOUT, write_timeout_ms_)) return -1;
            const ssize_t put = ::send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return -1;
            sent += static_cast<size_t>(put);
        }
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(::getpeername, &ip, &port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(::getsockname, &ip, &port);
    }
    socket_t socket() const override { return fd_; }

  private:
    // Until the request's deadline, in short steps so that a stop is not held up.
    bool WaitReadable() const {
        while (!stopping_->load()) {
            const int left = MsUntil(deadline_);
            if (WaitFd(fd_, POLLIN, std::min(left, 200))) return true;
            if (left <= 200) return false;
        }
        return false;
    }

    void Address(int (*query)(int, sockaddr*, socklen_t*), std::string* ip, int* port) const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        char text[64] = {};
        *port = 0;
        ip->clear();
        if (query(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
        if (getnameinfo(reinterpret_cast<sockaddr*>(&address), length, text, sizeof text, nullptr,
                        0, NI_NUMERICHOST) == 0)
            *ip = text;
        if (address.ss_family == AF_INET)
            *port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }

    int fd_;
    const std::atomic<bool>* stopping_;
    int deadline_ms_;
    int write_timeout_ms_;
    Clock::time_point deadline_{};
    size_t taken_ = 0;
    char buffer_[4096];
    size_t begin_ = 0;
    size_t end_ = 0;
};

// The library's server with our connections.
class BoundedServer : public httplib::Server {
  public:
    BoundedServer(const std::atomic<bool>* stopping, const WEB_Options* options)
        : stopping_(stopping), options_(options) {}

  private:
    bool process_and_close_socket(socket_t sock) override {
        if (!t_refuse) g_waiting.fetch_sub(1);
        BoundedStream stream(sock, *options_, stopping_);
        t_socket = sock;
        for (int served = 0; !t_refuse && served < kKeepAliveRequests && !stopping_->load();
             ++served) {
            if (served > 0 && !WaitForNext(stream, sock)) break;
            stream.BeginRequest();
            t_bad_request = false;
            bool closed = false;
            const bool last = served + 1 == kKeepAliveRequests;
            if (!process_request(stream, last, closed, [](httplib::Request&) {}) || closed ||
                t_bad_request)
                break;
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return true;
    }

    // Idle keep-alive connections wait in short steps, so a stop is not held up.
    bool WaitForNext(const BoundedStream& stream, int sock) {
        if (stream.HasBuffered()) return true;
        for (int waited = 0; waited < kKeepAliveIdleMs && !stopping_->load(); waited += 200)
            if (WaitFd(sock, POLLIN, 200)) return true;
        return false;
    }

    const std::atomic<bool>* stopping_;
    const WEB_Options* options_;
};

// The library's thread pool, with the connections waiting for a worker counted: beyond
// kMostWaiting a new one is closed at once instead of holding a descriptor in the queue.
class BoundedQueue : public httplib::TaskQueue {
  public:
    BoundedQueue() : pool_(kWorkers) {}
    void enqueue(std::function<void()> fn) override {
        if (g_waiting.load() >= kMostWaiting) {
            t_refuse = true;
            fn();
            t_refuse = false;
            return;
        }
        g_waiting.fetch_add(1);
        pool_.enqueue([fn = std::move(fn)] {
            APP_NameThread("web-worker");
            fn();
        });
    }
    void shutdown() override { pool_.shutdown(); }

  private:
    httplib::ThreadPool pool_;
};

struct ServerState {
    WEB_Options options;
    std::atomic<bool> stopping{false};
    BoundedServer server{&stopping, &options};
    Pictures pictures;
    std::thread listener;
    std::thread painter;
};

// ---- The picture thread

void Publish(Pictures* pictures, uint64_t seq, int row, const std::vector<uint8_t>& png,
             bool whole) {
    auto picture = std::make_shared<Picture>(Picture{seq, WEB_StreamRecord(row, png)});
    g_encoded.fetch_add(1);
    std::lock_guard<std::mutex> guard(pictures->mutex);
    if (whole) {
        pictures->full = picture;
        pictures->full_wanted = false;
    } else {
        pictures->deltas.push_back(picture);
        while (pictures->deltas.size() > kKeptDeltas)
            pictures->deltas.pop_front();
        pictures->seq = seq;
    }
    pictures->published.notify_all();
}

// Looks at the change counter while somebody watches; a change that moved pixels becomes a
// picture of the rows between the first and the last changed one. The whole frame is encoded
// only for a viewer that needs it (a new one, or one that fell behind).
void PaintLoop(ServerState* state) {
    APP_NameThread("web-pictures");
    Pictures* pictures = &state->pictures;
    std::vector<uint32_t> copy(static_cast<size_t>(HOST_XSIZE) * HOST_YSIZE);
    std::vector<uint32_t> shown(copy.size());
    bool have_frame = false;
    uint32_t copied_count = 0;
    uint64_t seq = 0;
    while (true) {
        bool full_wanted = false;
        {
            std::unique_lock<std::mutex> lock(pictures->mutex);
            if (pictures->viewers == 0 && !pictures->stopping)
                pictures->wanted.wait(lock,
                                      [&] { return pictures->viewers > 0 || pictures->stopping; });
            else
                pictures->wanted.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] {
                    return pictures->full_wanted || pictures->stopping;
                });
            if (pictures->stopping) return;
            full_wanted = pictures->full_wanted;
        }
        if (!have_frame || HOST_GetChangeCount() != copied_count) {
            copied_count = HOST_CopyShownFrame(copy.data());
            HOST_RowSpan rows = HOST_ChangedRows(copy.data(), shown.data());
            if (!have_frame) rows = HOST_RowSpan{0, HOST_YSIZE - 1};
            if (rows.first <= rows.last) {
                const std::vector<uint8_t> png = WEB_EncodeRows(copy.data(), rows.first, rows.last);
                if (!png.empty()) {
                    shown.swap(copy);
                    have_frame = true;
                    Publish(pictures, ++seq, rows.first, png, false);
                }
            }
        }
        if (full_wanted && have_frame) {
            std::unique_lock<std::mutex> lock(pictures->mutex);
            const bool current = pictures->full && pictures->full->seq == seq;
            lock.unlock();
            if (!current) {
                const std::vector<uint8_t> png = WEB_EncodeRows(shown.data(), 0, HOST_YSIZE - 1);
                if (!png.empty()) Publish(pictures, seq, 0, png, true);
            } else {
                std::lock_guard<std::mutex> guard(pictures->mutex);
                pictures->full_wanted = false;
                pictures->published.notify_all();
            }
        }
    }
}

// What a viewer gets next: the pictures since `*mine`, or the whole frame when it has none yet
// or some it missed are gone; a heartbeat (empty) when nothing changed for a while. False when
// the server stops.
bool NextRecords(Pictures* pictures, int fd, uint64_t* mine, std::vector<PicturePtr>* out) {
    out->clear();
    const auto heartbeat = Clock::now() + std::chrono::milliseconds(kHeartbeatMs);
    std::unique_lock<std::mutex> lock(pictures->mutex);
    while (!pictures->stopping) {
        if (pictures->seq > *mine || *mine == 0) {
            const bool follows = *mine != 0 && !pictures->deltas.empty() &&
                                 pictures->deltas.front()->seq <= *mine + 1;
            if (follows) {
                for (const PicturePtr& delta : pictures->deltas)
                    if (delta->seq > *mine) out->push_back(delta);
                *mine = pictures->seq;
                return true;
            }
            if (pictures->full && pictures->full->seq == pictures->seq && pictures->seq > 0) {
                out->push_back(pictures->full);
                *mine = pictures->seq;
                return true;
            }
            if (!pictures->full_wanted) {
                pictures->full_wanted = true;
                pictures->wanted.notify_all();
            }
        }
        // Waits in steps, so a viewer that went frees its place within moments.
        const auto step = std::min(heartbeat, Clock::now() + std::chrono::milliseconds(250));
        if (pictures->published.wait_until(lock, step) == std::cv_status::timeout) {
            if (Clock::now() >= heartbeat) return true; // nothing new: the caller sends a heartbeat
            if (PeerGone(fd)) return false;
        }
    }
    return false;
}

// ---- Routes

const char kTextPlain[] = "text/plain";

void Secure(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("X-Frame-Options", "DENY");
}

std::string GivenToken(const httplib::Request& request) {
    const std::string authorization = request.get_header_value("Authorization");
    if (authorization.rfind("Bearer ", 0) == 0) return authorization.substr(7);
    return request.get_param_value("token");
}

void ServePage(ServerState* state, httplib::Response& response) {
    Secure(response);
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; script-src 'unsafe-inline'; style-src "
                        "'unsafe-inline'; img-src blob:; connect-src 'self'");
    response.set_content(WEBPAGE_Html(state->options.control), "text/html; charset=utf-8");
}

void ServeStream(ServerState* state, httplib::Response& response) {
    Pictures* pictures = &state->pictures;
    {
        std::lock_guard<std::mutex> guard(pictures->mutex);
        if (pictures->viewers >= WEB_MAX_VIEWERS || pictures->stopping) {
            response.status = 503;
            return;
        }
        ++pictures->viewers;
        g_viewer_count.store(pictures->viewers);
        pictures->wanted.notify_all();
    }
    Secure(response);
    auto mine = std::make_shared<uint64_t>(0);
    const int fd = t_socket;
    response.set_chunked_content_provider(
        "application/octet-stream",
        [pictures, mine, fd](size_t, httplib::DataSink& sink) {
            std::vector<PicturePtr> records;
            if (!NextRecords(pictures, fd, mine.get(), &records)) return false;
            if (records.empty()) {
                static const uint8_t kHeartbeat[4] = {0, 0, 0, 0};
                return sink.write(reinterpret_cast<const char*>(kHeartbeat), sizeof kHeartbeat);
            }
            for (const PicturePtr& record : records)
                if (!sink.write(reinterpret_cast<const char*>(record->record.data()),
                                record->record.size()))
                    return false;
            return true;
        },
        [pictures](bool) {
            std::lock_guard<std::mutex> guard(pictures->mutex);
            --pictures->viewers;
            g_viewer_count.store(pictures->viewers);
        });
}

// "X Y PRESSED": a display position and 1 while pressed, 0 when released.
bool ParseInput(const std::string& body, int* x, int* y, int* pressed) {
    if (body.size() > kInputMaxBytes) return false;
    char tail = 0;
    return std::sscanf(body.c_str(), "%4d %4d %1d%c", x, y, pressed, &tail) == 3 && *x >= 0 &&
           *x < HOST_XSIZE && *y >= 0 && *y < HOST_YSIZE && (*pressed == 0 || *pressed == 1);
}

void ServeInput(ServerState* state, const httplib::Request& request, httplib::Response& response) {
    Secure(response);
    if (!state->options.control) {
        response.status = 403;
        response.set_content("view only\n", kTextPlain);
        return;
    }
    int x = 0, y = 0, pressed = 0;
    if (!ParseInput(request.body, &x, &y, &pressed)) {
        response.status = 400;
        return;
    }
    // The same way in as the window's mouse, so the toolkit cannot tell them apart.
    HOST_MouseEvent(x, y, pressed ? HOST_BUTTON_LEFT : 0, false);
    response.status = 204;
}

void SetUpRoutes(ServerState* state) {
    httplib::Server& server = state->server;
    server.new_task_queue = [] { return new BoundedQueue(); };
    server.set_payload_max_length(kInputMaxBytes);
    server.set_read_timeout(WEB_REQUEST_DEADLINE_S, 0);
    server.set_write_timeout(WEB_WRITE_TIMEOUT_S, 0);
    server.set_logger([](const httplib::Request&, const httplib::Response& response) {
        if (response.status == 400 || response.status == 413 || response.status == 414)
            t_bad_request = true;
    });
    // Without the right token nothing is served, not even "not found".
    server.set_pre_routing_handler(
        [state](const httplib::Request& request, httplib::Response& response) {
            if (WEB_TokenMatches(state->options.token, GivenToken(request)))
                return httplib::Server::HandlerResponse::Unhandled;
            response.status = 401;
            return httplib::Server::HandlerResponse::Handled;
        });
    server.Get("/", [state](const httplib::Request&, httplib::Response& response) {
        ServePage(state, response);
    });
    server.Get("/stream", [state](const httplib::Request&, httplib::Response& response) {
        ServeStream(state, response);
    });
    server.Post("/input", [state](const httplib::Request& request, httplib::Response& response) {
        ServeInput(state, request, response);
    });
}

} // namespace

bool WEB_Start(const WEB_Options& options, std::string* error) {
    if (g_state != nullptr) return true;
    auto state = std::make_unique<ServerState>();
    state->options = options;
    SetUpRoutes(state.get());
    int port = options.listen.port;
    bool bound = false;
    if (port == 0) {
        port = state->server.bind_to_any_port(options.listen.address);
        bound = port > 0;
    } else {
        bound = state->server.bind_to_port(options.listen.address, port);
    }
    if (!bound) {
        *error = "cannot listen on " + options.listen.address + ":" +
                 std::to_string(options.listen.port) + ": " + std::strerror(errno);
        return false;
    }
    state->options.listen.port = port;
    g_port.store(port);
    ServerState* raw = state.get();
    state->painter = std::thread(PaintLoop, raw);
    state->listener = std::thread([raw] {
        APP_NameThread("web-listener");
        raw->server.listen_after_bind();
    });
    // A stop before the listener runs would not reach it; it runs within moments.
    for (int i = 0; i < 2000 && !raw->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_state = state.release();
    return true;
}

int WEB_Port() {
    return g_port.load();
}

void WEB_Stop() {
    if (g_state == nullptr) return;
    ServerState* state = g_state;
    state->stopping.store(true);
    {
        std::lock_guard<std::mutex> guard(state->pictures.mutex);
        state->pictures.stopping = true;
        state->pictures.wanted.notify_all();
        state->pictures.published.notify_all();
    }
    state->server.stop();
    if (state->listener.joinable()) state->listener.join();
    if (state->painter.joinable()) state->painter.join();
    delete state;
    g_state = nullptr;
    g_port.store(0);
    g_viewer_count.store(0);
}

int WEB_ViewerCount() {
    return g_viewer_count.load();
}

int WEB_EncodedCount() {
    return g_encoded.load();
}
