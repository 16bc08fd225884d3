// Request frames, the response checks in their order, the copy into register windows and the
// whole-frame reader, without a network.
#include "base/queue.h"
#include "comm/mb_frame.h"
#include "devices/device_list.h"
#include "tests/comm/comm_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes SentFrame(const MB_MasterContext& context) {
    return Bytes(context.send_buffer, context.send_buffer + context.send_length);
}

// A well-formed read response to the context's current request, values 0x1100 + k.
Bytes ReadResponse(const MB_MasterContext& context) {
    const int n = context.quantity;
    Bytes frame = {static_cast<uint8_t>(context.transaction_id >> 8),
                   static_cast<uint8_t>(context.transaction_id),
                   0,
                   0,
                   static_cast<uint8_t>((3 + 2 * n) >> 8),
                   static_cast<uint8_t>(3 + 2 * n),
                   context.unit_id,
                   3,
                   static_cast<uint8_t>(2 * n)};
    for (int k = 0; k < n; ++k) {
        frame.push_back(0x11);
        frame.push_back(static_cast<uint8_t>(k));
    }
    return frame;
}

Bytes WriteResponse(const MB_MasterContext& context) {
    return {static_cast<uint8_t>(context.transaction_id >> 8),
            static_cast<uint8_t>(context.transaction_id),
            0,
            0,
            0,
            6,
            context.unit_id,
            16,
            static_cast<uint8_t>(context.start_address >> 8),
            static_cast<uint8_t>(context.start_address),
            static_cast<uint8_t>(context.quantity >> 8),
            static_cast<uint8_t>(context.quantity)};
}

void Receive(MB_MasterContext* context, const Bytes& frame) {
    std::memcpy(context->receive_buffer, frame.data(), frame.size());
    context->receive_length = static_cast<int32_t>(frame.size());
    context->response_ready.store(1);
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(QUEUE_Init(), 0); }
    int PostedExchanges() {
        int count = 0;
        GatewayMessage message{};
        while (QUEUE_Receive(&g_connection_queue, &message) == 0) {
            EXPECT_EQ(message.command, GW_CMD_EXCHANGE);
            ++count;
        }
        return count;
    }
    MB_MasterContext context;
};

TEST_F(FrameTest, RequestsCarryTheirExactBytesAndAreHandedToTheConnectionTask) {
    context.error.store(1);
    ASSERT_EQ(MB_BuildReadRequest(6, 0x0102, 100, &context), 0);
    EXPECT_EQ(SentFrame(context), (Bytes{0, 1, 0, 0, 0, 6, 6, 3, 0x01, 0x02, 0, 100}));
    EXPECT_EQ(context.error.load(), 0);
    EXPECT_EQ(context.function_code, 3);
    EXPECT_TRUE(context.exchange_pending.load());

    const uint16_t values[2] = {0xABCD, 0x0010};
    ASSERT_EQ(MB_BuildWriteRequest(9, 18, values, 2, &context), 0);
    EXPECT_EQ(SentFrame(context),
              (Bytes{0, 2, 0, 0, 0, 11, 9, 16, 0, 18, 0, 2, 4, 0xAB, 0xCD, 0x00, 0x10}));
    EXPECT_EQ(context.function_code, 16);
    EXPECT_EQ(context.quantity, 2);
    EXPECT_EQ(PostedExchanges(), 2);

    // The largest write that fits the send buffer, and one more than that.
    std::vector<uint16_t> many(122, 0x5A5A);
    ASSERT_EQ(MB_BuildWriteRequest(1, 0, many.data(), MB_MAX_WRITE_COUNT, &context), 0);
    EXPECT_EQ(context.send_length, 13 + 2 * MB_MAX_WRITE_COUNT);
    DiagnosticCapture diagnostics;
    EXPECT_EQ(MB_BuildWriteRequest(1, 0, many.data(), 122, &context), 1);
    EXPECT_EQ(context.error.load(), 1) << "a refused request must end the caller's wait";
    EXPECT_EQ(PostedExchanges(), 1);
}

