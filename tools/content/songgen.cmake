# The song composer: brusk-songgen OUT.xm writes data/song.xm. The composition is a library so
# that a test can regenerate the committed file and compare bytes.
add_library(brusk_songgen STATIC ${CMAKE_CURRENT_LIST_DIR}/songgen_score.cpp ${CMAKE_CURRENT_LIST_DIR}/songgen_sounds.cpp)
target_include_directories(brusk_songgen PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(brusk_songgen PUBLIC brusk_xm_writer)
add_executable(brusk-songgen ${CMAKE_CURRENT_LIST_DIR}/songgen_main.cpp)
target_link_libraries(brusk-songgen PRIVATE brusk_songgen)
