#pragma once

#include "tags/tag_info.h"

#include <string>
#include <string_view>

// Whether the handler title `title` names the reader `upper`, which is given
// in capitals: titles match in any case.
bool IsReaderTitle(std::string_view title, std::string_view upper);

// Runs the audio reader step of the handler titled `title` (for example "MP3")
// on the file at `path` and writes what it found into `info`, in that
// handler's fixed order of keys. False when the title has no reader step or
// the file could not be read; a failure never throws.
// onlyHoles: the caller knows every byte of the file reads as zero; readers
// that know their answer for such a file give it without opening it.
bool RunReaderStep(const std::string& title, const std::string& path, TTagInfo& info,
                   bool onlyHoles = false);