TEST_F(FrameTest, TransactionIdStartsAtOneWrapsToZeroAndTheWrappedAnswerIsAccepted) {
    MB_BuildReadRequest(1, 0, 1, &context);
    EXPECT_EQ(context.transaction_id, 1);
    context.transaction_id = 65535;
    MB_BuildReadRequest(1, 0, 1, &context);
    EXPECT_EQ(context.transaction_id, 0);
    EXPECT_EQ(context.send_buffer[0], 0);
    EXPECT_EQ(context.send_buffer[1], 0);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_CheckReadResponse(&context), 0);
}

TEST_F(FrameTest, RefusedPostPrintsItsMessageAndFailsTheTransaction) {
    // Fill the connection queue.
    GatewayMessage filler{};
    while (QUEUE_Send(&g_connection_queue, &filler) == 0) {
    }
    DiagnosticCapture diagnostics;
    EXPECT_EQ(MB_BuildReadRequest(1, 0, 1, &context), 1);
    EXPECT_EQ(diagnostics.Text(), "send Queue Error");
    EXPECT_EQ(context.error.load(), 1);
    EXPECT_FALSE(context.exchange_pending.load());
}

// One broken field of a response, the message and code the check must give.
struct Breakage {
    const char* name;
    std::function<void(Bytes&)> mutate;
    const char* message;
    int code;
};

TEST_F(FrameTest, ReadCheckRulesFailInTheirOrderWithTheirMessagesAndCodes) {
    const std::vector<Breakage> cases = {
        {"transaction id", [](Bytes& f) { f[1] ^= 1; }, "MB ERROR TRANSACTION IDENT\n", 11},
        {"protocol id", [](Bytes& f) { f[3] = 1; }, "MB ERROR PROTOCOLL ID\n", 12},
        {"length field", [](Bytes& f) { f[5] += 2; }, "MB ERROR BYTE COUNT\n", 5},
        {"short frame",
         [](Bytes& f) {
             f.pop_back();
             f[5] -= 1;
         },
         "MB ERROR BYTE COUNT\n", 5},
        {"unit id", [](Bytes& f) { f[6] += 1; }, "MB ERROR SLAVE ADRESS\n", 3},
        {"function code", [](Bytes& f) { f[7] = 4; }, "MB ERROR FUNCTION CODE\n", 4},
        {"byte count 2",
         [](Bytes& f) {
             // Consistent with the frame's length, but not twice the quantity.
             f.pop_back();
             f.pop_back();
             f[5] -= 2;
             f[8] -= 2;
         },
         "MB ERROR BYTE COUNT 2 \n", 5},
        // Two faults at once report the earlier rule.
        {"id and unit",
         [](Bytes& f) {
             f[1] ^= 1;
             f[6] += 1;
         },
         "MB ERROR TRANSACTION IDENT\n", 11},
        {"protocol and length",
         [](Bytes& f) {
             f[3] = 1;
             f[5] = 0;
         },
         "MB ERROR PROTOCOLL ID\n", 12},
    };
    for (const Breakage& c : cases) {
        SCOPED_TRACE(c.name);
        MB_BuildReadRequest(7, 40, 3, &context);
        Bytes frame = ReadResponse(context);
        c.mutate(frame);
        Receive(&context, frame);
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_CheckReadResponse(&context), c.code);
        EXPECT_EQ(diagnostics.Text(), c.message);
        EXPECT_EQ(context.response_ready.load(), 0);
        EXPECT_EQ(context.receive_length, 0);
    }
    // The error flag comes after the frame rules: a whole frame with error set fails at 5.
    MB_BuildReadRequest(7, 40, 3, &context);
    Receive(&context, ReadResponse(context));
    context.error.store(1);
    DiagnosticCapture diagnostics;
    EXPECT_EQ(MB_CheckReadResponse(&context), MB_ERROR_TIMEOUT);
    EXPECT_EQ(diagnostics.Text(), "MB ERROR TIMEOUT PE\n");
}

