# walker, ZIP and RAR readers
target_sources(tamblix_core PRIVATE
  archive_member.cpp
  name_text.cpp
  rar_reader.cpp
  walker.cpp
  zip_reader.cpp
)
