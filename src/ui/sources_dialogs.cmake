# The small dialogs: new volume, update, handlers, extensions, text, tags, memo, pick list.
target_sources(tamblix_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dialog_common.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_handler_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_scan_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_ext_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/handlers_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memo_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/new_volume_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pick_list_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tags_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_edit_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update_dialog.cpp
)