TEST_F(FrameTest, ReadOfOneHundredNeedsAll209BytesAndExceptionsFailAtTheFrameLength) {
    MB_BuildReadRequest(2, 0, 100, &context);
    Bytes frame = ReadResponse(context);
    ASSERT_EQ(frame.size(), 209u);
    Receive(&context, frame);
    EXPECT_EQ(MB_CheckReadResponse(&context), 0);
    EXPECT_EQ(context.response_ready.load(), 1) << "a passed read stays for the copy";

    // 208 bytes, as a reception cut by one byte would give.
    Receive(&context, frame);
    context.receive_length = 208;
    {
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_CheckReadResponse(&context), MB_ERROR_BYTE_COUNT);
        EXPECT_EQ(diagnostics.Text(), "MB ERROR BYTE COUNT\n");
    }

    // Exception 2 (illegal address): 9 bytes, function code 0x83.
    MB_BuildReadRequest(2, 0, 1, &context);
    Receive(&context, {0, static_cast<uint8_t>(context.transaction_id), 0, 0, 0, 3, 2, 0x83, 2});
    {
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_CheckReadResponse(&context), MB_ERROR_BYTE_COUNT);
        EXPECT_EQ(diagnostics.Text(), "MB ERROR BYTE COUNT\n");
    }
    const uint16_t value = 1;
    MB_BuildWriteRequest(2, 5, &value, 1, &context);
    Receive(&context, {0, static_cast<uint8_t>(context.transaction_id), 0, 0, 0, 3, 2, 0x90, 2});
    DiagnosticCapture diagnostics;
    EXPECT_EQ(MB_CheckWriteResponse(&context), MB_ERROR_BYTE_COUNT);
    EXPECT_EQ(diagnostics.Text(), "MB_ERROR_BYTE_COUNT\n");
}

TEST_F(FrameTest, FailedExchangeWithNothingReceivedFailsBeforeTheErrorRule) {
    MB_BuildReadRequest(3, 0, 10, &context);
    Receive(&context, ReadResponse(context)); // the previous frame stays in the buffer
    MB_ClearResponse(&context);
    MB_BuildReadRequest(3, 0, 10, &context);
    context.error.store(1);
    DiagnosticCapture diagnostics;
    const int code = MB_CheckReadResponse(&context);
    EXPECT_TRUE(code == MB_ERROR_TRANSACTION_IDENT || code == MB_ERROR_BYTE_COUNT) << code;
    EXPECT_EQ(diagnostics.Count("TIMEOUT"), 0);
}

TEST_F(FrameTest, WriteCheckRulesFailInTheirOrderWithTheirMessagesAndCodes) {
    const std::vector<Breakage> cases = {
        {"transaction id", [](Bytes& f) { f[0] ^= 1; }, "MB ERROR TRANSACTION IDENT\n", 11},
        {"protocol id", [](Bytes& f) { f[2] = 1; }, "MB ERROR PROTOCOLL ID\n", 12},
        {"length field", [](Bytes& f) { f[5] = 7; }, "MB ERROR BYTE COUNT\n", 5},
        {"short frame",
         [](Bytes& f) {
             f.pop_back();
             f[5] = 5;
         },
         "MB_ERROR_BYTE_COUNT\n", 5},
        {"unit id", [](Bytes& f) { f[6] = 99; }, "MB_ERROR_SLAVE_ADRESS\n", 3},
        {"function code", [](Bytes& f) { f[7] = 6; }, "MB_ERROR_FUNCTION_CODE\n", 4},
        {"start address", [](Bytes& f) { f[9] += 1; }, "MB_ERROR_START_ADRESS\n", 6},
        {"quantity", [](Bytes& f) { f[11] = 2; }, "MB_ERROR_BYTE_COUNT\n", 5},
    };
    const uint16_t value = 0x1234;
    for (const Breakage& c : cases) {
        SCOPED_TRACE(c.name);
        MB_BuildWriteRequest(4, 300, &value, 1, &context);
        Bytes frame = WriteResponse(context);
        c.mutate(frame);
        Receive(&context, frame);
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_CheckWriteResponse(&context), c.code);
        EXPECT_EQ(diagnostics.Text(), c.message);
        EXPECT_EQ(context.response_ready.load(), 0);
    }
    MB_BuildWriteRequest(4, 300, &value, 1, &context);
    Receive(&context, WriteResponse(context));
    context.error.store(1);
    {
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_CheckWriteResponse(&context), MB_ERROR_TIMEOUT);
        EXPECT_EQ(diagnostics.Text(), "MB_ERROR_TIMEOUT\n");
    }
    MB_BuildWriteRequest(4, 300, &value, 1, &context);
    Receive(&context, WriteResponse(context));
    EXPECT_EQ(MB_CheckWriteResponse(&context), 0);
    EXPECT_EQ(context.response_ready.load(), 0) << "a passed write is cleared";
}

