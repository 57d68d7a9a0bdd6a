#include "protection.hpp"

namespace fw {
namespace {

constexpr uint8_t kOpStatus = 0x00;
constexpr uint8_t kOpSet = 0x01;
constexpr uint8_t kOpClearAll = 0x02;
constexpr uint8_t kOpClearBlock = 0x03;
constexpr uint8_t kDdr5 = 5;

char* append(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

char* append_number(char* out, uint8_t n) {
  if (n >= 10) *out++ = static_cast<char>('0' + n / 10);
  *out++ = static_cast<char>('0' + n % 10);
  return out;
}

}  // namespace

uint8_t protection_blocks(uint8_t device) {
  switch (device) {
    case 3:
      return 1;
    case 4:
      return 4;
    case 5:
      return 16;
    default:
      return 0;
  }
}

ProtectRequest decode_protect(uint8_t device, uint16_t code) {
  const auto op = static_cast<uint8_t>(code >> 8);
  const auto block = static_cast<uint8_t>(code & 0xFF);
  const uint8_t blocks = protection_blocks(device);
  const ProtectRequest unknown = {Protect::Unknown, 0};
  if (blocks == 0) return unknown;
  switch (op) {
    case kOpStatus:
      return block == 0 ? ProtectRequest{Protect::Status, 0} : unknown;
    case kOpSet:
      return block < blocks ? ProtectRequest{Protect::Set, block} : unknown;
    case kOpClearAll:
      return block == 0 ? ProtectRequest{Protect::ClearAll, 0} : unknown;
    case kOpClearBlock:
      return device == kDdr5 && block < blocks ? ProtectRequest{Protect::ClearBlock, block} : unknown;
    default:
      return unknown;
  }
}

void status_text(uint16_t blocks, bool permanent, bool refused, char* out) {
  if (refused) out = append(out, "REFUSED ");
  out = append(out, "WP ");
  if (blocks == 0) out = append(out, "NONE");
  bool first = true;
  for (uint8_t b = 0; b < 16; ++b) {
    if ((static_cast<unsigned>(blocks) >> b & 1u) == 0) continue;
    uint8_t last = b;
    while (last + 1 < 16 && (static_cast<unsigned>(blocks) >> (last + 1) & 1u) != 0) ++last;
    if (!first) out = append(out, ", ");
    first = false;
    out = append_number(out, b);
    if (last > b) {
      *out++ = '-';
      out = append_number(out, last);
    }
    b = last;
  }
  if (permanent) out = append(out, " PERMANENT");
  *out = '\0';
}

}  // namespace fw
