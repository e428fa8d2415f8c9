# brusk-wav: renders the built-in song or an XM file to a WAV with the engine and mixer.
add_executable(brusk-wav ${CMAKE_CURRENT_LIST_DIR}/brusk_wav.cpp)
# The platform is linked for the playback code the song release reaches; no device is opened.
target_link_libraries(brusk-wav PRIVATE brusk_music brusk_runtime brusk_data brusk_platform_sdl)
