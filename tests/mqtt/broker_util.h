// A private Mosquitto broker for tests (never the system service): its own configuration file
// in a scratch folder, a free loopback port, killed by its process id when the object goes;
// and a listening client that keeps every message it receives.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

struct mosquitto;

int FreeLoopbackPort();

class TestBroker {
  public:
    // `extra` is appended to the listener's configuration (TLS lines, for example).
    explicit TestBroker(const std::string& folder, const std::string& extra = "");
    ~TestBroker();
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    bool Start(); // on the same port every time; true once it accepts connections
    void Kill();  // SIGKILL, as a crash or a pulled cable would end it
    int port() const { return port_; }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

  private:
    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
    std::chrono::steady_clock::time_point when;
};

class Listener {
  public:
    Listener(int port, const std::string& pattern = "#");
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Connected() const;
    std::vector<ReceivedMessage> Messages() const;
    std::vector<ReceivedMessage> On(const std::string& topic) const;
    // The last message on the topic, "" when none.
    std::string Last(const std::string& topic) const;
    void Clear();
    void Publish(const std::string& topic, const std::string& payload);
    bool WaitFor(const std::function<bool()>& condition, int seconds);

    static void OnMessageThunk(struct mosquitto*, void* self, const void* message);

  private:
    struct mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> messages_;
};

// A very small strict JSON checker for the tests: true when `text` is one valid JSON value.
bool IsValidJson(const std::string& text);
// The text of a top-level member's value (a number or a "string" with quotes), "" when none.
std::string JsonMember(const std::string& text, const std::string& key);