TEST_F(FrameTest, RegistersLandInTheFirstEntryOfTheUnitAndNeverBeyondItsWindow) {
    DEV_Clear();
    DEV_BeginSearch();
    ASSERT_EQ(DEV_CreateDisplayGroup(5), 0);
    const int32_t meter = DEV_AppendDevice(6, DeviceTypeTable[DEV_TYPE_CORVO_500]);
    ASSERT_EQ(meter, DEV_GROUP_SIZE);
    RegisterCell* meter_window = g_device_list.entries[meter].registers.load();

    // A poll of block 4000 of the display unit lands in the first current sensor's block.
    MB_BuildReadRequest(5, 4000, 3, &context);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_StoreDeviceRegisters(&context), 0);
    const RegisterCell* amprix = g_device_list.entries[3].registers.load();
    EXPECT_EQ(Reg_Get(amprix, 0), 0x1100);
    EXPECT_EQ(Reg_Get(amprix, 2), 0x1102);
    EXPECT_EQ(context.response_ready.load(), 1) << "the copy leaves the response to the caller";
    MB_ClearResponse(&context);

    // The meter's window: register k at start + k.
    MB_BuildReadRequest(6, 100, 36, &context);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_StoreDeviceRegisters(&context), 0);
    EXPECT_EQ(Reg_Get(meter_window, 100), 0x1100);
    EXPECT_EQ(Reg_Get(meter_window, 135), 0x1123);
    EXPECT_EQ(Reg_Get(meter_window, 136), 0);

    // Beyond the 300-register window: refused, nothing copied, the next window untouched.
    MB_BuildReadRequest(6, 290, 20, &context);
    Receive(&context, ReadResponse(context));
    {
        DiagnosticCapture diagnostics;
        EXPECT_EQ(MB_StoreDeviceRegisters(&context), MB_ERROR_WINDOW_RANGE);
        EXPECT_EQ(diagnostics.Text(), "MB ERROR WINDOW RANGE\n");
    }
    EXPECT_EQ(Reg_Get(meter_window, 290), 0);
    EXPECT_EQ(Reg_Get(meter_window, 300), 0);

    // No entry with the unit id: nothing copied, success.
    MB_BuildReadRequest(40, 0, 2, &context);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_StoreDeviceRegisters(&context), 0);

    // A failed check is passed on without a copy.
    MB_BuildReadRequest(6, 0, 2, &context);
    Bytes frame = ReadResponse(context);
    frame[6] = 7;
    Receive(&context, frame);
    EXPECT_EQ(MB_StoreDeviceRegisters(&context), MB_ERROR_SLAVE_ADRESS);
    EXPECT_EQ(Reg_Get(meter_window, 0), 0);

    // A destination array: by register address, bounded by its size.
    uint16_t destination[12] = {};
    MB_BuildReadRequest(6, 10, 2, &context);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_StoreRegisters(&context, destination, 12), 0);
    EXPECT_EQ(destination[10], 0x1100);
    EXPECT_EQ(destination[11], 0x1101);
    MB_BuildReadRequest(6, 11, 2, &context);
    Receive(&context, ReadResponse(context));
    EXPECT_EQ(MB_StoreRegisters(&context, destination, 12), MB_ERROR_WINDOW_RANGE);
    EXPECT_EQ(destination[11], 0x1101);
}

