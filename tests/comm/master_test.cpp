// The master task's search, polling and writes against the gateway simulator, with the
// connection task running and the screen replaced by recording hooks.
#include "base/queue.h"
#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/lifecycle.h"
#include "comm/gateway.h"
#include "comm/master.h"
#include "comm/mb_frame.h"
#include "comm/mb_ui.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "tests/comm/comm_test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What the search put on the screen.
std::mutex g_screen_lock;
std::vector<std::string> g_banner;
std::vector<std::string> g_info;
std::vector<std::array<int, 7>> g_titles;
int g_shown = 0;

// Language text n is "T<n>".
std::array<std::string, 200> g_texts;

const MB_UiHooks kRecordingHooks = {
    [] {
        std::lock_guard<std::mutex> guard(g_screen_lock);
        ++g_shown;
    },
    [] {},
    [](const char* text) {
        std::lock_guard<std::mutex> guard(g_screen_lock);
        g_banner.emplace_back(text);
    },
    [](const char* text) {
        std::lock_guard<std::mutex> guard(g_screen_lock);
        g_info.emplace_back(text);
    },
    [](int ip1, int ip2, int ip3, int ip4, int rev1, int rev2, int rev3) {
        std::lock_guard<std::mutex> guard(g_screen_lock);
        g_titles.push_back({ip1, ip2, ip3, ip4, rev1, rev2, rev3});
    },
    [](int number) -> const char* {
        return number >= 0 && number < 200 ? g_texts[static_cast<size_t>(number)].c_str() : nullptr;
    },
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    std::lock_guard<std::mutex> guard(g_screen_lock);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class MasterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (size_t n = 0; n < g_texts.size(); ++n)
            g_texts[n] = "T" + std::to_string(n);
        {
            std::lock_guard<std::mutex> guard(g_screen_lock);
            g_banner.clear();
            g_info.clear();
            g_titles.clear();
            g_shown = 0;
        }
        MB_SetUiHooks(&kRecordingHooks);
        Master_SetPauseForTests(1);
        // Every case starts from the empty list and store the GUI task leaves after a loss.
        DEV_Clear();
        // Names files go to a scratch data folder.
        setenv("APPDATA", scratch_.Path().c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
    }
    void TearDown() override { MB_SetUiHooks(nullptr); }

    // Connects the running connection task to the simulator.
    void Connect(const Simulator& simulator) {
        PostConnect(simulator.port_text());
        ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    }

    static const DeviceEntry& Entry(int index) {
        return g_device_list.entries[static_cast<size_t>(index)];
    }
    static const RegisterCell* Store(int32_t at) { return g_register_store.data() + at; }
    static int32_t DeviceCount() { return g_device_list.device_count.load(); }

    ScratchFolder scratch_;
};

