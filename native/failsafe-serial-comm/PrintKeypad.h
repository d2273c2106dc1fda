#pragma once

#include "SerialIO.h"

#include <string>

// Keypad texts. Fire and forget: nothing is reported.
const int KEYPAD_TEXT_MAX = 16;

void print_To_Keypad(const char* text);
bool isMessageValid(const char* text, int* length);
bool getKPStatus(SerialIO port, unsigned char* status);
void sendMessage(SerialIO port, char* text, int count, int keypad);

// Controller commands. Failures are reported with one "FSKP: " line on stderr.
bool triggerDeviceReboot(SerialIO& port, int delaySeconds);
bool triggerDeviceReboot(int delaySeconds);
bool setChipWatchDog(int seconds);
bool resetChipRTC(SerialIO& port);
void resetChipRTC();
bool printRedBootInfo();
int getFWVer();
std::string getAuthID();

// The controller clock: one reading, in the controller's calendar.
class SerialComm;

class HubRTC {
public:
    HubRTC() {}  // meaningful only after a successful getHubRTC()

    // The reading as controller time (seconds since 1996-01-01, taken as UTC).
    unsigned long asOrvelTime();
    void printTime();

    unsigned char stopped;
    int second;
    int minute;
    int hour;
    int day;
    int month;
    int year;
    int weekday;
};

int clip_int(int value, int low, int high);
bool getHubRTC(SerialComm& comm, HubRTC& rtc);
long long orvelTimeToUnixTime(unsigned long orvelTime);
unsigned long unixTimeToOrvelTime(long long unixTime);
// t formatted in UTC into a new char[] that the caller releases with delete[].
char* timeToString(long long t, const char* format);
bool syncSysClock();

// The hub event journal: appends one checksummed record per call.
extern const char* const HUB_EVENTS_PATH;
bool logHubEvent(int event, const char* text);
