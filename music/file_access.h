#pragma once
// Module file access: the loader reads the song through a table of five callbacks, and the
// program installs callbacks that read a memory image (the module built into the executable),
// so loading needs no file system. A thin stream layer wraps what the open callback returns.

#include <cstdint>

namespace music {

using FileOpen = void* (*)(const void* name);
using FileClose = void (*)(void* stream);
using FileRead = int32_t (*)(void* destination, int32_t count, void* stream);  // stream last
using FileSeek = void (*)(void* stream, int32_t offset, int32_t mode);         // stream first
using FileTell = int32_t (*)(void* stream);

struct FileCallbacks {
    FileOpen open;
    FileClose close;
    FileRead read;
    FileSeek seek;
    FileTell tell;
};

// All null until installed.
extern FileCallbacks file_callbacks;

// Stores all five when none is null; any null reference clears the whole table.
void install_file_callbacks(FileOpen open, FileClose close, FileRead read, FileSeek seek, FileTell tell);

constexpr int32_t SEEK_FROM_START = 0;
constexpr int32_t SEEK_FROM_CURRENT = 1;
constexpr int32_t SEEK_FROM_END = 2;

struct MemoryFile {
    int32_t length;
    int32_t position;
    const uint8_t* data;
};

// The memory callbacks. mem_open ignores the name and opens the current memory image.
void* mem_open(const void* name);
void mem_close(void* stream);
int32_t mem_read(void* destination, int32_t count, void* stream);
void mem_seek(void* stream, int32_t offset, int32_t mode);
int32_t mem_tell(void* stream);

// Installs the five memory callbacks above: the loader then reads the current memory image.
void install_memory_callbacks();

// Points the memory callbacks at `length` bytes of a module of the caller's, which must stay
// until it is loaded; null restores the module built into the program.
void set_memory_module(const uint8_t* bytes, uint32_t length);

// The same at the level of the built-in module's layout: `image` is its first byte and
// `stored_length` the 32-bit little-endian length kept after it (normally image + length).
// Null for either restores the module built into the program.
void set_memory_image(const uint8_t* image, const uint8_t* stored_length);

// The stream layer: looks the callbacks up at each call; a null handle does nothing (0 back).
struct ModuleStream {
    void* stream;
};

ModuleStream* stream_open(const void* name);
void stream_close(ModuleStream* handle);
int32_t stream_read(void* destination, int32_t count, ModuleStream* handle);
void stream_seek(ModuleStream* handle, int32_t offset, int32_t mode);
int32_t stream_tell(ModuleStream* handle);

}  // namespace music
