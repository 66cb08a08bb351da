# utilities, handler table
target_sources(tamblix_core PRIVATE
  file_utils.cpp
  handlers.cpp
  shell_services.cpp
  string_parser.cpp
  text_utils.cpp
  volume_info.cpp
)
