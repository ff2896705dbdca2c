// A work folder, the script variables and a file-action environment with its
// own trash, shared by the file-action tests.
#pragma once

#include "script/FileActions.h"
#include "script/Values.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qdtest {

class FileActionsFixture : public ::testing::Test {
protected:
    FileActionsFixture() : values(vars) {
        work = dir.path() / "work";
        std::filesystem::create_directories(work);
        env.values = &values;
        env.folder = work;
        env.trash.homeTrash = dir.path() / "Trash";
    }
    long long run(const std::string& op, const std::string& a, const std::string& b = "") {
        return qd::DoFileAction(op, a, b, "", "", env);
    }
    std::string var(const std::string& name) { return vars.text(name); }

    TempDir dir;
    std::filesystem::path work;
    qd::VariableQueue vars;
    qd::ScriptValues values;
    qd::FileActionEnvironment env;
};

} // namespace qdtest
