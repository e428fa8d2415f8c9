#include "music/file_access.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/embedded.h"
#include "shell/runtime.h"
#include "tests/support/memory_image.h"

namespace {

using namespace music;

// A memory file over 100 bytes 0, 1, 2, ... so that copied bytes show where they came from.
struct Hundred {
    uint8_t bytes[100];
    MemoryFile file;
    Hundred() : file{100, 0, bytes} {
        for (int i = 0; i < 100; ++i) bytes[i] = static_cast<uint8_t>(i);
    }
};

TEST(MemoryFile, ReadsStopAtTheEnd) {
    struct Case {
        int32_t position, count, returned, position_after;
    };
    const Case cases[] = {
        {96, 10, 4, 100},   // past the end: the bytes up to the end
        {100, 10, 0, 100},  // at the end: nothing
        {90, 10, 10, 100},  // exactly the remaining bytes
        {0, 3, 3, 3},
        {50, 0, 0, 50},
        {50, -5, 0, 50},                  // a negative count copies nothing
        {10, 0x7FFFFFFF, 90, 100},        // a count that would overflow the sum
    };
    for (const Case& c : cases) {
        Hundred h;
        h.file.position = c.position;
        uint8_t dest[128];
        std::memset(dest, 0xEE, sizeof dest);
        EXPECT_EQ(mem_read(dest, c.count, &h.file), c.returned) << c.position << "+" << c.count;
        EXPECT_EQ(h.file.position, c.position_after) << c.position << "+" << c.count;
        for (int i = 0; i < c.returned; ++i) EXPECT_EQ(dest[i], c.position + i);
        EXPECT_EQ(dest[c.returned], 0xEE) << "copied past the count";
    }
}

TEST(MemoryFile, SeekModesAndClamps) {
    struct Case {
        int32_t position, offset, mode, expected;
    };
    const Case cases[] = {
        {40, 0, SEEK_FROM_END, 100},      {40, 5, SEEK_FROM_END, 100},   {40, -10, SEEK_FROM_END, 90},
        {10, -3, SEEK_FROM_CURRENT, 7},   {10, 95, SEEK_FROM_CURRENT, 100}, {10, 33, SEEK_FROM_START, 33},
        {10, 150, SEEK_FROM_START, 100},  {10, 5, 3, 10},                 {10, 5, 0x100 + SEEK_FROM_START, 5},
        {10, -20, SEEK_FROM_CURRENT, 0},  {10, -1, SEEK_FROM_START, 0},   {10, -200, SEEK_FROM_END, 0},
        {90, 0x7FFFFFFF, SEEK_FROM_CURRENT, 100},  // no wrap-around into a negative position
    };
    for (const Case& c : cases) {
        Hundred h;
        h.file.position = c.position;
        mem_seek(&h.file, c.offset, c.mode);
        EXPECT_EQ(h.file.position, c.expected) << c.position << " " << c.offset << " mode " << c.mode;
        EXPECT_EQ(mem_tell(&h.file), c.expected);
    }
}

TEST(MemoryFile, OpensTheEmbeddedImageOrOneOfTheTests) {
    const int32_t blocks = runtime::heap_live_blocks();
    auto* file = static_cast<MemoryFile*>(mem_open(""));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->data, data::song_module);
    EXPECT_EQ(file->length, data::song_module_size);
    EXPECT_EQ(file->position, 0);
    mem_close(file);

    // The length comes from the four bytes stored after the image, not from anywhere else.
    const uint8_t image[] = {'a', 'b', 'c', 'd', 'e', 3, 0, 0, 0};
    set_memory_image(image, image + 5);
    file = static_cast<MemoryFile*>(mem_open(nullptr));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->data, image);
    EXPECT_EQ(file->length, 3);
    mem_close(file);
    set_memory_image(nullptr, nullptr);
    file = static_cast<MemoryFile*>(mem_open(""));
    EXPECT_EQ(file->data, data::song_module);
    mem_close(file);

    runtime::heap_fail_after(0);
    EXPECT_EQ(mem_open(""), nullptr);
    runtime::heap_fail_after(-1);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks);
}

// Fake callbacks that record what the stream layer hands them.
struct Record {
    void* open_stream = nullptr;
    const void* name = nullptr;
    void* closed = nullptr;
    void* destination = nullptr;
    int32_t count = 0, offset = 0, mode = 0;
    void* stream = nullptr;
} record;
int stream_token = 0;

