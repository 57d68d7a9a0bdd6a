#include "spd/edit_commands.hpp"

#include <fmt/format.h>

#include <filesystem>

#include "platform/image_file.hpp"
#include "spd/decode.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/input.hpp"
#include "spd/json.hpp"
#include "spd/settable.hpp"

namespace dimmwand::spd {
namespace {

struct Loaded {
  std::vector<std::uint8_t> bytes;
  DeviceType g;
};

// The image to edit: a raw image or a text dump, of a generation its own bytes name.
Result<Loaded> load(const std::string& path) {
  auto data = load_image(path);
  if (!data) return std::unexpected(std::move(data.error()));
  const auto g = identify(*data, std::nullopt);
  if (!g) return std::unexpected(g.error());
  return Loaded{std::move(*data), *g};
}

std::string place(std::size_t at) { return fmt::format("0x{:03X}", at); }

void print_report(const Edited& e, std::span<const std::uint8_t> before) {
  if (e.fields.empty()) fmt::print(stderr, "未改变任何字节\n");
  for (const auto& f : e.fields) {
    std::vector<std::string> bytes;
    for (const std::size_t at : f.bytes)
      bytes.push_back(fmt::format("{}: {:02X} → {:02X}", place(at), before[at], e.image[at]));
    fmt::print(stderr, "{}（{}）: {} → {}；字节 {}\n", f.key, f.name, f.old_value, f.new_value, fmt::join(bytes, "，"));
  }
  for (const auto& c : e.checksums) {
    fmt::print(stderr, "已重算 {}（字节 {}-{}，存于 {}-{}）: 0x{:04X} → 0x{:04X}\n", c.name, c.from, c.to, c.at,
               c.at + 1, c.stored, c.computed);
  }
  for (const auto& n : e.notes) fmt::print(stderr, "注意: {}\n", n);
  for (const auto& w : e.warnings) fmt::print(stderr, "警告: {}\n", w);
}

std::string edit_document(const std::string& file, const std::string& out, const Edited& e,
                          std::span<const std::uint8_t> before) {
  JsonWriter j;
  j.object().key("file").value(file).key("out").value(out).key("changes").array();
  for (const auto& f : e.fields) {
    j.object()
        .key("field")
        .value(f.key)
        .key("name")
        .value(f.name)
        .key("old")
        .value(f.old_value)
        .key("new")
        .value(f.new_value);
    j.key("bytes").array();
    for (const std::size_t at : f.bytes) {
      j.object().key("at").value(static_cast<unsigned long long>(at)).key("old").value(unsigned{before[at]});
      j.key("new").value(unsigned{e.image[at]}).end();
    }
    j.end().end();
  }
  j.end().key("checksums").array();
  for (const auto& c : e.checksums) {
    j.object().key("name").value(c.name).key("at").value(static_cast<unsigned long long>(c.at));
    j.key("old").value(unsigned{c.stored}).key("new").value(unsigned{c.computed}).end();
  }
  j.end().key("notes").array();
  for (const auto& n : e.notes) j.value(n);
  j.end().key("warnings").array();
  for (const auto& w : e.warnings) j.value(w);
  j.end().end();
  return j.text();
}

// The edit's result saved as a new file (or over an existing one with --force), never over the
// input; then the report.
Result<> save(const std::string& file, const Loaded& in, std::expected<Edited, std::string> edited,
              const EditOutput& out) {
  if (!edited) return std::unexpected(DeviceError::other(edited.error() + "；未写入文件"));
  if (out.path == "-") {
    // The new image on standard output, as convert writes it; the report stays on standard error.
    if (out.json) return std::unexpected(DeviceError::other("-o - 与 --json 不能同用：两者都写到标准输出；未写入"));
    if (auto written = write_image_to_stdout(edited->image); !written) return written;
    print_report(*edited, in.bytes);
    return {};
  }
  std::error_code ignored;
  if (std::filesystem::equivalent(file_path(file), file_path(out.path), ignored)) {
    return std::unexpected(DeviceError::other("输出文件不能是输入文件：修改从不改写原映像；未写入文件"));
  }
  if (!out.force && path_exists(out.path)) {
    return std::unexpected(DeviceError::other(fmt::format("{} 已存在；要替换它请加 --force；未写入文件", out.path)));
  }
  const auto saved = out.force ? save_image(out.path, edited->image) : save_new_image(out.path, edited->image);
  if (!saved) return std::unexpected(DeviceError::file(FileFailure::Action::Write, out.path, saved.error()));
  print_report(*edited, in.bytes);
  fmt::print(stderr, "已保存 {} 字节: {}\n", edited->image.size(), out.path);
  if (out.json) fmt::print("{}\n", edit_document(file, out.path, *edited, in.bytes));
  return {};
}

}  // namespace

Result<> run_fields(const std::string& file, bool json) {
  const auto in = load(file);
  if (!in) return std::unexpected(in.error());
  const auto all = settables(in->bytes, in->g);
  if (json) {
    JsonWriter j;
    j.object().key("file").value(file).key("generation").value(unsigned{generation(in->g)}).key("fields").array();
    for (const auto& s : all) {
      j.object().key("key").value(s.key).key("name").value(s.name).key("value").value(read_value(in->bytes, s));
      j.key("settable").value(has_value(in->bytes, s));
      j.key("unit").value(unit_of(s)).key("range").value(range_of(s)).end();
    }
    j.end().end();
    fmt::print("{}\n", j.text());
    return {};
  }
  for (const auto& s : all) {
    const std::string unit = unit_of(s);
    // A value that is none (an unrecorded date, an empty CL list) is not one set takes back.
    if (!has_value(in->bytes, s)) {
      fmt::print("{}: {}（{}；不是可设置的值；可设的值：{}）\n", s.key, read_value(in->bytes, s), s.name, range_of(s));
      continue;
    }
    fmt::print("{} = {}{}（{}；{}）\n", s.key, read_value(in->bytes, s),
               unit == "ns" || unit == "V" || unit == "MT/s" || unit == "nCK" ? " " + unit : "", s.name, range_of(s));
  }
  // Times no view reads (a reserved timebase) are not listed: said once, why.
  const Facts f = decode(in->bytes, in->g).facts;
  if (!f.unreadable.empty()) fmt::print(stderr, "注意: {}；时间字段不能设置\n", f.unreadable);
  for (const auto& why : f.unreadable_profiles) fmt::print(stderr, "注意: {}；时间字段不能设置\n", why);
  return {};
}

Result<> run_set(const std::string& file, const std::vector<std::string>& assignments, const EditOutput& out) {
  const auto in = load(file);
  if (!in) return std::unexpected(in.error());
  return save(file, *in, edit_set(in->bytes, in->g, assignments, out.force), out);
}

Result<> run_rebin(const std::string& file, unsigned speed, const EditOutput& out) {
  const auto in = load(file);
  if (!in) return std::unexpected(in.error());
  return save(file, *in, edit_rebin(in->bytes, in->g, speed), out);
}

Result<> run_promote(const std::string& file, const std::string& profile, bool accept_voltage, const EditOutput& out) {
  const auto in = load(file);
  if (!in) return std::unexpected(in.error());
  return save(file, *in, edit_promote(in->bytes, in->g, profile, accept_voltage), out);
}

}  // namespace dimmwand::spd