// A source that hands out its bytes in pieces of the given sizes, then ends the stream.
struct PieceSource {
    Bytes bytes;
    std::vector<int> pieces = {};
    size_t at = 0;
    size_t piece = 0;
    int fail_at = -1; // reading at this offset fails
};

int ReadPiece(void* source, uint8_t* into, int room) {
    auto* s = static_cast<PieceSource*>(source);
    if (static_cast<int>(s->at) == s->fail_at) return -1;
    if (s->at >= s->bytes.size()) return 0;
    int size = s->piece < s->pieces.size() ? s->pieces[s->piece++] : room;
    size = std::min({size, room, static_cast<int>(s->bytes.size() - s->at)});
    std::memcpy(into, s->bytes.data() + s->at, static_cast<size_t>(size));
    s->at += static_cast<size_t>(size);
    return size;
}

TEST_F(FrameTest, FrameReaderTakesExactlyOneFrameHoweverItIsSplit) {
    MB_BuildReadRequest(2, 0, 100, &context);
    const Bytes frame = ReadResponse(context);
    Bytes twice = frame;
    twice.insert(twice.end(), frame.begin(), frame.end());
    for (const std::vector<int>& pieces :
         {std::vector<int>{}, std::vector<int>(300, 1), std::vector<int>{3, 4, 200, 2},
          std::vector<int>{7, 1, 1, 250}}) {
        PieceSource source{twice, pieces};
        uint8_t buffer[MB_BUFFER_SIZE] = {};
        int length_field = 0;
        ASSERT_EQ(MB_ReadFrame(ReadPiece, &source, buffer, MB_BUFFER_SIZE, &length_field), 209);
        EXPECT_EQ(length_field, 203);
        EXPECT_EQ(Bytes(buffer, buffer + 209), frame);
        EXPECT_EQ(source.at, 209u) << "the second copy stays unread";
    }
}

TEST_F(FrameTest, FrameReaderRefusesLengthsOutsideTheBufferAndReportsEndsAndFailures) {
    uint8_t buffer[MB_BUFFER_SIZE];
    int length_field = 0;
    for (const auto& [high, low, expected_field] :
         {std::tuple{0, 0, 0}, {0, 2, 2}, {0, 251, 251}, {0xD1, 0x34, 0xD134}}) {
        PieceSource source{
            {0, 1, 0, 0, static_cast<uint8_t>(high), static_cast<uint8_t>(low), 1, 3, 2, 0, 0}};
        EXPECT_EQ(MB_ReadFrame(ReadPiece, &source, buffer, MB_BUFFER_SIZE, &length_field),
                  MB_FRAME_BAD_LENGTH);
        EXPECT_EQ(length_field, expected_field);
        EXPECT_EQ(source.at, 7u) << "nothing is read past a bad header";
    }
    // 250 is the longest frame the buffer takes (6 + 250 = 256 bytes).
    Bytes longest(256, 0);
    longest[5] = 250;
    PieceSource whole{longest};
    EXPECT_EQ(MB_ReadFrame(ReadPiece, &whole, buffer, MB_BUFFER_SIZE, &length_field), 256);

    PieceSource cut{{0, 1, 0, 0, 0, 5, 1, 3, 2}};
    EXPECT_EQ(MB_ReadFrame(ReadPiece, &cut, buffer, MB_BUFFER_SIZE, &length_field),
              MB_FRAME_CLOSED);
    PieceSource failing{{0, 1, 0, 0, 0, 5, 1, 3, 2, 0, 0}, {}, 0, 0, 7};
    EXPECT_EQ(MB_ReadFrame(ReadPiece, &failing, buffer, MB_BUFFER_SIZE, &length_field),
              MB_FRAME_FAILED);
}

} // namespace
