// The resident program assembled: data folder, data set, runtime, frame,
// tray and the one-second timer. Returns the program's exit code.
#pragma once

#include "ui/QdCommandLine.h"

int runQd(const qdui::QdCommandLine& commandLine);
