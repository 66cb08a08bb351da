#pragma once

#include <string>
#include <string_view>
#include <vector>

// Catalog paths: "\" between folders on every platform, because they are
// stored in files; a folder path ends in "\". A drive is a letter and ":".

// Path with "\" appended unless it is empty or already ends with "\".
std::string AddBackslash(std::string_view path);
// Path without its first character when that is "\".
std::string StripLeadingBackslash(std::string_view path);
// AddBackslash(a) + AddBackslash(StripLeadingBackslash(b)) + c without up to
// two leading "\".
std::string JoinPath(std::string_view a, std::string_view b, std::string_view c);
// The folder holding the last element, with its "\": "C:\a\b\" and "C:\a\b"
// both give "C:\a\"; "C:\" and "" give "".
std::string ParentFolder(std::string_view path);
// The last element without its "\": "C:\a\b\" gives "b"; "C:\" gives "".
std::string LastFolderName(std::string_view path);
// "C:\music" -> "C:\", "C:" -> "C:\"; "" when the path holds no ":".
std::string DriveOf(std::string_view path);
// The part of a ZIP member name after its last "/" ("docs/" gives "").
std::string StripArchivePath(std::string_view name);

// Extensions.

// The extension of the file-name part with its dot, as written: "a.tar.GZ" ->
// ".GZ", "dir.x/file" -> "", "noext" -> "". Both "/" and "\" end a folder.
std::string ExtractFileExt(std::string_view fileName);
// The same in upper case (".mp3" -> ".MP3").
std::string UpperFileExt(std::string_view fileName);
// "mp4", ".Mp4" -> ".MP4"; blanks around are dropped; "" stays "".
std::string NormalizeExtension(std::string_view text);
// True when the file's extension equals one of extensions, ignoring case.
bool HasExtension(std::string_view fileName, const std::vector<std::string>& extensions);
// The text from the dot before the last one, in upper case: ".TAR.GZ" for
// "a.tar.gz"; empty when the name part has fewer than two dots.
std::string UpperDoubleFileExt(std::string_view fileName);
// The extensions of the archive kinds listed through the archive library
// (7z, TAR, ISO, CAB), as the default Archives handler claims them.
const std::vector<std::string>& ArchiveKindExtensions();
// An archive by name alone (".RAR", ".ZIP" or one of ArchiveKindExtensions),
// for catalogs, which do not know the handler table.
bool IsArchiveFile(std::string_view fileName);

// Source paths: native paths with the native separator; folders end in it.

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Path with the native separator appended unless empty or already there.
std::string AddPathSeparator(std::string_view path);
// Path without its trailing separators, the root itself excepted ("/" stays "/").
std::string RemovePathSeparator(std::string_view path);
// folder + separator + name, with exactly one separator between them.
std::string JoinNativePath(std::string_view folder, std::string_view name);
// The last element of a native path, trailing separators ignored ("/a/b/" -> "b").
std::string NativeLastName(std::string_view path);
