# brusk-wav: renders the built-in song or an XM file to a WAV with the engine and mixer.
add_executable(brusk-wav ${CMAKE_CURRENT_LIST_DIR}/brusk_wav.cpp)
target_link_libraries(brusk-wav PRIVATE brusk_music brusk_runtime brusk_data)
