#pragma once

#include <cstdint>

// The pure steps of the hub event journal, apart from the clock, the files and
// the console, so that they can be driven with any input.

const int HUB_EVENT_TEXT_MAX = 255;
// "@QOR", body length, body checksum; then time, event, 0xFF, n and the text.
const int HUB_EVENT_RECORD_MAX = 8 + 7 + HUB_EVENT_TEXT_MAX;

// Builds the record of `event` (its low 8 bits), at controller time `time`,
// with the first 255 bytes of `text` (null: the empty text) into `record`,
// which holds HUB_EVENT_RECORD_MAX bytes. Returns the record's length.
int buildHubEventRecord(unsigned char* record, uint32_t time, int event, const char* text);

// qor-watchdog's variant only: the UTC offset that the client's configuration
// text sets (a zero-terminated buffer, cut to the bytes that were read), 0 when
// it sets none. A value out of range gives 0 and sets *outOfRange.
int utcOffsetOfConfig(char* text, bool* outOfRange);
