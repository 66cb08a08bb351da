#pragma once

#include "catalog/lib_obj.h"
#include "search/import.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>

// Imports into one catalog, with the fields Volume, Path, Name, Size and Date.
class TImportFixture : public ::testing::Test {
protected:
    void SetUp() override { SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size", "Date"}); }
    TImportResult ImportPath(const std::string& path) {
        o.FileName = path;
        return RunImport(lib, o, progress);
    }
    TImportResult Import(const std::string& text) { return ImportPath(tmp.Write("in.txt", text)); }

    TTempFolder tmp;
    TLibObj lib;
    TImportOptions o;
    TRecordingProgress progress;
};
