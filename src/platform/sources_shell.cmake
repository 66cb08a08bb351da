# shell, icons, volume label and serial
target_sources(tamblix_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/shell_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volume_info.cpp
)
