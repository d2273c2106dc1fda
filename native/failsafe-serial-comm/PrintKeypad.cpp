#include "PrintKeypad.h"

#include "HubJournal.h"
#include "SerialComm.h"
#include "misc.h"
#include "pivotal_gmtime_r.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {
const unsigned char CODE_QUERY = 0x22;
const unsigned char CODE_CONTROL = '#';
const unsigned char CODE_KEYPAD_TEXT = 'P';

const unsigned char QUERY_IDENTITY = 0x00;
const unsigned char QUERY_KEYPAD_STATUS = 0x03;
const unsigned char QUERY_BOOT_INFO = 0x80;
const unsigned char CONTROL_CLOCK_RESET = 0x20;
const unsigned char CONTROL_WATCHDOG_ARM = 0x40;
const unsigned char CONTROL_WATCHDOG_DISARM = 0x41;
const unsigned char CONTROL_REBOOT = 0x42;
const unsigned char KEYPAD_SHOW_TEXT = 0x23;

const int KEYPAD2_STATUS_BYTE = 17;
const int MAX_REBOOT_DELAY = 32767;
const int BOOT_INFO_ATTEMPTS = 5;
const int BOOT_INFO_LENGTH = 16;

void reportFailure(const char* message)
{
    std::cerr << "FSKP: " << message << std::endl;
}

// One exchange of a request without payload on an open port. The reply's
// payload starts zeroed: its callers read fixed positions without testing the
// reply's length, and a short reply must not hand them stale stack bytes.
bool exchange(SerialIO port, unsigned char code, unsigned char sub, SerialPacket& reply,
              unsigned short param1 = 0)
{
    std::memset(reply.payload, 0, sizeof reply.payload);
    SerialPacket request;
    request.commandCode = code;
    request.subCommand = sub;
    request.param1 = param1;
    SerialComm comm(port);
    return comm.sendCommand(request, reply);
}
}  // namespace

bool isMessageValid(const char* text, int* length)
{
    if (text == nullptr)
        return false;
    *length = static_cast<int>(std::strlen(text));
    return true;
}

bool getKPStatus(SerialIO port, unsigned char* status)
{
    SerialPacket reply;
    if (!exchange(port, CODE_QUERY, QUERY_KEYPAD_STATUS, reply))
        return false;
    // A reply too short to carry a keypad's byte means that keypad is absent.
    status[0] = reply.dataLength > 0 ? reply.payload[0] : 0;
    status[1] = reply.dataLength > KEYPAD2_STATUS_BYTE ? reply.payload[KEYPAD2_STATUS_BYTE] : 0;
    return true;
}

void sendMessage(SerialIO port, char* text, int count, int keypad)
{
    SerialPacket request;
    SerialPacket reply;
    request.commandCode = CODE_KEYPAD_TEXT;
    request.param1 = static_cast<unsigned short>(keypad);
    request.subCommand = KEYPAD_SHOW_TEXT;
    request.dataLength = static_cast<unsigned char>(count);
    std::memcpy(request.payload, text, static_cast<size_t>(count));
    SerialComm comm(port);
    comm.sendCommand(request, reply);
}

void print_To_Keypad(const char* text)
{
    int length = 0;
    if (!isMessageValid(text, &length))
        return;
    char message[KEYPAD_TEXT_MAX];
    const int count = length < KEYPAD_TEXT_MAX ? length : KEYPAD_TEXT_MAX;
    std::memcpy(message, text, static_cast<size_t>(count));

    SerialIO port;
    if (!port.openSerialPort())
        return;
    unsigned char status[2];
    if (getKPStatus(port, status)) {
        if (status[0] & 1)
            sendMessage(port, message, count, 1);
        if (status[1] & 1)
            sendMessage(port, message, count, 2);
    }
    port.closeSerialPort();
}

bool triggerDeviceReboot(SerialIO& port, int delaySeconds)
{
    SerialPacket reply;
    bool ok;
    if (delaySeconds < 0) {
        ok = exchange(port, CODE_QUERY, QUERY_BOOT_INFO, reply);
    } else {
        const int delay = delaySeconds > MAX_REBOOT_DELAY ? 0 : delaySeconds;
        ok = exchange(port, CODE_CONTROL, CONTROL_REBOOT, reply, static_cast<unsigned short>(delay));
    }
    if (!ok)
        reportFailure("triggerDeviceReboot failed!");
    return ok;
}

bool triggerDeviceReboot(int delaySeconds)
{
    SerialIO port;
    if (!port.openSerialPort()) {
        reportFailure("Unable to open serial port!");
        return false;
    }
    const bool ok = triggerDeviceReboot(port, delaySeconds);
    port.closeSerialPort();
    return ok;
}

