// The write-protection codes carried out on each generation's SPD device.
#pragma once

#include <stdint.h>

#include "protection.hpp"

namespace fw {

// Carries out `code` on the module of generation `device` and writes the answer's text (a
// status from status_text, or one of the words below) into `out`, kStatusTextSize long.
void run_protection(uint8_t device, uint16_t code, char* out);

// The words of answers that are not bytes. None holds a hexadecimal digit, so that a read answered
// with one decodes to no byte at all.
extern const char kNothing[];        // nothing acknowledged the module's address
extern const char kHung[];           // the module's bus stayed held
extern const char kNoHighVoltage[];  // the command needs VHV on SA0, and it did not arrive
extern const char kUnknownCode[];    // not a code of this firmware for this generation

}  // namespace fw
