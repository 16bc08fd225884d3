#include "base/queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(Queue, InitCreatesTheThreeQueuesInOrder) {
    ASSERT_EQ(QUEUE_Init(), 0);
    EXPECT_EQ(g_gui_queue.id, 1);
    EXPECT_EQ(g_connection_queue.id, 2);
    EXPECT_EQ(g_master_queue.id, 3);
    EXPECT_EQ(g_gui_queue.message_size, 12);
    EXPECT_EQ(g_connection_queue.message_size, 48);
    EXPECT_EQ(g_master_queue.message_size, static_cast<int32_t>(sizeof(MasterMessage)));
    EXPECT_EQ(g_gui_queue.capacity, 200);
    EXPECT_EQ(g_connection_queue.buffer_size, 48 * 200);
}

TEST(Queue, FullQueueRefusesAndStaysUnchanged) {
    ASSERT_EQ(QUEUE_Init(), 0);
    StatusMessage message{0, 0, 0};
    for (int i = 0; i < 200; ++i) {
        message.status = i;
        ASSERT_EQ(QUEUE_Send(&g_gui_queue, &message), 0) << i;
    }
    std::vector<uint8_t> before(g_gui_queue.buffer.get(),
                                g_gui_queue.buffer.get() + g_gui_queue.buffer_size);
    message.status = 999;
    EXPECT_EQ(QUEUE_Send(&g_gui_queue, &message), 1);
    EXPECT_EQ(g_gui_queue.count, 200);
    EXPECT_EQ(0, std::memcmp(before.data(), g_gui_queue.buffer.get(), before.size()));
    // The newest accepted message is still on top.
    ASSERT_EQ(QUEUE_Receive(&g_gui_queue, &message), 0);
    EXPECT_EQ(message.status, 199);
}

TEST(Queue, ReceiveIsLastInFirstOutAndEmptyLeavesRecordAlone) {
    ASSERT_EQ(QUEUE_Init(), 0);
    GatewayMessage a{};
    a.command = GW_CMD_CONNECT;
    std::strcpy(a.host, "192.168.1.160");
    GatewayMessage b{};
    b.command = GW_CMD_EXCHANGE;
    ASSERT_EQ(QUEUE_Send(&g_connection_queue, &a), 0);
    ASSERT_EQ(QUEUE_Send(&g_connection_queue, &b), 0);

    GatewayMessage got{};
    ASSERT_EQ(QUEUE_Receive(&g_connection_queue, &got), 0);
    EXPECT_EQ(got.command, GW_CMD_EXCHANGE);
    ASSERT_EQ(QUEUE_Receive(&g_connection_queue, &got), 0);
    EXPECT_EQ(got.command, GW_CMD_CONNECT);
    EXPECT_STREQ(got.host, "192.168.1.160");

    GatewayMessage untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    GatewayMessage copy = untouched;
    EXPECT_EQ(QUEUE_Receive(&g_connection_queue, &untouched), 1);
    EXPECT_EQ(0, std::memcmp(&copy, &untouched, sizeof copy));
}

TEST(Queue, SenderMayReuseItsRecordAtOnce) {
    ASSERT_EQ(QUEUE_Init(), 0);
    uint16_t values[2] = {1, 2};
    MasterMessage message{MB_CMD_WRITE, 6, 18, 1, 0, values, 5};
    ASSERT_EQ(QUEUE_Send(&g_master_queue, &message), 0);
    message.unit_id = 7;
    MasterMessage got{};
    ASSERT_EQ(QUEUE_Receive(&g_master_queue, &got), 0);
    EXPECT_EQ(got.unit_id, 6);
    EXPECT_EQ(got.data, values);
    EXPECT_EQ(got.reserved, 5);
}

