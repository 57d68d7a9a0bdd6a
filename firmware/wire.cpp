#include "wire.hpp"

namespace fw {

uint8_t crc8_rohc(const uint8_t* bytes, uint8_t count) {
  uint8_t r = 0xFF;
  for (uint8_t i = 0; i < count; ++i) {
    r = static_cast<uint8_t>(r ^ bytes[i]);
    for (uint8_t bit = 0; bit < 8; ++bit) r = static_cast<uint8_t>((r & 1u) != 0 ? (r >> 1) ^ 0xE0u : r >> 1u);
  }
  return r;
}

void FrameParser::drop(uint8_t count) {
  for (uint8_t i = count; i < fill_; ++i) window_[i - count] = window_[i];
  fill_ = static_cast<uint8_t>(fill_ - count);
}

bool FrameParser::feed(uint8_t byte) {
  window_[fill_++] = byte;
  for (;;) {
    // Only AA 55 (or a lone AA at the end, whose 55 may follow) can start a frame.
    uint8_t start = 0;
    while (start < fill_ && !(window_[start] == kHeader0 && (start + 1 == fill_ || window_[start + 1] == kHeader1))) {
      ++start;
    }
    drop(start);
    if (fill_ < kFrameSize) return false;
    if (crc8_rohc(window_ + 2, 6) == window_[8]) {
      frame_.command = window_[2];
      frame_.device = window_[3];
      frame_.address = static_cast<uint16_t>(window_[4] << 8 | window_[5]);
      frame_.value = static_cast<uint16_t>(window_[6] << 8 | window_[7]);
      fill_ = 0;
      return true;
    }
    ++rejected_;
    drop(1);
  }
}

char hex_digit(uint8_t nibble) {
  nibble &= 0x0F;
  return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
}

void HexWriter::byte(uint8_t b) const {
  sink_(hex_digit(static_cast<uint8_t>(b >> 4)));
  sink_(hex_digit(b));
}

void HexWriter::text_as_hex(const char* text) const {
  for (; *text != '\0'; ++text) byte(static_cast<uint8_t>(*text));
}

void HexWriter::text(const char* text) const {
  for (; *text != '\0'; ++text) sink_(*text);
}

}  // namespace fw
