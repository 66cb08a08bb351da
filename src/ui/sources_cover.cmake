# Cover printing: the insert's drawing and its window.
target_sources(tamblix_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cover_painter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/print_cover.cpp
)
