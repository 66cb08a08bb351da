# global data, lists, message table
target_sources(tamblix_core PRIVATE
  message_table.cpp
  settings_helpers.cpp
  progress_state.cpp
  global_data.cpp
)
