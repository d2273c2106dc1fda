// The yardstick for a daemon's footprint: a minimal C++ program that prints a
// line and then only sleeps, as qor-watchdog does between check-ins.
#include <unistd.h>

#include <iostream>

int main()
{
    std::cout << "sleeping" << std::endl;
    for (;;)
        sleep(60);
}
