# utility and handler tests
tamblix_core_test(test_utils
  file_utils_test.cpp
  handlers_test.cpp
  text_utils_test.cpp
  volume_info_test.cpp
)
