# A frame of one scene after a run of frames, rendered offscreen to a PNG.
add_executable(brusk-sceneframe ${CMAKE_CURRENT_LIST_DIR}/sceneframe.cpp)
target_link_libraries(brusk-sceneframe PRIVATE brusk_show brusk_png brusk_music brusk_platform_sdl OpenGL::GL ${GLU_LIBRARY})
