# The XM writer: the song composer's back end and the source of the tests' module fixtures.
add_library(brusk_xm_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/xm_writer.cpp)
target_include_directories(brusk_xm_writer PUBLIC ${PROJECT_SOURCE_DIR})
