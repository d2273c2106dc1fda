// qor-startup: runs once at boot; takes no arguments.
#include "OrvelStartup.h"

#include <cstdio>

int main(int, char**)
{
    // Boot logs are read line by line, also when stdout is a pipe or a file.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return runStartup(startupSequence);
}
