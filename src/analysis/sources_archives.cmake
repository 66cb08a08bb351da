# walker, ZIP and RAR readers
target_sources(tamblix_core PRIVATE
  archive_io.cpp
  archive_lister.cpp
  archive_member.cpp
  name_text.cpp
  rar_headers.cpp
  rar_reader.cpp
  walker.cpp
  zip_reader.cpp
)
