# The parser facade over both readers.
add_library(media_facade STATIC ${CMAKE_CURRENT_LIST_DIR}/parsers.cpp)
target_include_directories(media_facade PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(media_facade PUBLIC media_packet mp4parser viewwhilerecording app_core)
