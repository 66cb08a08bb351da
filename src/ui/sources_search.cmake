target_sources(tamblix_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/export_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/import_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/search_models.cpp
  ${CMAKE_CURRENT_LIST_DIR}/search_window.cpp
)
