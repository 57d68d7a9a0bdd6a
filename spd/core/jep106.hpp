// JEDEC JEP106 manufacturer codes as SPD stores them: a continuation count (the bank) and a
// code, each with an odd-parity bit 7. The names are the whole list, spd/jep106.inc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace dimmwand::spd {

// "Micron Technology (bank 1, 0x2C)"; a maker not in the list shows as "未知 (bank 7, 0x13)",
// an ID with a wrong parity bit as invalid, a blank field as "未记录".
std::string manufacturer(std::uint8_t continuation, std::uint8_t code);

// True when both bytes carry their odd-parity bit as JEP106 requires.
bool valid_parity(std::uint8_t continuation, std::uint8_t code);

// The name of a bank (1-based) and code (parity bit cleared), when the list has one.
std::optional<std::string_view> maker_name(unsigned bank, std::uint8_t code);

// The bank and code of a name (case does not matter), when exactly one maker bears it.
std::optional<std::pair<unsigned, std::uint8_t>> maker_by_name(std::string_view name);

// The two bytes SPD stores for a bank (1-128) and code (0-127): each with its odd-parity bit.
std::pair<std::uint8_t, std::uint8_t> maker_bytes(unsigned bank, std::uint8_t code);

}  // namespace dimmwand::spd
