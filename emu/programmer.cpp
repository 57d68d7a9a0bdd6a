#include "programmer.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "model/hub.hpp"

namespace dimmwand::emu {
namespace {

constexpr std::uint8_t kUnwrittenByte = 0xFF;  // what an address outside the area reads as

const char* command_name(std::uint8_t code) {
  switch (static_cast<CommandCode>(code)) {
    case CommandCode::ReadByte:
      return "ReadByte";
    case CommandCode::WriteByte:
      return "WriteByte";
    case CommandCode::WriteProtect:
      return "WriteProtect";
    case CommandCode::ReadSpd:
      return "ReadSpd";
    case CommandCode::ReadReg:
      return "ReadReg";
    case CommandCode::WriteRegByte:
      return "WriteRegByte";
  }
  return "unknown";
}

}  // namespace

Programmer::Programmer(Areas areas, AnswerStyle style, std::optional<std::chrono::microseconds> min_write_gap,
                       Faults faults, std::optional<DeviceType> only)
    : areas_(std::move(areas)),
      style_(std::move(style)),
      min_write_gap_(min_write_gap),
      started_(std::chrono::steady_clock::now()),
      faults_(std::move(faults)),
      random_(faults_.seed),
      only_(only) {}

std::vector<FrameEvent> Programmer::feed(std::span<const std::uint8_t> bytes,
                                         std::chrono::steady_clock::time_point now) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  std::vector<FrameEvent> events;
  for (;;) {
    // Resynchronise on the header; whatever stands before it is noise.
    std::size_t start = 0;
    while (start < pending_.size() && !(pending_[start] == kFrameHeader0 &&
                                        (start + 1 == pending_.size() || pending_[start + 1] == kFrameHeader1))) {
      ++start;
    }
    if (start > 0) {
      events.push_back({now - started_,
                        {pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start)},
                        fmt::format("{} stray bytes ignored", start),
                        std::nullopt,
                        false});
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    }
    if (pending_.size() < kFrameSize) return events;
    EncodedFrame frame{};
    std::copy_n(pending_.begin(), kFrameSize, frame.begin());
    const auto request = decode_frame(frame);
    if (!request) {
      events.push_back({now - started_, {frame.begin(), frame.end()}, "bad checksum, ignored", std::nullopt, false});
      pending_.erase(pending_.begin());  // the header may have been noise; look again after it
      continue;
    }
    pending_.erase(pending_.begin(), pending_.begin() + kFrameSize);
    events.push_back(handle(frame, *request, now));
  }
}

std::optional<Programmer::Reach> Programmer::reach(std::uint8_t code, std::uint8_t device) {
  if (device < 3 || device > 5) return std::nullopt;
  const auto named = static_cast<DeviceType>(device);
  const bool reg = code == static_cast<std::uint8_t>(CommandCode::ReadReg) ||
                   code == static_cast<std::uint8_t>(CommandCode::WriteRegByte);
  if (reg && named != DeviceType::DDR5) return std::nullopt;  // only DDR5 has a REG area
  const DeviceType module = only_.value_or(named);
  std::vector<std::uint8_t>* spd = module == DeviceType::DDR3   ? &areas_.spd3
                                   : module == DeviceType::DDR4 ? &areas_.spd4
                                                                : &areas_.spd5;
  if (!reg) return Reach{spd, spd_size(named), module, false};
  // The hub's registers are where a DDR3 or DDR4 EEPROM keeps its first bytes.
  if (module == DeviceType::DDR5) return Reach{&areas_.reg5, kRegAreaSize, module, true};
  return Reach{spd, kRegAreaSize, module, false};
}

bool Programmer::write_protected(const Reach& r, std::uint16_t address) const {
  if (r.hub_registers) return false;
  if (r.module == DeviceType::DDR5) {
    // The hub's MR12 and MR13, one bit per 64-byte block, as they stand in the REG area now.
    const auto block = static_cast<unsigned>(address / hub::kBlockSize);
    if (block >= hub::kBlockCount) return false;
    return (static_cast<unsigned>(hub::protected_blocks(areas_.reg5)) >> block & 1u) != 0;
  }
  for (const auto& [first, last] : faults_.protected_ranges) {
    if (address >= first && address <= last) return true;
  }
  return false;
}