TEST_F(MasterTest, SearchOfTheDefaultBusListsTheDevicesInBusOrderAndPollsThemAll) {
    Simulator simulator({});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);

    Master_SearchBus(250);
    const char* names[] = {"Quill",    "Home",   "Graph", "Amprix 1", "Amprix 2", "Amprix 3",
                           "Amprix 4", "T190",   "T191",  "T192",     "T193",     "RV100/30",
                           "Celton",   "Celton", "Brant", "BrantV2",  "Corvo",    "Corvo"};
    ASSERT_EQ(DeviceCount(), 18);
    EXPECT_EQ(g_device_list.polled_count.load(), 18);
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(Entry(i).name, names[i]);
        EXPECT_EQ(Entry(i).unit_id.load(), i < DEV_GROUP_SIZE ? 1 : i - 9);
    }
    // The group's blocks in the display map, the other windows one after another from 12000.
    const int32_t blocks[] = {0, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000};
    for (int k = 0; k < DEV_GROUP_SIZE; ++k)
        EXPECT_EQ(Entry(k).registers.load(), Store(blocks[k]));
    const int32_t windows[] = {12000, 12828, 12937, 13046, 13148, 13298, 13598};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(Entry(DEV_GROUP_SIZE + i).registers.load(), Store(windows[i]));

    // The banner: start, progress per unit, the found count with the group counted once.
    EXPECT_EQ(g_shown, 1);
    ASSERT_FALSE(g_banner.empty());
    EXPECT_EQ(g_banner.front(), "T173 254 T174 0");
    EXPECT_TRUE(Contains(g_banner, "T173 1/70 T174 1"));
    EXPECT_TRUE(Contains(g_banner, "T173 2/70 T174 2"));
    EXPECT_EQ(g_banner.back(), "T173 70/70 T174 8");
    EXPECT_TRUE(Contains(g_info, "T174 Quill T171 1\n"));
    EXPECT_TRUE(Contains(g_info, "T174 RV100/30 T171 2\n"));
    EXPECT_TRUE(Contains(g_info, "T174 Corvo T171 8\n"));
    EXPECT_EQ(diagnostics.Count("T174 BrantV2 T171 6\n"), 1);
    // Units 9 to 70 answer with an exception.
    EXPECT_EQ(diagnostics.Count("MB_Master_Response_Error\n"), 62);

    // One poll of every block and device: 21 requests for the group, 20 for the others.
    const uint16_t before = g_mb_context.transaction_id;
    Master_FinishSearch();
    EXPECT_EQ(static_cast<uint16_t>(g_mb_context.transaction_id - before), 41);
    EXPECT_EQ(g_banner.back(), "T175");
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Entry(i).state.load(), 1);
        EXPECT_EQ(Reg_Get(Entry(i).registers.load(), 0), Entry(i).type.load()->type_id);
    }
    EXPECT_EQ(Reg_Get(Store(0), 16), 1);
    EXPECT_EQ(Reg_Get(Store(4000), 16), 1) << "block 4000 polled into the first current sensor";
    EXPECT_EQ(diagnostics.Count("MB Error!"), 0);
    // The information window's title: the unit's address and firmware revision.
    ASSERT_EQ(g_titles.size(), 1u);
    const uint16_t ip_low = Reg_Get(Store(0), 159);
    const uint16_t ip_high = Reg_Get(Store(0), 160);
    EXPECT_EQ(g_titles[0], (std::array<int, 7>{ip_low & 0xFF, ip_low >> 8, ip_high & 0xFF,
                                               ip_high >> 8, Reg_Get(Store(0), 9),
                                               Reg_Get(Store(0), 10), Reg_Get(Store(0), 11)}));
}

TEST_F(MasterTest, ControllerIsReadInNineRequestsOfAtMostOneHundredRegisters) {
    const std::string scenario = WriteScenario(scratch_, "rv.scn", "2 rv100 pv=400\n");
    Simulator simulator({"--scenario", scenario});
    Tasks tasks(false);
    Connect(simulator);
    Master_SearchBus(250);
    ASSERT_EQ(DeviceCount(), 1);
    const RegisterCell* window = Entry(0).registers.load();
    EXPECT_EQ(Reg_Get(window, 0), 0) << "not polled yet";

    const uint16_t before = g_mb_context.transaction_id;
    Master_PollAll();
    EXPECT_EQ(static_cast<uint16_t>(g_mb_context.transaction_id - before), 9);
    EXPECT_EQ(g_mb_context.start_address, 800);
    EXPECT_EQ(g_mb_context.quantity, 28);
    EXPECT_EQ(Reg_Get(window, 0), 1024);
    bool last_chunk_filled = false;
    for (int32_t r = 800; r < 828; ++r)
        last_chunk_filled = last_chunk_filled || Reg_Get(window, r) != 0;
    EXPECT_TRUE(last_chunk_filled);
    EXPECT_EQ(Entry(0).state.load(), 1);
}

TEST_F(MasterTest, MaximumStopsAfterAnOrdinaryDeviceButNotInsideADisplayGroup) {
    const std::string scenario =
        WriteScenario(scratch_, "two.scn", "3 celton\n4 celtonv2\n9 quill\n12 corvo500\n");
    Simulator simulator({"--scenario", scenario});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    Master_SearchBus(1);
    EXPECT_EQ(DeviceCount(), 1);
    EXPECT_EQ(g_device_list.polled_count.load(), 1);
    EXPECT_EQ(diagnostics.Count("Alle Geraete gefunden / Stopp Suche\n"), 1);

    // 2 ordinary devices, then a group of 11 jumps past 3; the maximum is never met again.
    Master_SearchBus(3);
    EXPECT_EQ(DeviceCount(), 14);
    EXPECT_EQ(diagnostics.Count("Alle Geraete gefunden / Stopp Suche\n"), 1);
    EXPECT_EQ(g_banner.back(), "T173 70/70 T174 4");
}

