#pragma once

#include "catalog/lib_obj.h"
#include "handlers/handlers.h"
#include "settings/questions.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>

// What a scan test needs: a temporary folder whose "vol" is the volume's root
// (not made here), an empty catalog, the shipped handlers and a Yes to every
// question. The progress is the test's own kind.
//   struct MyScan : TScanFixture<TRecordingProgress> {};
//   TVolumeScanner s(lib, &handlers, progress); ... s.AddVolume(yes);
template <class Progress> struct TScanFixture : ::testing::Test {
    TTempFolder dir;
    TLibObj lib;
    THandlerList handlers;
    Progress progress;
    TFixedAnswers yes{TAnswer::Yes};
    std::string root;

    void SetUp() override {
        handlers.SetDefaults();
        root = dir.File("vol");
    }
};
