# What the offline renderers share: the WAV header and the end of one pass of the song.
add_library(brusk_render_support STATIC ${CMAKE_CURRENT_LIST_DIR}/wav_file.cpp ${CMAKE_CURRENT_LIST_DIR}/song_pass.cpp)
target_include_directories(brusk_render_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(brusk_render_support PUBLIC brusk_music)

# brusk-wav: renders the built-in song or an XM file to a WAV with the engine and mixer.
add_executable(brusk-wav ${CMAKE_CURRENT_LIST_DIR}/brusk_wav.cpp)
# The platform is linked for the playback code the song release reaches; no device is opened.
target_link_libraries(brusk-wav PRIVATE brusk_render_support brusk_music brusk_runtime brusk_data brusk_platform_sdl)
