// A data folder in a temp directory with an error manager that answers from a script.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/UserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace qdtest {

class StoreTest : public ::testing::Test {
protected:
    StoreTest() : errors(&ui) { reopen(); }

    void reopen() {
        ds.reset();
        ds = std::make_unique<qd::DataSet>(dir.path(), errors);
    }

    // Title of the last message shown (message boxes and questions).
    std::string lastTitle() const { return ui.shown.empty() ? std::string() : ui.shown.back().title; }
    std::string lastText() const { return ui.shown.empty() ? std::string() : ui.shown.back().text; }

    TempDir dir;
    qd::ScriptedUserInterface ui;
    qd::ErrorClass errors;
    std::unique_ptr<qd::DataSet> ds;
};

} // namespace qdtest
