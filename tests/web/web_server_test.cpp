#include "gui/host/host.h"
#include "web/web.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <png.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kToken = "0123456789abcdef0123456789abcdef";

// ---- The address and the token

TEST(WebSettings, ListenAddressesAndPageUrl) {
    WEB_Listen listen;
    std::string error;
    ASSERT_TRUE(WEB_ParseListen("8080", &listen, &error));
    EXPECT_EQ(listen.address, "127.0.0.1"); // loopback unless an address is given
    EXPECT_EQ(listen.port, 8080);
    ASSERT_TRUE(WEB_ParseListen("0.0.0.0:80", &listen, &error));
    EXPECT_EQ(listen.address, "0.0.0.0");
    ASSERT_TRUE(WEB_ParseListen("0", &listen, &error));
    EXPECT_EQ(listen.port, 0);
    for (const char* bad : {"", "65536", "-1", "80a", "080", "localhost:80", "1.2.3:80",
                            "1.2.3.256:80", "01.2.3.4:80", ":80", "1.2.3.4:", "99999999999"}) {
        EXPECT_FALSE(WEB_ParseListen(bad, &listen, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(WEB_FormatUrl(WEB_Listen{"127.0.0.1", 8080}, kToken),
              "http://127.0.0.1:8080/?token=" + kToken);
    // A browser cannot go to the wildcard address: the computer's name stands in.
    EXPECT_EQ(WEB_FormatUrl(WEB_Listen{"0.0.0.0", 80}, kToken).find("0.0.0.0"), std::string::npos);
}

TEST(WebToken, MadeOnceKeptPrivateAndReplacedWhenDamaged) {
    const fs::path folder = fs::temp_directory_path() / ("web_token_" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string path = (folder / WEB_TOKEN_FILE).string();
    std::string first, again, error;
    ASSERT_TRUE(WEB_LoadToken(path, &first, &error)) << error;
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_TRUE(WEB_LoadToken(path, &again, &error));
    EXPECT_EQ(again, first); // the printed address keeps working after a restart

    chmod(path.c_str(), 0644); // someone widened it: made private again, token kept
    ASSERT_TRUE(WEB_LoadToken(path, &again, &error));
    EXPECT_EQ(again, first);
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    for (const char* damaged :
         {"", "short", "0123456789ABCDEF0123456789ABCDEF", "0123456789abcdef0123456789abcdefXX"}) {
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(damaged, file);
        std::fclose(file);
        ASSERT_TRUE(WEB_LoadToken(path, &again, &error));
        EXPECT_EQ(again.size(), 32u) << damaged;
        EXPECT_NE(again, first);
        EXPECT_NE(again, damaged);
    }
    std::string other;
    ASSERT_TRUE(WEB_LoadToken((folder / "second").string(), &other, &error));
    EXPECT_NE(other, again); // random, not derived from anything

    EXPECT_TRUE(WEB_TokenMatches(kToken, kToken));
    EXPECT_FALSE(WEB_TokenMatches(kToken, kToken.substr(0, 31)));
    EXPECT_FALSE(WEB_TokenMatches(kToken, kToken + "0"));
    EXPECT_FALSE(WEB_TokenMatches("", ""));
    fs::remove_all(folder);
}

// ---- The server

// Decodes a PNG of the display's width into 0x00RRGGBB rows.
bool DecodePng(const uint8_t* data, size_t size, std::vector<uint32_t>* pixels, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != HOST_XSIZE) {
        png_image_free(&image);
        return false;
    }
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    *height = static_cast<int>(image.height);
    pixels->resize(rgb.size() / 3);
    for (size_t i = 0; i < pixels->size(); ++i)
        (*pixels)[i] =
            (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    return true;
}

// A viewer as the page is one: reads the stream and draws each record at its row.
class Viewer {
  public:
    explicit Viewer(int port)
        : client_("127.0.0.1", port),
          canvas_(static_cast<size_t>(HOST_XSIZE) * HOST_YSIZE, 0xDEADBEEF) {
        client_.set_read_timeout(30, 0);
        thread_ = std::thread([this] {
            httplib::Headers headers = {{"Authorization", "Bearer " + kToken}};
            auto result = client_.Get("/stream", headers, [this](const char* data, size_t size) {
                Take(reinterpret_cast<const uint8_t*>(data), size);
                return !stop_.load();
            });
            status_ = result ? result->status : -1;
            ended_ = true;
        });
    }
    ~Viewer() {
        stop_ = true;
        client_.stop();
        thread_.join();
    }
    bool Shows(const uint32_t* frame) {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::memcmp(canvas_.data(), frame, canvas_.size() * 4) == 0;
    }
    struct Record {
        int row;
        int height;
    };
    std::vector<Record> Records() {
        std::lock_guard<std::mutex> guard(mutex_);
        return records_;
    }
    int status() const { return status_; }
    bool ended() const { return ended_; }

  private:
    void Take(const uint8_t* data, size_t size) {
        pending_.insert(pending_.end(), data, data + size);
        size_t at = 0;
        while (pending_.size() - at >= 4) {
            const size_t length = (size_t{pending_[at]} << 24) | (pending_[at + 1] << 16) |
                                  (pending_[at + 2] << 8) | pending_[at + 3];
            if (pending_.size() - at - 4 < length) break;
            if (length > 0) Draw(pending_.data() + at + 4, length);
            at += 4 + length;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(at));
    }
    void Draw(const uint8_t* record, size_t length) {
        ASSERT_GE(length, 2u);
        const int row = (record[0] << 8) | record[1];
        std::vector<uint32_t> pixels;
        int height = 0;
        ASSERT_TRUE(DecodePng(record + 2, length - 2, &pixels, &height));
        ASSERT_LE(row + height, HOST_YSIZE);
        std::lock_guard<std::mutex> guard(mutex_);
        std::copy(pixels.begin(), pixels.end(),
                  canvas_.begin() + static_cast<long>(row) * HOST_XSIZE);
        records_.push_back({row, height});
    }

    httplib::Client client_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<int> status_{0};
    std::vector<uint8_t> pending_;
    std::mutex mutex_;
    std::vector<uint32_t> canvas_;
    std::vector<Record> records_;
};

bool Eventually(const std::function<bool()>& check, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (check()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return check();
}

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends raw bytes and reads until the server closes (or `limit`); what came back.
std::string Raw(int port, const std::string& request, std::chrono::milliseconds limit = 5s) {
    const int fd = Connect(port);
    if (fd < 0) return "no connection";
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t put = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (put <= 0) break; // the server may close before all is sent
        sent += static_cast<size_t>(put);
    }
    std::string answer;
    char buffer[4096];
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0) continue;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return answer;
}

class WebServer : public ::testing::Test {
  protected:
    void SetUp() override { HOST_ResetForTests(); }
    void TearDown() override {
        WEB_Stop();
        HOST_ResetForTests();
    }
    void Start(bool control, int deadline_ms = WEB_REQUEST_DEADLINE_S * 1000,
               int write_timeout_ms = WEB_WRITE_TIMEOUT_S * 1000) {
        WEB_Options options;
        options.listen.port = 0;
        options.control = control;
        options.token = kToken;
        options.request_deadline_ms = deadline_ms;
        options.write_timeout_ms = write_timeout_ms;
        std::string error;
        ASSERT_TRUE(WEB_Start(options, &error)) << error;
        port_ = WEB_Port();
        ASSERT_GT(port_, 0);
    }
    // Draws as the toolkit does: under the lock, then the change counter.
    void Paint(int first, int last, uint32_t color) {
        HOST_Lock();
        uint32_t* frame = HOST_GetFrameBuffer(HOST_GetShownBuffer());
        for (int y = first; y <= last; ++y)
            for (int x = 0; x < HOST_XSIZE; ++x)
                frame[y * HOST_XSIZE + x] = color ^ (x * 7 + y);
        HOST_IncrementChangeCount();
        HOST_Unlock();
    }
    void Noise(uint32_t seed) {
        std::mt19937 random(seed);
        HOST_Lock();
        uint32_t* frame = HOST_GetFrameBuffer(HOST_GetShownBuffer());
        for (int i = 0; i < HOST_XSIZE * HOST_YSIZE; ++i)
            frame[i] = random() & 0xFFFFFF;
        HOST_IncrementChangeCount();
        HOST_Unlock();
    }
    const uint32_t* Shown() { return HOST_GetFrameBuffer(HOST_GetShownBuffer()); }
    httplib::Result Post(const std::string& body, const std::string& token = kToken) {
        httplib::Client client("127.0.0.1", port_);
        return client.Post("/input", {{"Authorization", "Bearer " + token}}, body, "text/plain");
    }

    int port_ = 0;
};

TEST_F(WebServer, StreamRebuildsTheDisplayAndSendsOnlyWhatChanged) {
    Paint(0, HOST_YSIZE - 1, 0x102030);
    Start(false);
    Viewer viewer(port_);
    ASSERT_TRUE(Eventually([&] { return viewer.Shows(Shown()); }));
    ASSERT_EQ(viewer.Records().size(), 1u);
    EXPECT_EQ(viewer.Records()[0].row, 0);
    EXPECT_EQ(viewer.Records()[0].height, HOST_YSIZE);

    Paint(100, 119, 0xFF8000);
    ASSERT_TRUE(Eventually([&] { return viewer.Shows(Shown()); }));
    const auto records = viewer.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].row, 100);
    EXPECT_EQ(records[1].height, 20);

    // The toolkit drew the same pixels again: the counter moved, nothing is encoded or sent.
    const int encoded = WEB_EncodedCount();
    for (int i = 0; i < 5; ++i) {
        Paint(100, 119, 0xFF8000);
        std::this_thread::sleep_for(60ms);
    }
    EXPECT_EQ(WEB_EncodedCount(), encoded);
    EXPECT_EQ(viewer.Records().size(), 2u);

    // A second viewer starts from the whole current frame.
    Viewer second(port_);
    ASSERT_TRUE(Eventually([&] { return second.Shows(Shown()); }));
    EXPECT_EQ(second.Records()[0].height, HOST_YSIZE);
    EXPECT_EQ(WEB_ViewerCount(), 2);
}

TEST_F(WebServer, EveryRouteNeedsTheToken) {
    Start(true);
    httplib::Client client("127.0.0.1", port_);
    for (const char* path : {"/", "/stream", "/input", "/missing", "/../etc/passwd"}) {
        for (const std::string& token :
             {std::string(), std::string("wrong"), kToken.substr(1) + "0", kToken.substr(0, 31)}) {
            const std::string query = token.empty() ? "" : "?token=" + token;
            auto get = client.Get((std::string(path) + query).c_str());
            ASSERT_TRUE(get) << path;
            EXPECT_EQ(get->status, 401) << path << query;
            EXPECT_TRUE(get->body.empty());
            auto post =
                client.Post(path, {{"Authorization", "Bearer " + token}}, "1 1 1", "text/plain");
            ASSERT_TRUE(post);
            EXPECT_EQ(post->status, 401) << path;
        }
    }
    HOST_InputEvent event;
    EXPECT_FALSE(HOST_PollInput(&event)); // nothing got through
    auto page = client.Get(("/?token=" + kToken).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<canvas"), std::string::npos);
    EXPECT_EQ(page->body.find("http"), std::string::npos); // nothing from elsewhere
    auto missing = client.Get(("/missing?token=" + kToken).c_str());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(WebServer, PressesReachThePointerOnlyWithControl) {
    Start(false);
    auto refused = Post("10 20 1");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    HOST_InputEvent event;
    EXPECT_FALSE(HOST_PollInput(&event));
    httplib::Client client("127.0.0.1", port_);
    auto page = client.Get(("/?token=" + kToken).c_str());
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("View only"), std::string::npos);
    WEB_Stop();

    Start(true);
    for (const char* body : {"10 20 1", "30 25 1", "30 25 0"}) {
        auto result = Post(body);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 204) << body;
    }
    for (const char* bad :
         {"800 0 1", "0 480 1", "-1 0 1", "1 2", "1 2 3", "1 2 1 4", "a b c", "", "1 2 1x"}) {
        auto result = Post(bad);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 400) << bad;
    }
    // What the toolkit takes, exactly as from the window's mouse: press, drag, release, and
    // the release's touch view.
    std::vector<HOST_PointerState> states;
    while (HOST_PollInput(&event))
        if (event.kind == HOST_INPUT_POINTER) states.push_back(event.pointer);
    const std::vector<HOST_PointerState> expected = {
        {10, 20, 1}, {30, 25, 1}, {30, 25, 0}, {-1, -1, 0}};
    EXPECT_EQ(states, expected);
}