TEST_F(MasterTest, UnknownTypeIdAndExceptionAnswersGetNoEntry) {
    Gateway_SetTimeoutsForTests(2000, 2000);
    Simulator simulator({"--exception", "5:11"});
    Tasks tasks(false);
    Connect(simulator);
    // Unit 8 keeps a written type id from now on.
    const uint16_t unknown = 777;
    MB_BuildWriteRequest(8, 0, &unknown, 1, &g_mb_context);
    Master_WaitResponse();
    ASSERT_EQ(MB_CheckWriteResponse(&g_mb_context), 0);

    Master_SearchBus(250);
    EXPECT_TRUE(Contains(g_info, "T169 8\n"));
    EXPECT_EQ(DeviceCount(), 11 + 5) << "units 5 and 8 have no entry";
    for (int i = 0; i < DeviceCount(); ++i) {
        EXPECT_NE(Entry(i).unit_id.load(), 8);
        EXPECT_NE(Entry(i).unit_id.load(), 5);
    }
}

TEST_F(MasterTest, SilentUnitDuringPollingTimesOutAndLosesTheConnection) {
    Gateway_SetTimeoutsForTests(300, 300);
    Simulator simulator({"--silent", "3"});
    DiagnosticCapture diagnostics;
    Tasks tasks(false);
    Connect(simulator);
    DEV_BeginSearch();
    DEV_AppendDevice(2, DeviceTypeTable[DEV_TYPE_RV100_30]);
    DEV_AppendDevice(3, DeviceTypeTable[DEV_TYPE_CELTON]);
    DEV_AppendDevice(4, DeviceTypeTable[DEV_TYPE_CELTON_V2]);
    g_device_list.polled_count.store(3);

    Master_PollAll();
    EXPECT_EQ(Entry(0).state.load(), 1);
    EXPECT_EQ(Entry(1).state.load(), 0);
    EXPECT_EQ(diagnostics.Count("Slave id:3 MB Error!\n"), 1);
    EXPECT_EQ(MB_GetConnected(&g_mb_context), 0);
    EXPECT_EQ(Reg_Get(Entry(2).registers.load(), 0), 0) << "the cycle ended with the connection";
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});

    // A search while the connection is down leaves the list and the polled count alone.
    Master_SearchBus(250);
    EXPECT_EQ(g_device_list.polled_count.load(), 3);
    Master_FinishSearch();
    EXPECT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_FAILED});
}

TEST_F(MasterTest, TaskSearchesOnCommandWritesEachValueAndLoadsNamesBeforeTheResult) {
    Simulator simulator({});
    DiagnosticCapture diagnostics;
    Tasks tasks(true);
    Connect(simulator);

    MasterMessage search{};
    search.kind = MB_CMD_SEARCH_BUS;
    search.max_devices = 250;
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &search), 0);
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    ASSERT_EQ(DeviceCount(), 18);
    EXPECT_EQ(diagnostics.Count("MODBUS MASTER TASK: start device search via bus\n"), 1);

    // Two writes pending at once, each with its own value.
    const RegisterCell* celton = Entry(12).registers.load();
    const RegisterCell* celton_v2 = Entry(13).registers.load();
    ASSERT_EQ(Master_PostWrite(3, 60, 1111), 0);
    ASSERT_EQ(Master_PostWrite(4, 60, 2222), 0);
    EXPECT_TRUE(
        WaitFor([&] { return Reg_Get(celton, 60) == 1111 && Reg_Get(celton_v2, 60) == 2222; }));
    EXPECT_EQ(diagnostics.Count("Send Ok\n"), 2);

    // Names stored for this display unit are in the entries when the result arrives.
    ConfigIdentity identity;
    for (int r = 0; r < 6; ++r)
        identity.words[static_cast<size_t>(r)] = Reg_Get(Store(0), 2 + r);
    ASSERT_EQ(CONFIG_SetPageName(identity, "QUILL", "Roof display"), 1);
    ASSERT_EQ(CONFIG_SetPageName(identity, "LEVEL2", "Fresh water"), 1);
    ASSERT_EQ(CONFIG_SetDeviceName(identity, 11, "West array"), 1);
    MasterMessage from_config{};
    from_config.kind = MB_CMD_SEARCH_CONFIG;
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &from_config), 0);
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    EXPECT_STREQ(Entry(0).custom_name, "Roof display");
    EXPECT_STREQ(Entry(8).custom_name, "Fresh water");
    EXPECT_STREQ(Entry(11).custom_name, "West array");
    EXPECT_STREQ(Entry(12).custom_name, "");

    // A read command into a caller's array, by register address.
    std::array<uint16_t, 20> registers{};
    MasterMessage read{};
    read.kind = MB_CMD_READ;
    read.unit_id = 2;
    read.start_address = 0;
    read.register_count = 20;
    read.data = registers.data();
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &read), 0);
    EXPECT_TRUE(WaitFor([&] { return diagnostics.Count("Read Data ok\n") == 1; }));
    tasks.Stop();
    EXPECT_EQ(registers[0], 1024);
}

