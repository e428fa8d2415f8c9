# A still frame of the show's shared pieces, rendered offscreen to a PNG.
add_executable(brusk-showframe ${CMAKE_CURRENT_LIST_DIR}/showframe.cpp)
target_link_libraries(brusk-showframe PRIVATE brusk_show brusk_png brusk_music brusk_platform_sdl OpenGL::GL ${GLU_LIBRARY})
