#pragma once

#include "ElapsedTimer.h"
#include "UsbDrive.h"

#include <string>

// The boot-time USB stick workflow.
class OrvelStartup {
public:
    OrvelStartup();

    void run();
    void scanUSB();

    ElapsedTimer timer;
    UsbDrive usbDrive;
};

// The whole boot sequence: watchdog set-up, then OrvelStartup::run.
void startupSequence();

// Runs `sequence`, reports whatever escapes it and gives the exit status.
int runStartup(void (*sequence)());

// Diagnostics: prints the 13 fields of stat(path), one per line.
void printFileStat(const std::string& path);