TEST_F(WebServer, BadRequestsAndTooManyViewersLeaveItServing) {
    Paint(0, HOST_YSIZE - 1, 0x000080);
    Start(false, /*deadline_ms=*/400);
    // A malformed request line, and a header of 1 MiB: answered or dropped, never served.
    EXPECT_EQ(Raw(port_, "NONSENSE\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
    const std::string huge =
        "GET /?token=" + kToken + " HTTP/1.1\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n";
    EXPECT_EQ(Raw(port_, huge).find("200 OK"), std::string::npos);
    const std::string many = "GET /?token=" + kToken + " HTTP/1.1\r\n" + [] {
        std::string h;
        for (int i = 0; i < 5000; ++i)
            h += "X-A: b\r\n";
        return h;
    }() + "\r\n";
    EXPECT_EQ(Raw(port_, many).find("200 OK"), std::string::npos);
    // A body larger than a press is refused.
    auto large = Post(std::string(100000, '1'));
    EXPECT_TRUE(!large || large->status != 204);

    // A client that sends slowly is dropped at the deadline.
    const int slow = Connect(port_);
    ASSERT_GE(slow, 0);
    const auto began = std::chrono::steady_clock::now();
    bool closed = false;
    const std::string head = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i < 100 && !closed; ++i) {
        send(slow, head.data() + i % head.size(), 1, MSG_NOSIGNAL);
        pollfd entry{slow, POLLIN, 0};
        if (poll(&entry, 1, 100) > 0) {
            char byte;
            closed = recv(slow, &byte, 1, 0) <= 0;
        }
    }
    close(slow);
    EXPECT_TRUE(closed);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 3s);

    // Eight viewers; the ninth is turned away until one goes.
    std::vector<std::unique_ptr<Viewer>> viewers;
    for (int i = 0; i < WEB_MAX_VIEWERS; ++i)
        viewers.push_back(std::make_unique<Viewer>(port_));
    for (auto& viewer : viewers)
        ASSERT_TRUE(Eventually([&] { return viewer->Shows(Shown()); }));
    httplib::Client ninth("127.0.0.1", port_);
    ninth.set_read_timeout(5, 0);
    auto turned_away = ninth.Get(("/stream?token=" + kToken).c_str());
    ASSERT_TRUE(turned_away);
    EXPECT_EQ(turned_away->status, 503);
    viewers.pop_back();
    ASSERT_TRUE(Eventually([] { return WEB_ViewerCount() == WEB_MAX_VIEWERS - 1; }));
    Viewer again(port_);
    EXPECT_TRUE(Eventually([&] { return again.Shows(Shown()); }));
    viewers.clear();

    // Fifty connections at once that send nothing: the page is still served afterwards.
    std::vector<int> idle;
    for (int i = 0; i < 50; ++i)
        idle.push_back(Connect(port_));
    for (const int fd : idle)
        close(fd);
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(20, 0);
    auto page = client.Get(("/?token=" + kToken).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
}

TEST_F(WebServer, AViewerThatTakesNothingHoldsUpNobody) {
    Noise(1);
    Start(false, WEB_REQUEST_DEADLINE_S * 1000, /*write_timeout_ms=*/1500);
    // A viewer that asks for the stream and then reads nothing, with a small window.
    const int stuck = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request =
        "GET /stream HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + kToken + "\r\n\r\n";
    ASSERT_EQ(send(stuck, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    ASSERT_TRUE(Eventually([] { return WEB_ViewerCount() == 1; }));

    Viewer viewer(port_);
    // Whole frames of noise, far more than the stuck viewer's buffers hold.
    for (uint32_t i = 2; i < 20; ++i) {
        Noise(i);
        std::this_thread::sleep_for(70ms);
    }
    EXPECT_TRUE(Eventually([&] { return viewer.Shows(Shown()); }, 5s));
    // The stuck one is dropped once its writes stop moving.
    EXPECT_TRUE(Eventually([] { return WEB_ViewerCount() == 1; }, 10s));
    close(stuck);
}

} // namespace
