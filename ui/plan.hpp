// A write the workbench shows before it does it: made by the server from the module as it reads
// it, never by the page; confirming names the plan by its id, and the write then sends exactly
// its bytes, after checking that the module still holds what the plan was made from.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "image_api.hpp"
#include "model/ddr.hpp"

namespace dimmwand::ui {

struct Target {
  std::string port;
  unsigned generation = 5;
  std::string area = "spd";  // or "reg"
};

// Why a target cannot be used, in the page's words; nullopt when it can.
std::optional<std::string> bad_target(const Target& t);
std::optional<DeviceType> device_of(unsigned generation);

// Who made a module and which it is, as its SPD says (maker, part number, serial number).
struct Identity {
  bool known = false;  // false: byte 2 names another memory type, or the image is too short
  std::string maker, part, serial;
  bool operator==(const Identity&) const = default;
  std::string text() const;  // "Kingston KF3600C18D4/16GX 0x12345678", or "无法识别"
  Json json() const;
};
Identity identity_of(const Bytes& spd, DeviceType g);

// The module's byte 2 judged against the generation chosen: the page's words when it names
// another generation (its bytes were read through the wrong addresses); a note when it names none.
struct GenerationJudgement {
  std::optional<std::string> refusal;
  std::optional<std::string> note;
};
GenerationJudgement judge_generation(std::uint8_t key, DeviceType chosen);

struct Plan {
  std::string id;
  std::string kind;        // "write" (an image of the page) or "restore" (a failed write's backup)
  std::string restore_of;  // restore: the port of the failed write
  Target target;
  Bytes image;                     // what the area will hold
  Bytes base;                      // the area as read for the plan
  std::optional<Bytes> registers;  // DDR5 SPD: the hub's registers as read
  std::vector<std::uint16_t> addresses;
  bool other_module = false;  // the module is not the one the image was read from: a clone
  Json shown;                 // what the page shows of it
};

// The plan for `image` onto the module read as `base` (with the hub's `registers` on DDR5),
// or the refusal (a protected block). `backup_dir` is named in the steps it shows.
std::expected<Plan, std::string> make_plan(const std::string& kind, const Target& t, const Bytes& image, Bytes base,
                                           std::optional<Bytes> registers, const std::string& backup_dir);

// The module read just before the write still holds what the plan was made from: every byte
// (the REG area: but for the hub's live registers, and every byte the plan writes).
bool still_holds(const Plan& plan, const Bytes& now);

// The core's words for the console made the page's: no command-line options, the page's buttons.
std::string page_words(std::string text);

}  // namespace dimmwand::ui