bool setChipWatchDog(int seconds)
{
    SerialIO port;
    if (!port.openSerialPort()) {
        reportFailure("Unable to open serial port!");
        return false;
    }
    SerialPacket reply;
    const bool arm = seconds > 0;
    const bool ok = exchange(port, CODE_CONTROL, arm ? CONTROL_WATCHDOG_ARM : CONTROL_WATCHDOG_DISARM, reply,
                             arm ? static_cast<unsigned short>(seconds & 0xFFFF) : 0);
    port.closeSerialPort();
    if (!ok)
        reportFailure("setChipWatchDog failed!");
    return ok;
}

bool resetChipRTC(SerialIO& port)
{
    // 00:00:00, day 1, month 1, weekday 1, year 00 (1996), and a spare byte.
    static const unsigned char resetClock[8] = {0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00};
    SerialPacket request;
    SerialPacket reply;
    request.commandCode = CODE_CONTROL;
    request.subCommand = CONTROL_CLOCK_RESET;
    request.dataLength = sizeof resetClock;
    std::memcpy(request.payload, resetClock, sizeof resetClock);
    SerialComm comm(port);
    const bool ok = comm.sendCommand(request, reply);
    if (!ok)
        reportFailure("resetChipRTC failed!");
    return ok;
}

void resetChipRTC()
{
    SerialIO port;
    if (!port.openSerialPort()) {
        reportFailure("Unable to open serial port!");
        return;
    }
    resetChipRTC(port);
    port.closeSerialPort();
}

namespace {
void printBootInfo(SerialPacket& reply)
{
    printf("MAC: ");
    printBytes(reply.payload + 2, 6);
    printf("RB CRC: ");
    printBytes(reply.payload + 8, 4);
    printf("Kernel CRC: ");
    printBytes(reply.payload + 12, 4);
    printf("Raw response (%d bytes)\n", reply.dataLength);
    printBytes(reply.payload, reply.dataLength);
}
}  // namespace

bool printRedBootInfo()
{
    SerialIO port;
    if (!port.openSerialPort()) {
        reportFailure("Unable to open serial port!");
        return false;
    }
    SerialComm comm(port);
    bool printed = false;
    for (int attempt = 0; attempt < BOOT_INFO_ATTEMPTS && !printed; ++attempt) {
        SerialPacket request;
        SerialPacket reply;
        request.commandCode = CODE_QUERY;
        request.subCommand = QUERY_BOOT_INFO;
        if (comm.sendCommand(request, reply) && reply.dataLength == BOOT_INFO_LENGTH) {
            printBootInfo(reply);
            printed = true;
        }
    }
    port.closeSerialPort();
    // Without a 16-byte reply there is nothing to show: that is a failure,
    // even when the controller answered with another length.
    if (!printed)
        reportFailure("printRedBootInfo failed!");
    return printed;
}

int getFWVer()
{
    SerialIO port;
    SerialPacket reply;
    bool ok = false;
    if (port.openSerialPort())
        ok = exchange(port, CODE_QUERY, QUERY_IDENTITY, reply);
    port.closeSerialPort();
    if (!ok) {
        fprintf(stderr, "Failed to read firmware version!\n");
        return -1;
    }
    return reply.payload[1];
}

std::string getAuthID()
{
    SerialIO port;
    if (!port.openSerialPort())
        return std::string();
    SerialPacket bootInfo;
    SerialPacket identity;
    bool ok = exchange(port, CODE_QUERY, QUERY_BOOT_INFO, bootInfo);
    if (ok)
        ok = exchange(port, CODE_QUERY, QUERY_IDENTITY, identity);
    port.closeSerialPort();
    if (!ok)
        return std::string();

    std::ostringstream id;
    id << static_cast<char>(identity.payload[0]) << std::uppercase << std::hex << std::setfill('0');
    for (int i = 5; i <= 7; ++i)
        id << std::setw(2) << static_cast<int>(bootInfo.payload[i]);
    id << std::setw(2) << static_cast<int>(identity.payload[6]);
    return id.str();
}

// ------------------------------------------------------------------ clock

namespace {
const unsigned char QUERY_CLOCK = 0x04;
const int CLOCK_BYTES = 7;
const long long begintime = 820454400;  // 1996-01-01 00:00:00 UTC
const int DATE_COMMAND_SIZE = 512;
const int TIME_TEXT_SIZE = 128;

unsigned char BCD2Hex(unsigned char b)
{
    return static_cast<unsigned char>((b & 0x0F) + (b >> 4) * 10);
}
}  // namespace

int clip_int(int value, int low, int high)
{
    if (value < low)
        return low;
    if (value > high)
        return high;
    return value;
}

