#include "data/ErrorClass.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(ErrorClassTest, SubstitutesEveryNameWithoutConfusingTheLongerOnes) {
    ErrorContext ctx;
    ctx.file = "Schedule";
    ctx.fileError = "disk full";
    ctx.fileErrorCode = 28;
    ctx.errorText = "I/O error";
    ctx.errorCode = 10;
    ctx.field = "SCH:Date";
    ctx.message = "1 and 9";
    EXPECT_EQ(
        ErrorClass::substitute("%File/%FileError/%FileErrorCode/%ErrorText/%ErrorCode/%Field/%Message", ctx),
        "Schedule/disk full/28/I/O error/10/SCH:Date/1 and 9");
    ASSERT_NE(ErrorClass::find(30), nullptr);
    EXPECT_EQ(ErrorClass::find(29), nullptr); // the table has no message 29
    EXPECT_EQ(ErrorClass::find(41)->level, Level::Notify);
}

TEST(ErrorClassTest, LevelsDecideWhatTheUserSeesAndWhatComesBack) {
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    ErrorContext ctx;
    ctx.file = "Holidays";
    ui.answers = {true, false};
    EXPECT_EQ(errors.throwMessage(9, ctx), Level::Benign); // a question answered Yes
    EXPECT_EQ(errors.throwMessage(9, ctx), Level::Cancel); // and No
    EXPECT_EQ(errors.throwMessage(22, ctx), Level::Notify);
    EXPECT_EQ(ui.shown.back().title, "No Records");
    EXPECT_EQ(errors.throwMessage(23, ctx), Level::Fatal);
    EXPECT_EQ(ui.shown.back().text,
              "File (Holidays) could not be opened.  Error: .  Press OK to end this application");
    EXPECT_EQ(errors.programWarning(3, "Schedule", "I/O"), Level::Fatal);
    EXPECT_EQ(ui.shown.back().title, "Key Rebuild Error");
    EXPECT_EQ(ui.shown.back().text,
              "Error: (I/O) repairing key for Schedule.  Press OK to end this application.");
    EXPECT_EQ(errors.haltText(), "Error Rebuilding Key!");
    EXPECT_EQ(errors.programWarning(5, "QD97.TPS", "full"), Level::Fatal);
    EXPECT_EQ(ui.shown.back().text,
              "Error: (full) opening created file:QD97.TPS.  Press OK to end this application.");
}
