#pragma once

// Keypad LED blinking, through the controller. False when the port cannot be
// opened or the controller does not answer; nothing is printed.
bool blinkLeds(int first, int second);
bool stopBlinkLeds();