bool getHubRTC(SerialComm& comm, HubRTC& rtc)
{
    SerialPacket request;
    SerialPacket reply;
    request.commandCode = CODE_QUERY;
    request.subCommand = QUERY_CLOCK;
    // A reply too short to hold the whole reading is no reading.
    if (!comm.sendCommand(request, reply) || reply.dataLength < CLOCK_BYTES) {
        std::cerr << "FSKP: failed to read chip RTC" << std::endl;
        return false;
    }
    const unsigned char* bcd = reply.payload;
    rtc.stopped = (bcd[0] & 0x80) ? 1 : 0;
    rtc.second = clip_int(BCD2Hex(bcd[0] & 0x7F), 0, 59);
    rtc.minute = clip_int(BCD2Hex(bcd[1]), 0, 59);
    rtc.hour = clip_int(BCD2Hex(bcd[2]), 0, 23);
    rtc.day = clip_int(BCD2Hex(bcd[3]), 1, 31);
    rtc.month = clip_int(BCD2Hex(bcd[4]), 1, 12);
    rtc.year = BCD2Hex(bcd[6]) + 1996;
    rtc.weekday = BCD2Hex(bcd[5]);
    return true;
}

unsigned long HubRTC::asOrvelTime()
{
    tm fields{};
    fields.tm_sec = second;
    fields.tm_min = minute;
    fields.tm_hour = hour;
    fields.tm_mday = day;
    fields.tm_mon = month - 1;
    fields.tm_year = year - 1900;
    fields.tm_wday = weekday;
    return unixTimeToOrvelTime(mktime64(&fields));
}

void HubRTC::printTime()
{
    std::cout << (stopped != 0 ? "\nThe clock has stopped!" : "\nThe clock is running.") << std::endl;
    printf("\nCurrent HubRTC: %02d:%02d:%02d %02d/%02d/%04d, wd=%02d\n\n", hour, minute, second, month, day, year,
           weekday);
}

// Controller time is 32 bits wide on every platform, whatever the width of long.
long long orvelTimeToUnixTime(unsigned long orvelTime)
{
    return static_cast<long long>(static_cast<uint32_t>(orvelTime)) + begintime;
}

unsigned long unixTimeToOrvelTime(long long unixTime)
{
    return static_cast<uint32_t>(static_cast<unsigned long long>(unixTime - begintime));
}

char* timeToString(long long t, const char* format)
{
    tm fields{};
    gmtime64_r(&t, &fields);
    char* text = new char[TIME_TEXT_SIZE];
    text[0] = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const size_t n = strftime(text, TIME_TEXT_SIZE - 1, format, &fields);
#pragma GCC diagnostic pop
    text[n] = 0;
    return text;
}

bool syncSysClock()
{
    SerialIO port;
    if (!port.openSerialPort()) {
        std::cerr << "FSKP: Unable to open serial port!" << std::endl;
        return false;
    }
    SerialComm comm(port);
    HubRTC rtc;
    const bool read = getHubRTC(comm, rtc);
    port.closeSerialPort();
    if (!read)
        return false;

    char* when = timeToString(orvelTimeToUnixTime(rtc.asOrvelTime()), "%m%d%H%M%Y");
    char command[DATE_COMMAND_SIZE];
    snprintf(command, sizeof command, "date %s", when);
    delete[] when;
    const int status = system(command);
    if (status == 0)
        return true;
    std::cerr << "FSKP: date command exited with " << status << std::endl;
    return false;
}

// ------------------------------------------------------------------ journal

const char* const HUB_EVENTS_PATH = "/mnt/app/client/hub_events.bin";

