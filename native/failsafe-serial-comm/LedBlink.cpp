#include "LedBlink.h"

#include "SerialComm.h"

namespace {
const unsigned char CODE_LEDS = 's';

unsigned short doubledLowByte(int value)
{
    const unsigned short low = static_cast<unsigned short>(value & 0xFF);
    return static_cast<unsigned short>(low << 8 | low);
}

bool sendLedCommand(unsigned short param1, unsigned short param2, unsigned char sub)
{
    SerialIO port;
    if (!port.openSerialPort())
        return false;
    SerialPacket request;
    SerialPacket reply;
    request.commandCode = CODE_LEDS;
    request.param1 = param1;
    request.param2 = param2;
    request.subCommand = sub;
    SerialComm comm(port);
    const bool ok = comm.sendCommand(request, reply);
    port.closeSerialPort();
    return ok;
}
}  // namespace

bool blinkLeds(int first, int second)
{
    return sendLedCommand(doubledLowByte(first), doubledLowByte(second), first != second ? 1 : 0);
}

bool stopBlinkLeds()
{
    return sendLedCommand(0, 0, 0);
}
