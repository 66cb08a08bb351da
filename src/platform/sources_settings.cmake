target_sources(tamblix_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/qt_settings_store.cpp
)
