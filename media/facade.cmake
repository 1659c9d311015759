# The parser facade over both readers. It is built once the ISO media parser
# exists; the live-recording branch joins when its reader is there.
if(EXISTS ${PROJECT_SOURCE_DIR}/mp4parser/MP4Parser.h)
  add_library(media_facade STATIC ${CMAKE_CURRENT_LIST_DIR}/parsers.cpp)
  target_include_directories(media_facade PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(media_facade PUBLIC media_packet mp4parser app_core)
  if(EXISTS ${PROJECT_SOURCE_DIR}/viewwhilerecording/src/ViewWhileRec.cpp)
    target_link_libraries(media_facade PUBLIC viewwhilerecording)
    target_compile_definitions(media_facade PRIVATE TOLVANE2_VIEW_WHILE_RECORDING=1)
  endif()
endif()