// The writes the master task completed ("Send Ok"), as the request frame had them, and when.
using Clock = std::chrono::steady_clock;
struct SentWrite {
    int unit;
    int address;
    int value;
    Clock::time_point at;
};
std::mutex g_sent_lock;
std::vector<SentWrite> g_sent;

// Runs on the master task, which owns the context, right after a write's answer passed.
void RecordSentWrites(const char* text, int length) {
    if (std::string(text, static_cast<size_t>(length)) != "Send Ok\n") return;
    const MB_MasterContext& c = g_mb_context;
    std::lock_guard<std::mutex> guard(g_sent_lock);
    g_sent.push_back(
        {c.unit_id, c.start_address, c.send_buffer[13] << 8 | c.send_buffer[14], Clock::now()});
}

std::vector<SentWrite> Sent() {
    std::lock_guard<std::mutex> guard(g_sent_lock);
    return g_sent;
}

TEST_F(MasterTest, WritesReachTheDevicesInPostingOrderBetweenPollRequests) {
    Simulator simulator({});
    Tasks tasks(true);
    Connect(simulator);
    MasterMessage search{};
    search.kind = MB_CMD_SEARCH_BUS;
    search.max_devices = 250;
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &search), 0);
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    ASSERT_EQ(DeviceCount(), 18);
    const RegisterCell* brant = Entry(14).registers.load();
    ASSERT_EQ(Reg_Get(brant, 18), 2) << "the Brant at unit 5 starts in auto";
    const RegisterCell* display = Store(0);
    const uint16_t clock_before = Reg_Get(display, 145);

    // Polling at the real pace: one request per 100 ms, about 4 s per cycle.
    Master_SetPauseForTests(100);
    {
        std::lock_guard<std::mutex> guard(g_sent_lock);
        g_sent.clear();
    }
    DBG_SetSink(RecordSentWrites);
    // Off 300 ms after on: the device ends off, each press sent within 300 ms.
    const Clock::time_point on_posted = Clock::now();
    ASSERT_EQ(Master_PostWrite(5, 18, 1), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Clock::time_point off_posted = Clock::now();
    ASSERT_EQ(Master_PostWrite(5, 18, 0), 0);
    // Three devices at once: sent in the order posted, although the queue hands out the
    // newest message first.
    ASSERT_EQ(Master_PostWrite(3, 60, 111), 0);
    ASSERT_EQ(Master_PostWrite(4, 60, 222), 0);
    ASSERT_EQ(Master_PostWrite(7, 120, 333), 0);
    ASSERT_TRUE(WaitFor([] { return Sent().size() >= 5; }, 5000));
    // Polling went on: the display unit's clock was read again.
    EXPECT_TRUE(WaitFor([&] { return Reg_Get(display, 145) != clock_before; }, 15000));
    DBG_SetSink(nullptr);

    const std::vector<SentWrite> sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    const int expected[5][3] = {{5, 18, 1}, {5, 18, 0}, {3, 60, 111}, {4, 60, 222}, {7, 120, 333}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].unit, expected[i][0]);
        EXPECT_EQ(sent[i].address, expected[i][1]);
        EXPECT_EQ(sent[i].value, expected[i][2]);
    }
    EXPECT_LT(sent[0].at - on_posted, std::chrono::milliseconds(300));
    EXPECT_LT(sent[1].at - off_posted, std::chrono::milliseconds(300));
    // What the devices hold, as the following polls read it back.
    EXPECT_TRUE(WaitFor([&] { return Reg_Get(brant, 18) == 0 && Reg_Get(brant, 31) == 0; }));
    EXPECT_TRUE(WaitFor([&] { return Reg_Get(Entry(16).registers.load(), 120) == 333; }));
}

