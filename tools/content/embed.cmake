# brusk-embed: turns one data/ file into an array (see data/CMakeLists.txt). It includes nothing
# of ours, so the cross builds compile it for the build machine on its own (BRUSK_HOST_EMBED).
add_executable(brusk-embed ${CMAKE_CURRENT_LIST_DIR}/embed.cpp)