namespace {
const int RECORD_HEADER_BYTES = 8;
const int RECORD_FIXED_BODY_BYTES = 7;
static_assert(HUB_EVENT_RECORD_MAX == RECORD_HEADER_BYTES + RECORD_FIXED_BODY_BYTES + HUB_EVENT_TEXT_MAX, "record size");

#ifdef QOR_JOURNAL_UTC_OFFSET
const char* const CLIENT_CONFIG_PATH = "/mnt/app/client/config.properties";
const int CONFIG_BUFFER_SIZE = 4096;
const int MAX_UTC_OFFSET = 86400;
const unsigned long LAST_TIME_BEFORE_2000 = 126230399;

int readUTCOffset()
{
    FILE* file = fopen(CLIENT_CONFIG_PATH, "r");
    if (file == nullptr)
        return 0;
    char* buffer = static_cast<char*>(calloc(CONFIG_BUFFER_SIZE, 1));
    if (buffer == nullptr) {
        fclose(file);
        return 0;
    }
    const size_t ignored = fread(buffer, 1, CONFIG_BUFFER_SIZE - 1, file);
    (void)ignored;
    fclose(file);

    bool outOfRange = false;
    const int offset = utcOffsetOfConfig(buffer, &outOfRange);
    if (outOfRange)
        fprintf(stderr, "invalid UTC offset\n");
    free(buffer);
    return offset;
}

unsigned long applyUTCOffset(unsigned long time, int offset)
{
    const uint32_t t = static_cast<uint32_t>(time);
    if (offset < 0)
        return t - static_cast<uint32_t>(offset);
    if (t >= static_cast<uint32_t>(offset))
        return t - static_cast<uint32_t>(offset);
    return t;
}
#endif

// The controller time to record, 0 when the clock cannot be read.
bool readJournalTime(uint32_t& time)
{
    time = 0;
    SerialIO port;
    if (!port.openSerialPort())
        return false;
    SerialComm comm(port);
    HubRTC rtc;
    const bool read = getHubRTC(comm, rtc);
    if (read)
        time = static_cast<uint32_t>(rtc.asOrvelTime());
    port.closeSerialPort();
    return read;
}

void putBigEndian(unsigned char* at, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

}  // namespace

#ifdef QOR_JOURNAL_UTC_OFFSET
int utcOffsetOfConfig(char* text, bool* outOfRange)
{
    *outOfRange = false;
    char* key = strstr(text, "utc-offset=");
    char* lineEnd = key != nullptr ? strchr(key + 11, '\n') : nullptr;
    if (lineEnd == nullptr || lineEnd == key + 11)
        return 0;
    *lineEnd = 0;
    const long offset = strtol(key + 11, nullptr, 10);
    if (offset < -MAX_UTC_OFFSET || offset > MAX_UTC_OFFSET) {
        *outOfRange = true;
        return 0;
    }
    return static_cast<int>(offset);
}
#endif

int buildHubEventRecord(unsigned char* record, uint32_t time, int event, const char* text)
{
    if (text == nullptr)
        text = "";
    const size_t textLength = strlen(text);
    const int n = textLength > HUB_EVENT_TEXT_MAX ? HUB_EVENT_TEXT_MAX : static_cast<int>(textLength);
    unsigned char* body = record + RECORD_HEADER_BYTES;
    const int length = n + RECORD_FIXED_BODY_BYTES;
    putBigEndian(body, time, 4);
    body[4] = static_cast<unsigned char>(event & 0xFF);
    body[5] = 0xFF;
    body[6] = static_cast<unsigned char>(n);
    std::memcpy(body + RECORD_FIXED_BODY_BYTES, text, static_cast<size_t>(n));
    std::memcpy(record, "@QOR", 4);
    putBigEndian(record + 4, static_cast<uint32_t>(length), 2);
    putBigEndian(record + 6, CRC16(body, static_cast<unsigned short>(length)), 2);
    return length + RECORD_HEADER_BYTES;
}

namespace {

// One write of the whole record; a partial one is cut away again, so the
// journal stays a sequence of whole records.
bool appendRecord(int fd, const unsigned char* record, int length)
{
    if (lseek(fd, 0, SEEK_END) < 0)
        return false;
    errno = 0;
    const ssize_t written = write(fd, record, static_cast<size_t>(length));
    if (written == length)
        return fsync(fd) == 0;
    // A short write to a file leaves errno unset: the storage (or the file size) is full.
    const int writeError = errno != 0 ? errno : ENOSPC;
    struct stat info {};
    if (written > 0 && fstat(fd, &info) == 0) {
        const int ignored = ftruncate(fd, info.st_size - written);
        (void)ignored;
    }
    errno = writeError;
    return false;
}
}  // namespace

bool logHubEvent(int event, const char* text)
{
    uint32_t time = 0;
    bool result = readJournalTime(time);
#ifdef QOR_JOURNAL_UTC_OFFSET
    if (time > LAST_TIME_BEFORE_2000)
        time = static_cast<uint32_t>(applyUTCOffset(time, readUTCOffset()));
#endif
    if (text == nullptr)
        text = "";
    unsigned char record[HUB_EVENT_RECORD_MAX];
    const int recordLength = buildHubEventRecord(record, time, event, text);

    const int fd = open(HUB_EVENTS_PATH, O_RDWR | O_CREAT | O_APPEND | O_SYNC, 0644);
    if (fd < 0) {
        perror(HUB_EVENTS_PATH);
        return false;
    }
    if (appendRecord(fd, record, recordLength)) {
        printf("qorutil: Wrote hub-event #%d \"%s\"\n", event & 0xFF, text);
    } else {
        perror(HUB_EVENTS_PATH);
        result = false;
    }
    close(fd);
    return result;
}