TEST(Queue, EleventhQueueIsRefusedWithoutTouchingItsDescriptor) {
    ASSERT_EQ(QUEUE_Init(), 0);
    Queue extra[8];
    for (int i = 0; i < 7; ++i) ASSERT_EQ(QUEUE_Create(&extra[i], 4, 2), 0) << i;
    EXPECT_EQ(extra[6].id, 10);
    Queue eleventh;
    eleventh.id = 77;
    eleventh.count = 5;
    EXPECT_EQ(QUEUE_Create(&eleventh, 4, 2), 1);
    EXPECT_EQ(eleventh.id, 77);
    EXPECT_EQ(eleventh.count, 5);
    EXPECT_EQ(eleventh.buffer, nullptr);
    // A fresh start counts from 1 again.
    EXPECT_EQ(QUEUE_Init(), 0);
    EXPECT_EQ(g_gui_queue.id, 1);
}

TEST(QueueConcurrency, SendersAndReceiverLoseNothingAndDuplicateNothing) {
    ASSERT_EQ(QUEUE_Init(), 0);
    constexpr int kSenders = 3;
    constexpr int kPerSender = 2000;
    std::atomic<int> senders_done{0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([s, &senders_done] {
            for (int i = 0; i < kPerSender; ++i) {
                StatusMessage message{s, i, s * kPerSender + i};
                // A full queue refuses; the sender tries again, as a polling sender would.
                while (QUEUE_Send(&g_gui_queue, &message) != 0) std::this_thread::yield();
            }
            senders_done.fetch_add(1);
        });
    }
    std::set<int> seen;
    int duplicates = 0;
    for (;;) {
        StatusMessage message{};
        if (QUEUE_Receive(&g_gui_queue, &message) == 0) {
            EXPECT_EQ(message.status, message.reserved0 * kPerSender + message.reserved1);
            if (!seen.insert(message.status).second) ++duplicates;
        } else if (senders_done.load() == kSenders) {
            if (QUEUE_Receive(&g_gui_queue, &message) != 0) break;
            if (!seen.insert(message.status).second) ++duplicates;
        } else {
            std::this_thread::yield();
        }
    }
    for (auto& sender : senders) sender.join();
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(static_cast<int>(seen.size()), kSenders * kPerSender);
}

} // namespace

namespace {

TEST(QueueConcurrency, AWaitingReceiverIsWokenByASendAndAnEmptyWaitEnds) {
    ASSERT_EQ(QUEUE_Init(), 0);
    StatusMessage message{1, 2, 3};
    // A message already there is taken without waiting; none there and no time: empty at once.
    ASSERT_EQ(QUEUE_Send(&g_gui_queue, &message), 0);
    StatusMessage got{};
    EXPECT_EQ(QUEUE_ReceiveWait(&g_gui_queue, &got, 60000), 0);
    EXPECT_EQ(got.status, 3);
    EXPECT_EQ(QUEUE_ReceiveWait(&g_gui_queue, &got, 0), 1);
    EXPECT_EQ(QUEUE_ReceiveWait(&g_gui_queue, &got, 5), 1); // a short wait ends empty

    // A receiver waiting a minute gets the message sent a little later; a send to another
    // queue meanwhile does not end its wait empty-handed.
    std::atomic<int> result{-1};
    StatusMessage received{};
    std::thread receiver([&] { result = QUEUE_ReceiveWait(&g_gui_queue, &received, 60000); });
    GatewayMessage other{};
    other.command = GW_CMD_CLOSE;
    ASSERT_EQ(QUEUE_Send(&g_connection_queue, &other), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    message.status = 7;
    ASSERT_EQ(QUEUE_Send(&g_gui_queue, &message), 0);
    receiver.join(); // ends long before the minute
    EXPECT_EQ(result, 0);
    EXPECT_EQ(received.status, 7);
    EXPECT_EQ(QUEUE_ReceiveWait(&g_connection_queue, &other, 0), 0);
    EXPECT_EQ(other.command, GW_CMD_CLOSE);
}

} // namespace
