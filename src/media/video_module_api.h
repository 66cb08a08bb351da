#pragma once

// The one function the video module exports. The module holds the reader and
// libavformat, which with its codec libraries costs a program far more at
// start than all the rest; it is loaded the first time a video is read.
// Plain C types only, so that the module and the program agree on nothing
// else. A new signature gets a new name, never a changed one.

extern "C" {

// Called once per tag line, in order; both texts are valid during the call only.
typedef void (*TamblixVideoLineFn)(void* context, const char* key, const char* value);

// Reads the container header of the video file at path, giving up after
// budgetMs milliseconds. Calls line(context, key, value) for each tag line and
// returns 1, or calls line(context, nullptr, why) once and returns 0.
typedef int (*TamblixReadVideoFn)(const char* path, int budgetMs, TamblixVideoLineFn line,
                                  void* context);
}

// The exported name of that function in this version of the module.
inline constexpr const char* kTamblixReadVideoName = "tamblix_read_video_v1";
