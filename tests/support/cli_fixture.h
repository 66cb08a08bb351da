#pragma once

#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Tests that run the command-line tool in a fresh folder, with a settings
// file of their own so that no test sees the user's.
class TCliFixture : public ::testing::Test {
protected:
    TProgramRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("settings.ini")});
        return RunProgram(args);
    }

    TTempFolder tmp;
};
