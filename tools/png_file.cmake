# PNG files: the content previews, the capture's frames and the spectrogram are written with it.
find_package(PNG REQUIRED)
# libdeflate compresses the capture's frames, a whole frame per call.
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
add_library(brusk_png STATIC ${CMAKE_CURRENT_LIST_DIR}/png_file.cpp)
target_include_directories(brusk_png PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(brusk_png PUBLIC PNG::PNG PkgConfig::LIBDEFLATE)