// An area's bytes for a block read; on a flaky line every Nth of them has one bit flipped.
std::vector<std::uint8_t> Programmer::area_answer(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out(bytes.begin(), bytes.end());
  ++block_reads_;
  if (faults_.flaky_every != 0 && block_reads_ % faults_.flaky_every == 0 && !out.empty()) {
    const auto bit = std::uniform_int_distribution<std::size_t>(0, out.size() * 8 - 1)(random_);
    out[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
  }
  return out;
}

FrameEvent Programmer::handle(const EncodedFrame& frame, const RequestFrame& request,
                              std::chrono::steady_clock::time_point now) {
  const auto code = static_cast<std::uint8_t>(request.command);
  const std::uint8_t device = request.device;
  const std::uint16_t address = request.address;
  const std::uint16_t value = request.value;
  FrameEvent event{now - started_,
                   {frame.begin(), frame.end()},
                   fmt::format("{} d{} a{:04X} v{:04X}", command_name(code), device, address, value),
                   std::nullopt,
                   true};
  const auto r = reach(code, device);
  if (!r && code != static_cast<std::uint8_t>(CommandCode::WriteProtect)) {
    event.note += " (no such area, no answer)";
    return event;
  }
  // A byte the frame's area names but the module lacks: nothing answers, the bus reads 0xFF.
  const auto byte_at = [&r](std::size_t at) { return at < r->bytes->size() ? (*r->bytes)[at] : kUnwrittenByte; };
  switch (static_cast<CommandCode>(code)) {
    case CommandCode::ReadSpd:
    case CommandCode::ReadReg: {
      std::vector<std::uint8_t> area(r->span - std::min(style_.short_by, r->span));
      for (std::size_t i = 0; i < area.size(); ++i) area[i] = byte_at(i);
      const auto bytes = area_answer(area);
      if (bytes != area) event.note += " (flaky: one bit flipped)";
      event.answer = hex_answer(bytes);
      break;
    }
    case CommandCode::ReadByte: {
      const std::uint8_t b = address < r->span ? byte_at(address) : kUnwrittenByte;
      event.answer = hex_answer(std::span(&b, 1));
      break;
    }
    case CommandCode::WriteByte:
    case CommandCode::WriteRegByte: {
      if (faults_.lost_writes.contains(address)) {
        event.note += " (lost on the line)";
        return event;  // never seen: no write, no answer
      }
      // An EEPROM busy with its write cycle ignores the next byte, as a real module would. Frames
      // are stamped when this process reads them, so one late stamp shortens the next gap by as
      // much as it lengthened the one before: a write counts as too fast only when the span over
      // the last two gaps is short too.
      const bool too_fast = min_write_gap_ && last_write_ && now - *last_write_ < *min_write_gap_ &&
                            (!write_before_last_ || now - *write_before_last_ < 2 * *min_write_gap_);
      if (too_fast) {
        ++too_fast_;
        event.note += fmt::format(" TOO FAST ({:.3f} ms after the previous write), lost",
                                  std::chrono::duration<double, std::milli>(now - *last_write_).count());
      } else if (r->hub_registers && address <= hub::kDeviceTypeLow) {
        // The hub's device type is read-only: the hub takes the byte and keeps its own.
        event.note += " (read-only register, ignored)";
      } else if (write_protected(*r, address)) {
        event.note += " (write-protected, ignored)";
        event.answer = text_answer("0");
      } else if (address < r->span && address < r->bytes->size()) {
        (*r->bytes)[address] = static_cast<std::uint8_t>(value & 0xFF);
      } else {
        event.note += " (outside the area, ignored)";
      }
      write_before_last_ = last_write_;
      event.write = true;
      last_write_ = now;
      if (!event.answer) event.answer = text_answer(style_.write_answer);
      break;
    }
    case CommandCode::WriteProtect: {
      const auto& t = style_.protect_answer;
      event.answer = hex_answer({reinterpret_cast<const std::uint8_t*>(t.data()), t.size()});
      break;
    }
    default:
      event.note += " (unknown command, no answer)";
      return event;
  }
  if (style_.fixed) event.answer = *style_.fixed;
  return event;
}

std::string Programmer::hex_answer(std::span<const std::uint8_t> bytes) const {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && style_.separators) out += ' ';
    out += style_.lower_case ? fmt::format("{:02x}", bytes[i]) : fmt::format("{:02X}", bytes[i]);
  }
  return text_answer(out);
}

std::string Programmer::text_answer(const std::string& text) const { return style_.line_feed ? text + "\n" : text; }

std::string log_line(const FrameEvent& event) {
  return fmt::format("{:.6f} {:02X} {}\n", std::chrono::duration<double>(event.at).count(), fmt::join(event.bytes, " "),
                     event.note);
}

}  // namespace dimmwand::emu
