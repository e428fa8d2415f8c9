#include "music/file_access.h"

#include "data/embedded.h"
#include "shell/runtime.h"

namespace music {

FileCallbacks file_callbacks = {};

void install_file_callbacks(FileOpen open, FileClose close, FileRead read, FileSeek seek, FileTell tell) {
    if (!open || !close || !read || !seek || !tell) {
        file_callbacks = {};
        return;
    }
    file_callbacks = {open, close, read, seek, tell};
}

namespace {

const uint8_t* memory_image = nullptr;         // null: the embedded module
const uint8_t* memory_stored_length = nullptr;

int32_t stored_length(const uint8_t* bytes) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

}  // namespace

void install_memory_callbacks() { install_file_callbacks(mem_open, mem_close, mem_read, mem_seek, mem_tell); }

void set_memory_module(const uint8_t* bytes, uint32_t length) {
    // The length goes after the image as the built-in module keeps it, here in a word of our own.
    static uint8_t length_bytes[4];
    for (int i = 0; i < 4; ++i) length_bytes[i] = static_cast<uint8_t>(length >> (8 * i));
    set_memory_image(bytes, bytes ? length_bytes : nullptr);
}

void set_memory_image(const uint8_t* image, const uint8_t* length_bytes) {
    if (!image || !length_bytes) {
        memory_image = nullptr;
        memory_stored_length = nullptr;
        return;
    }
    memory_image = image;
    memory_stored_length = length_bytes;
}

void* mem_open(const void*) {
    auto* file = static_cast<MemoryFile*>(runtime::heap_alloc_zeroed(sizeof(MemoryFile)));
    if (!file) return nullptr;
    if (memory_image) {
        file->data = memory_image;
        file->length = stored_length(memory_stored_length);
    } else {
        file->data = data::song_module;
        file->length = stored_length(data::song_module + data::song_module_size);
    }
    if (file->length < 0) file->length = 0;  // a corrupt length must not open a reach before the image
    file->position = 0;
    return file;
}

void mem_close(void* stream) { runtime::free(stream); }

int32_t mem_read(void* destination, int32_t count, void* stream) {
    auto* file = static_cast<MemoryFile*>(stream);
    // Widened so that a huge count cannot overflow; a negative count copies nothing.
    int64_t n = count < 0 ? 0 : count;
    if (file->position + n >= file->length) n = file->length - file->position;
    runtime::block_copy(destination, file->data + file->position, static_cast<int32_t>(n));
    file->position += static_cast<int32_t>(n);
    return static_cast<int32_t>(n);
}

void mem_seek(void* stream, int32_t offset, int32_t mode) {
    auto* file = static_cast<MemoryFile*>(stream);
    int64_t position = file->position;
    switch (mode & 0xFF) {
        case SEEK_FROM_START: position = offset; break;
        case SEEK_FROM_CURRENT: position += offset; break;
        case SEEK_FROM_END: position = static_cast<int64_t>(file->length) + offset; break;
        default: break;
    }
    if (position > file->length) position = file->length;
    if (position < 0) position = 0;  // never a position before the image
    file->position = static_cast<int32_t>(position);
}

int32_t mem_tell(void* stream) { return static_cast<MemoryFile*>(stream)->position; }

ModuleStream* stream_open(const void* name) {
    auto* handle = static_cast<ModuleStream*>(runtime::calloc(1, sizeof(ModuleStream)));
    if (!handle) return nullptr;
    // Without installed callbacks there is nothing to open.
    handle->stream = file_callbacks.open ? file_callbacks.open(name) : nullptr;
    if (!handle->stream) {
        runtime::free(handle);
        return nullptr;
    }
    return handle;
}

void stream_close(ModuleStream* handle) {
    if (!handle) return;
    if (file_callbacks.close) file_callbacks.close(handle->stream);
    runtime::free(handle);
}

int32_t stream_read(void* destination, int32_t count, ModuleStream* handle) {
    if (!handle || !file_callbacks.read) return 0;
    return file_callbacks.read(destination, count, handle->stream);
}

void stream_seek(ModuleStream* handle, int32_t offset, int32_t mode) {
    if (!handle || !file_callbacks.seek) return;
    file_callbacks.seek(handle->stream, offset, mode);
}

int32_t stream_tell(ModuleStream* handle) {
    if (!handle || !file_callbacks.tell) return 0;
    return file_callbacks.tell(handle->stream);
}

}  // namespace music