TEST_F(MasterTest, WritesWaitingTogetherInTheQueueAreSentOldestFirst) {
    // Seventy writes in the queue before the task looks; without a connection each fails at
    // once with the unit id, in the order the task sends them.
    DiagnosticCapture diagnostics;
    ASSERT_EQ(QUEUE_Init(), 0);
    for (int unit = 1; unit <= 70; ++unit)
        ASSERT_EQ(Master_PostWrite(unit, 18, static_cast<uint16_t>(unit)), 0);
    std::thread master(MasterTask);
    const bool done = WaitFor([&] { return diagnostics.Count(" MB Error!\n") == 70; });
    APP_RequestStop();
    master.join();
    APP_ResetStop();
    ASSERT_TRUE(done) << diagnostics.Text();
    std::string expected;
    for (int unit = 1; unit <= 70; ++unit)
        expected += "Slave id:" + std::to_string(unit) + " MB Error!\n";
    std::string errors;
    const std::string text = diagnostics.Text();
    for (size_t at = text.find("Slave id:"); at != std::string::npos;
         at = text.find("Slave id:", at + 1))
        errors += text.substr(at, text.find('\n', at) - at + 1);
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(diagnostics.Count("Too many pending"), 0);
    // Every slot came back: as many writes can be posted again.
    for (int unit = 1; unit <= 70; ++unit)
        EXPECT_EQ(Master_PostWrite(unit, 18, 0), 0);
    QUEUE_Init();
}

TEST_F(MasterTest, DroppedConnectionEndsThePollingCycleAndANewConnectionResumesIt) {
    // 70 search requests, then the drop inside the first poll.
    Simulator simulator({"--drop-after", "80"});
    DiagnosticCapture diagnostics;
    Tasks tasks(true);
    Connect(simulator);
    MasterMessage search{};
    search.kind = MB_CMD_SEARCH_BUS;
    search.max_devices = 250;
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &search), 0);
    // The search's own result and the connection task's report.
    EXPECT_EQ(TakeStatuses(2), (std::vector<int32_t>{STATUS_FAILED, STATUS_FAILED}));
    EXPECT_EQ(DeviceCount(), 18);

    // Polling goes on over the same list once connected again.
    const RegisterCell* last = Entry(17).registers.load();
    Connect(simulator);
    EXPECT_TRUE(WaitFor([&] { return Reg_Get(last, 0) == 500; }));
}

// A relay between the connection task and the simulator that records every request on the
// wire, together with a probe of the register store taken the moment the request arrived.
struct WireRequest {
    int unit;
    int function;
    int address;
    int count;
    int value; // the first written value of a write
    int probe;
};

class WireRecorder {
  public:
    WireRecorder(int target_port, std::function<int()> probe)
        : target_port_(target_port), probe_(std::move(probe)) {
        listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listen_fd_, 1) != 0 ||
            getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "relay socket";
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~WireRecorder() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        close(listen_fd_);
    }
    std::string port_text() const { return std::to_string(port_); }
    std::vector<WireRequest> Requests() {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.clear();
    }

  private:
    struct Source {
        WireRecorder* self;
        int fd;
    };
    static int Receive(void* source, uint8_t* into, int room) {
        const Source& s = *static_cast<Source*>(source);
        while (!s.self->stop_) {
            pollfd p{s.fd, POLLIN, 0};
            const int ready = poll(&p, 1, 50);
            if (ready < 0) return -1;
            if (ready == 0) continue;
            return static_cast<int>(recv(s.fd, into, static_cast<size_t>(room), 0));
        }
        return -1;
    }
    bool WaitReadable(int fd) {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) return true;
        }
        return false;
    }
    void Run() {
        if (!WaitReadable(listen_fd_)) return;
        const int client = accept(listen_fd_, nullptr, nullptr);
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(target_port_));
        if (client >= 0 &&
            connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            Source from_client{this, client};
            Source from_server{this, server};
            uint8_t frame[MB_BUFFER_SIZE];
            for (;;) {
                const int n = MB_ReadFrame(Receive, &from_client, frame, sizeof frame, nullptr);
                if (n < 12) break;
                const auto word = [&](int at) { return frame[at] << 8 | frame[at + 1]; };
                const WireRequest request{frame[6],
                                          frame[7],
                                          word(8),
                                          word(10),
                                          frame[7] == 16 && n >= 15 ? word(13) : -1,
                                          probe_()};
                {
                    std::lock_guard<std::mutex> guard(lock_);
                    requests_.push_back(request);
                }
                if (send(server, frame, static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
                const int m = MB_ReadFrame(Receive, &from_server, frame, sizeof frame, nullptr);
                if (m < 9 || send(client, frame, static_cast<size_t>(m), MSG_NOSIGNAL) != m) break;
            }
        }
        if (client >= 0) close(client);
        close(server);
    }

    int target_port_;
    std::function<int()> probe_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex lock_;
    std::vector<WireRequest> requests_;
};

