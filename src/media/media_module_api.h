#pragma once

// The one function each reader module exports. The modules hold readers whose
// libraries cost a program much at start (libavformat with its codec
// libraries, Exiv2 with its tag tables); each is loaded the first time a file
// of its kind is read. Plain C types only, so that a module and the program
// agree on nothing else. A new signature gets a new name, never a changed one.

#include <cstddef>

extern "C" {

// Called once per tag line, in order; both texts are valid during the call only.
typedef void (*TamblixTagLineFn)(void* context, const char* key, const char* value);

// Reads the file at path, giving up after budgetMs milliseconds where the
// library allows it. Calls line(context, key, value) for each tag line and
// returns 1, or calls line(context, nullptr, why) once and returns 0. A read
// that returns 1 may also call line(context, nullptr, why) once, last: its
// lines are what could be read, and why says what is missing.
// flags: kTamblixOnlyZeros or 0.
typedef int (*TamblixReadFileFn)(const char* path, int budgetMs, unsigned flags,
                                 TamblixTagLineFn line, void* context);

// The thumbnail module's answer: a JPEG of width x height (data valid during
// the call only), or data null and why it made none.
typedef void (*TamblixThumbFn)(void* context, const unsigned char* data, size_t size, int width,
                               int height, const char* why);
// Makes the thumbnail of the photo or video at path, at most maxSide pixels
// on its long side; calls done once. Returns 1 when it made one.
typedef int (*TamblixMakeThumbFn)(const char* path, int maxSide, TamblixThumbFn done,
                                  void* context);
}

// The caller knows every byte of the file reads as zero (its size is all
// holes): the reader answers as it would for such bytes, without opening it
// where it can.
inline constexpr unsigned kTamblixOnlyZeros = 1;

// The exported names in this version of the modules.
inline constexpr const char* kTamblixReadVideoName = "tamblix_read_video_v2";
inline constexpr const char* kTamblixReadPhotoName = "tamblix_read_photo_v2";
inline constexpr const char* kTamblixMakeThumbName = "tamblix_make_thumbnail_v1";
