# One frame of the show at a chosen song position and time, rendered offscreen to a PNG.
add_executable(brusk-frameat ${CMAKE_CURRENT_LIST_DIR}/frameat.cpp)
target_link_libraries(brusk-frameat PRIVATE brusk_show brusk_png brusk_music brusk_platform_sdl OpenGL::GL)
