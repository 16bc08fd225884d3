#include "tests/mqtt/broker_util.h"

#include <mosquitto.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

namespace {

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

} // namespace

TestBroker::TestBroker(const std::string& folder, const std::string& extra) : folder_(folder) {
    port_ = FreeLoopbackPort();
    std::ofstream conf(folder_ + "/mosquitto.conf");
    conf << "listener " << port_ << " 127.0.0.1\n"
         << "allow_anonymous true\n"
         << "persistence false\n"
         // Started as root, the broker would switch to its own user, who cannot read the
         // scratch folder.
         << (geteuid() == 0 ? "user root\n" : "") << extra;
}

TestBroker::~TestBroker() {
    Kill();
}

bool TestBroker::Start() {
    Kill();
    std::fflush(nullptr); // the child must not write out the parent's buffered output
    pid_ = fork();
    if (pid_ == 0) {
        const std::string log = folder_ + "/mosquitto.log";
        freopen(log.c_str(), "a", stdout);
        freopen(log.c_str(), "a", stderr);
        const std::string conf = folder_ + "/mosquitto.conf";
        execlp("mosquitto", "mosquitto", "-c", conf.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 250; ++i) {
        if (Accepts(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void TestBroker::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

namespace {

void OnMessage(struct mosquitto* client, void* self, const struct mosquitto_message* message) {
    Listener::OnMessageThunk(client, self, message);
}

} // namespace

void Listener::OnMessageThunk(struct mosquitto*, void* self, const void* raw) {
    const auto* message = static_cast<const struct mosquitto_message*>(raw);
    auto* listener = static_cast<Listener*>(self);
    ReceivedMessage received;
    received.topic = message->topic;
    received.payload.assign(static_cast<const char*>(message->payload),
                            static_cast<size_t>(message->payloadlen));
    received.retained = message->retain;
    received.when = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(listener->mutex_);
    listener->messages_.push_back(std::move(received));
}

Listener::Listener(int port, const std::string& pattern) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(client_, OnMessage);
    if (mosquitto_connect(client_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS) {
        mosquitto_subscribe(client_, nullptr, pattern.c_str(), 0);
        mosquitto_loop_start(client_);
    } else {
        mosquitto_destroy(client_);
        client_ = nullptr;
    }
}

Listener::~Listener() {
    if (client_ != nullptr) {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    mosquitto_lib_cleanup();
}

bool Listener::Connected() const {
    return client_ != nullptr;
}

std::vector<ReceivedMessage> Listener::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<ReceivedMessage> Listener::On(const std::string& topic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ReceivedMessage> found;
    for (const ReceivedMessage& m : messages_)
        if (m.topic == topic) found.push_back(m);
    return found;
}

std::string Listener::Last(const std::string& topic) const {
    const std::vector<ReceivedMessage> found = On(topic);
    return found.empty() ? "" : found.back().payload;
}

void Listener::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

void Listener::Publish(const std::string& topic, const std::string& payload) {
    if (client_ == nullptr) return;
    mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, false);
}

bool Listener::WaitFor(const std::function<bool()>& condition, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

namespace {

struct Parser {
    const std::string& s;
    size_t i = 0;
    void Blank() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s.compare(i, w.size(), w) != 0) return false;
        i += w.size();
        return true;
    }
    bool String() {
        if (i >= s.size() || s[i] != '"') return false;
        for (++i; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                ++i;
                if (i >= s.size()) return false;
                if (s[i] == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (++i >= s.size() || !isxdigit(static_cast<unsigned char>(s[i])))
                            return false;
                } else if (std::string("\"\\/bfnrt").find(s[i]) == std::string::npos) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Number() {
        const size_t start = i;
        if (i < s.size() && s[i] == '-') ++i;
        if (i >= s.size() || !isdigit(static_cast<unsigned char>(s[i]))) return false;
        if (s[i] == '0' && i + 1 < s.size() && isdigit(static_cast<unsigned char>(s[i + 1])))
            return false;
        while (i < s.size() && isdigit(static_cast<unsigned char>(s[i])))
            ++i;
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (i >= s.size() || !isdigit(static_cast<unsigned char>(s[i]))) return false;
            while (i < s.size() && isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
        return i > start;
    }
    bool Value() {
        Blank();
        if (i >= s.size()) return false;
        bool ok;
        if (s[i] == '{') {
            ++i;
            Blank();
            if (i < s.size() && s[i] == '}') {
                ++i;
                return true;
            }
            for (;;) {
                Blank();
                if (!String()) return false;
                Blank();
                if (i >= s.size() || s[i++] != ':') return false;
                if (!Value()) return false;
                Blank();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < s.size() && s[i] == '}') {
                    ++i;
                    return true;
                }
                return false;
            }
        }
        if (s[i] == '[') {
            ++i;
            Blank();
            if (i < s.size() && s[i] == ']') {
                ++i;
                return true;
            }
            for (;;) {
                if (!Value()) return false;
                Blank();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < s.size() && s[i] == ']') {
                    ++i;
                    return true;
                }
                return false;
            }
        }
        if (s[i] == '"')
            ok = String();
        else if (s[i] == 't')
            ok = Literal("true");
        else if (s[i] == 'f')
            ok = Literal("false");
        else if (s[i] == 'n')
            ok = Literal("null");
        else
            ok = Number();
        return ok;
    }
};

} // namespace

bool IsValidJson(const std::string& text) {
    Parser parser{text};
    if (!parser.Value()) return false;
    parser.Blank();
    return parser.i == text.size();
}

std::string JsonMember(const std::string& text, const std::string& key) {
    const std::string needle = "\"" + key + "\":";
    const size_t at = text.find(needle);
    if (at == std::string::npos) return "";
    size_t start = at + needle.size();
    size_t end = start;
    if (start < text.size() && text[start] == '"') {
        end = text.find('"', start + 1);
        return end == std::string::npos ? "" : text.substr(start, end - start + 1);
    }
    while (end < text.size() && text[end] != ',' && text[end] != '}')
        ++end;
    return text.substr(start, end - start);
}
