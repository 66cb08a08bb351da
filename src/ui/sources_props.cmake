# The properties and options dialogs.
target_sources(tamblix_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/options_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/properties_dialog.cpp
)