TEST_F(MasterTest, AWriteIsReadBackBeforeTheNextPollRequest) {
    Simulator simulator({});
    // The probe: the Brant's mode register (unit 5, entry 14) as the store holds it.
    WireRecorder wire(simulator.port(), [] {
        const RegisterCell* brant = g_device_list.entries[14].registers.load();
        return brant != nullptr ? Reg_Get(brant, 18) : -1;
    });
    Tasks tasks(true);
    PostConnect(wire.port_text());
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    MasterMessage search{};
    search.kind = MB_CMD_SEARCH_BUS;
    search.max_devices = 250;
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &search), 0);
    ASSERT_EQ(TakeStatuses(1), std::vector<int32_t>{STATUS_OK});
    ASSERT_EQ(DeviceCount(), 18);
    ASSERT_EQ(Entry(14).unit_id.load(), 5);
    const RegisterCell* brant = Entry(14).registers.load();
    ASSERT_EQ(Reg_Get(brant, 18), 2) << "the Brant at unit 5 starts in auto";
    const RegisterCell* v2 = Entry(15).registers.load();
    ASSERT_EQ(Entry(15).unit_id.load(), 6);
    ASSERT_EQ(Reg_Get(v2, 22), 2) << "the BrantV2 at unit 6 starts in auto";

    // ON on the Brant; OFF on the BrantV2, whose lamps show register 22: the read-back is the
    // first of its two polling chunks (registers 0-99, then 100-149).
    wire.Clear();
    ASSERT_EQ(Master_PostWrite(5, 18, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return Reg_Get(brant, 18) == 1; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return wire.Requests().size() >= 4; }, 5000));
    ASSERT_EQ(Master_PostWrite(6, 16, 20), 0);
    ASSERT_TRUE(WaitFor([&] { return Reg_Get(v2, 22) == 0; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return wire.Requests().size() >= 12; }, 5000));

    const std::vector<WireRequest> requests = wire.Requests();
    const auto find_write = [&](int unit) {
        for (size_t i = 0; i < requests.size(); ++i)
            if (requests[i].function == 16 && requests[i].unit == unit) return i;
        return requests.size();
    };
    size_t w = find_write(5);
    ASSERT_LT(w + 2, requests.size());
    EXPECT_EQ(requests[w].address, 18);
    EXPECT_EQ(requests[w].value, 1);
    // Right after the write: its device's chunk, the one polling reads register 18 in.
    EXPECT_EQ(requests[w + 1].function, 3);
    EXPECT_EQ(requests[w + 1].unit, 5);
    EXPECT_EQ(requests[w + 1].address, 0);
    EXPECT_EQ(requests[w + 1].count, 38);
    // The store had the old mode when the read-back went out and the new one before the next
    // poll request left.
    EXPECT_EQ(requests[w + 1].probe, 2);
    EXPECT_EQ(requests[w + 2].probe, 1);
    EXPECT_EQ(requests[w + 2].function, 3);

    w = find_write(6);
    ASSERT_LT(w + 1, requests.size());
    EXPECT_EQ(requests[w].address, 16);
    EXPECT_EQ(requests[w].value, 20);
    EXPECT_EQ(requests[w + 1].function, 3);
    EXPECT_EQ(requests[w + 1].unit, 6);
    EXPECT_EQ(requests[w + 1].address, 0);
    EXPECT_EQ(requests[w + 1].count, 100);
    tasks.Stop();
}

} // namespace
