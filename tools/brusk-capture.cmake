# brusk-capture: the show rendered offline, frame-exact, to PNG frames (or a video through ffmpeg)
# and the sound heard with them. The capture is a library so that its benchmark runs the same code.
add_library(brusk_capture STATIC ${CMAKE_CURRENT_LIST_DIR}/capture.cpp)
target_include_directories(brusk_capture PUBLIC ${PROJECT_SOURCE_DIR})
# The virtual wave device stands in for a sound card; the platform comes last, as the music and
# the show call into it.
target_link_libraries(brusk_capture PUBLIC brusk_shell brusk_show brusk_render_support brusk_png brusk_music brusk_runtime
  brusk_data brusk_platform_virtual_wave brusk_platform_sdl_video OpenGL::GL)
add_executable(brusk-capture ${CMAKE_CURRENT_LIST_DIR}/brusk_capture.cpp)
target_link_libraries(brusk-capture PRIVATE brusk_capture)
if(BRUSK_SANITIZE)
  target_sources(brusk-capture PRIVATE ${PROJECT_SOURCE_DIR}/platform/sdl/no_leak_checks.c)
endif()