void* fake_open(const void* name) {
    record.name = name;
    return record.open_stream;
}
void fake_close(void* stream) { record.closed = stream; }
int32_t fake_read(void* destination, int32_t count, void* stream) {
    record.destination = destination;
    record.count = count;
    record.stream = stream;
    return 42;
}
void fake_seek(void* stream, int32_t offset, int32_t mode) {
    record.stream = stream;
    record.offset = offset;
    record.mode = mode;
}
int32_t fake_tell(void* stream) {
    record.stream = stream;
    return 1234;
}
int32_t other_read(void*, int32_t, void*) { return 7; }

TEST(FileCallbacks, AnyNullClearsTheWholeTable) {
    for (int missing = 0; missing < 5; ++missing) {
        install_file_callbacks(fake_open, fake_close, fake_read, fake_seek, fake_tell);
        install_file_callbacks(missing == 0 ? nullptr : fake_open, missing == 1 ? nullptr : fake_close,
                               missing == 2 ? nullptr : fake_read, missing == 3 ? nullptr : fake_seek,
                               missing == 4 ? nullptr : fake_tell);
        EXPECT_EQ(file_callbacks.open, nullptr) << missing;
        EXPECT_EQ(file_callbacks.close, nullptr) << missing;
        EXPECT_EQ(file_callbacks.read, nullptr) << missing;
        EXPECT_EQ(file_callbacks.seek, nullptr) << missing;
        EXPECT_EQ(file_callbacks.tell, nullptr) << missing;
    }
    // Nothing installed: opening yields nothing rather than a call through a null reference.
    const int32_t blocks = runtime::heap_live_blocks();
    EXPECT_EQ(stream_open(""), nullptr);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks);
}

TEST(ModuleStream, ForwardsInTheCallbacksArgumentOrder) {
    const int32_t blocks = runtime::heap_live_blocks();
    install_file_callbacks(fake_open, fake_close, fake_read, fake_seek, fake_tell);
    record = {};
    record.open_stream = &stream_token;
    const char name[] = "song";
    ModuleStream* handle = stream_open(name);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(record.name, name);
    EXPECT_EQ(handle->stream, &stream_token);

    char buffer[4];
    EXPECT_EQ(stream_read(buffer, 3, handle), 42);
    EXPECT_EQ(record.destination, buffer);
    EXPECT_EQ(record.count, 3);
    EXPECT_EQ(record.stream, &stream_token);
    stream_seek(handle, -7, SEEK_FROM_END);
    EXPECT_EQ(record.offset, -7);
    EXPECT_EQ(record.mode, SEEK_FROM_END);
    EXPECT_EQ(stream_tell(handle), 1234);

    // The table is looked up at each call, not captured when the stream opened.
    install_file_callbacks(fake_open, fake_close, other_read, fake_seek, fake_tell);
    EXPECT_EQ(stream_read(buffer, 3, handle), 7);

    stream_close(handle);
    EXPECT_EQ(record.closed, &stream_token);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks);
}

TEST(ModuleStream, NullHandlesAndFailedOpens) {
    const int32_t blocks = runtime::heap_live_blocks();
    install_file_callbacks(fake_open, fake_close, fake_read, fake_seek, fake_tell);
    record = {};
    record.offset = 99;
    char buffer[4];
    EXPECT_EQ(stream_read(buffer, 4, nullptr), 0);
    EXPECT_EQ(stream_tell(nullptr), 0);
    stream_seek(nullptr, 5, SEEK_FROM_START);
    stream_close(nullptr);
    EXPECT_EQ(record.offset, 99);
    EXPECT_EQ(record.closed, nullptr);
    EXPECT_EQ(record.count, 0);

    record.open_stream = nullptr;  // the open callback fails: the handle is released
    EXPECT_EQ(stream_open(""), nullptr);
    runtime::heap_fail_after(0);  // no memory for the handle
    record.open_stream = &stream_token;
    EXPECT_EQ(stream_open(""), nullptr);
    runtime::heap_fail_after(-1);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks);
}

TEST(ModuleStream, ReadsTheMemoryImageThroughTheMemoryCallbacks) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    test_support::MemoryImage image(bytes);
    ModuleStream* handle = stream_open("");
    ASSERT_NE(handle, nullptr);
    stream_seek(handle, -2, SEEK_FROM_END);
    uint8_t out[4] = {};
    EXPECT_EQ(stream_read(out, 4, handle), 2);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(stream_tell(handle), 6);
    stream_close(handle);
}

}  // namespace
