// The programmer's commands, one function each: each builds its request frame, sends it and
// takes the answer in the form that command's answer has. Commands above never build frames.
// docs/protocol.md describes the wire.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "error/device_error.hpp"
#include "protocol/link.hpp"

namespace dimmwand::programmer {

// ReadSpd (0x05) or ReadReg (0x06): the whole area in one answer of hexadecimal digits, returned
// as it came (its length is the caller's to judge).
Result<std::vector<std::uint8_t>> read_area(SerialLink& link, CommandCode read_command, std::uint8_t device);

// ReadByte (0x01): the first byte of the answer; an empty answer is an error.
Result<std::uint8_t> read_byte(SerialLink& link, std::uint8_t device, std::uint16_t address);

// WriteByte (0x02) with its answer: the programmer answers once the byte is written, as text
// ("1" written, "0" not), returned trimmed.
Result<std::string> write_byte(SerialLink& link, std::uint8_t device, std::uint16_t address, std::uint8_t value);

// WriteByte (0x02) or WriteRegByte (0x07) in a block write: the frame alone, no answer awaited.
// The caller paces the frames.
Result<> send_area_byte(SerialLink& link, CommandCode write_command, std::uint8_t device, std::uint16_t address,
                        std::uint8_t value);

// Reads and drops whatever the programmer still sends (its late answers to block-write frames)
// until one read finds the line quiet, or `limit` has passed on the link's clock. A read error ends
// it quietly: the next request meets the same fault and reports it.
void drain(SerialLink& link, std::chrono::milliseconds limit);

// WriteProtect (0x03) with its 16-bit code: the answer's bytes (never empty).
Result<std::vector<std::uint8_t>> write_protect(SerialLink& link, std::uint8_t device, std::uint16_t code);

}  // namespace dimmwand::programmer
