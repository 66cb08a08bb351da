# utility and handler tests
tamblix_core_test(test_utils
  file_utils_test.cpp
  handlers_cli_test.cpp
  handlers_test.cpp
  text_utils_test.cpp
  volume_info_test.cpp
)
# The command-line tests run the tool.
add_dependencies(test_utils tamblix-cli)
