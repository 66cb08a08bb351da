# walker and archive tests
tamblix_core_test(test_archives
  archive_lister_test.cpp
  archive_scan_test.cpp
  rar_reader_test.cpp
  rar_writer.cpp
  walker_test.cpp
  zip_reader_test.cpp
)
