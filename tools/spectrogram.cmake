# brusk-spectrogram IN.wav OUT.png: a spectrogram of a rendered song with its order positions marked.
add_executable(brusk-spectrogram ${CMAKE_CURRENT_LIST_DIR}/spectrogram.cpp)
target_link_libraries(brusk-spectrogram PRIVATE brusk_png)
