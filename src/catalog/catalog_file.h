#pragma once

#include "catalog/lib_obj.h"
#include "settings/progress.h"
#include "settings/questions.h"

#include <string>

// Reading and writing the catalog file. Failures throw EMessageError:
// "errFNF", the kinds of OpenInputFile ("errIsFifo", ...), "errRead",
// "errUnknownFile", "errWrongFile", "infoCancel", "errWrite",
// "errDamaged" (with the file name and the byte offset of the damage).

// Writes the whole catalog; the old file stays intact until the new one is complete.
void SaveToFile(TLibObj& lib, const std::string& path, IProgress& progress);
// Reads a catalog file into `lib`; append keeps what is there. A damaged file
// leaves what was read and clears FileName so that a plain Save cannot
// overwrite the damaged file.
void LoadFromFile(TLibObj& lib, const std::string& path, bool append, IProgress& progress,
                  IQuestions* questions = nullptr);
// The version string of a catalog file's header ("" when it has none);
// throws when the file cannot be opened or is not a regular file.
std::string ReadCatalogVersion(const std::string& path);
// True when the file exists as a regular file; otherwise shows "errFNF" (or
// what the path is instead) when report is set.
bool CheckFileExists(const std::string& path, bool report, IQuestions* questions);
// The user-level open: confirm, existence and header check, then LoadFromFile.
// False when the user cancelled or the file is missing.
bool OpenLibrary(TLibObj& lib, const std::string& path, bool append, bool confirm,
                 IProgress& progress, IQuestions& questions);
// Asks "confReplace" when the file exists; false when cancelled.
bool SaveWithConfirm(TLibObj& lib, const std::string& path, IProgress& progress,
                     IQuestions& questions);
// True when the file at `path` is the catalog's own file and another program
// replaced or changed it since it was loaded or saved.
bool ChangedOnDisk(const TLibObj& lib, const std::string& path);
// How long a window's save waits for another program's writer lock.
inline constexpr int kWindowLockWaitMs = 5000;
// SaveWithConfirm under the writer lock; a file another program changed since
// it was loaded asks "confNewerOnDisk" first (Yes overwrites, No saves
// elsewhere). When the folder is read-only (nothing written), asks
// "confSaveElsewhere" and then for another path, which `path` becomes.
// False when the user cancelled.
bool SaveOfferingSaveAs(TLibObj& lib, std::string& path, IProgress& progress,
                        IQuestions& questions);
// Yes (saved or nothing to save), No (discard) or Cancel. A save that was
// cancelled or failed gives Cancel, so that no caller discards the changes.
TAnswer QuerySaveChanges(TLibObj& lib, IProgress& progress, IQuestions& questions);
