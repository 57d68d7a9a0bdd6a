#include "spd/documents.hpp"

#include <fmt/format.h>

#include <cmath>

#include "model/hub.hpp"
#include "spd/jep106.hpp"
#include "spd/json.hpp"

namespace dimmwand::spd {
namespace {

void time(JsonWriter& j, std::string_view name, double ps) {
  j.key(name).object().key("ps").value(ps).key("ns").value(std::round(ps) / 1000.0).end();
}

void maker(JsonWriter& j, std::string_view name, std::uint8_t bank_byte, std::uint8_t code_byte) {
  const bool blank = (bank_byte == 0 && code_byte == 0) || (bank_byte == 0xFF && code_byte == 0xFF);
  j.key(name);
  if (blank) {
    j.null();
    return;
  }
  const auto known = maker_name((bank_byte & 0x7Fu) + 1, static_cast<std::uint8_t>(code_byte & 0x7F));
  const std::string shown = manufacturer(bank_byte, code_byte);
  const bool valid = valid_parity(bank_byte, code_byte);
  j.object().key("bank").value((bank_byte & 0x7Fu) + 1).key("code").value(unsigned{code_byte}).key("name");
  if (known && valid)
    j.value(*known);
  else
    j.null();
  j.key("valid_parity").value(valid).key("shown").value(shown).end();
}

void sections_of(JsonWriter& j, const std::vector<InfoSection>& sections) {
  j.key("sections").array();
  for (const auto& s : sections) {
    j.object().key("title").value(s.title).key("fields").array();
    for (const auto& [label, value] : s.lines) j.object().key("label").value(label).key("value").value(value).end();
    j.end().end();
  }
  j.end();
}

void profiles_of(JsonWriter& j, const Facts& f, model::ProfileKind kind, const std::optional<std::string>& version) {
  j.key(model::id_of(kind));
  if (!version) {
    j.null();
    return;
  }
  j.object().key("version").value(*version).key("profiles").array();
  for (const auto& p : f.profiles) {
    if (p.kind != kind) continue;
    j.object().key("number").value(p.number).key("name");
    if (p.name.empty())
      j.null();
    else
      j.value(p.name);
    j.key("data_rate").value(p.data_rate);
    time(j, "tck", p.tck_ps);
    // Every time under its layout key (taa, trcd, ... tfaw), with its clock count at tCK and the
    // lower limit in clocks where the profile stores one.
    for (const auto& t : p.times) {
      j.key(t.key).object().key("ps").value(t.ps).key("ns").value(std::round(t.ps) / 1000.0).key("nck").value(t.clocks);
      if (t.min_nck != 0) j.key("min_nck").value(t.min_nck);
      j.end();
    }
    j.key("cl").value(p.clocks.cl);
    j.key("clocks").object().key("cl").value(p.clocks.cl).key("trcd").value(p.clocks.trcd);
    j.key("trp").value(p.clocks.trp).key("tras").value(p.clocks.tras).end();
    j.key("cl_list").array();
    for (const unsigned cl : p.cas) j.value(cl);
    j.end();
    for (const auto& v : p.voltages) j.key(v.key).value(std::round(v.volts * 100) / 100);
    j.key("command_rate");
    if (p.command_rate != 0)
      j.value(fmt::format("{}N", p.command_rate));
    else
      j.null();
    j.end();
  }
  j.end().end();
}

}  // namespace

std::string info_document(const std::string& file, const Decode& d, const std::vector<InfoSection>& sections) {
  const Facts& f = d.facts;
  const DeviceType g = f.generation;
  JsonWriter j;
  j.object().key("file").value(file).key("kind").value("spd").key("generation").value(unsigned{generation(g)});
  j.key("size").value(static_cast<unsigned long long>(f.size)).key("module_type").value(f.module_type);
  j.key("capacity_mb").value(f.capacity_mb).key("ranks").value(f.ranks).key("device_width").value(f.device_width);
  j.key("sub_channels").value(f.sub_channels).key("bus_width").value(f.bus_width).key("ecc").value(f.ecc);
  j.key("data_rate").value(f.data_rate);
  j.key("timings").object();
  time(j, "tck", f.tck_ps);
  time(j, "taa", f.taa_ps);
  time(j, "trcd", f.trcd_ps);
  time(j, "trp", f.trp_ps);
  time(j, "tras", f.tras_ps);
  j.end();
  j.key("clocks").object().key("cl").value(f.clocks.cl);
  j.key("trcd").value(f.clocks.trcd).key("trp").value(f.clocks.trp).key("tras").value(f.clocks.tras).end();
  maker(j, "module_maker", f.module_maker.bank_byte, f.module_maker.code_byte);
  maker(j, "dram_maker", f.dram_maker.bank_byte, f.dram_maker.code_byte);
  j.key("part_number");
  if (!f.absent.empty())
    j.null();
  else
    j.value(f.part_number.empty() ? std::string("未记录") : f.part_number);
  j.key("serial_number");
  if (!f.absent.empty())
    j.null();
  else
    j.value(f.serial_number);
  j.key("manufacturing_date");
  if (f.date)
    j.object().key("year").value(f.date->first).key("week").value(f.date->second).end();
  else
    j.null();
  j.key("spd_revision").value(f.spd_revision).key("absent");
  if (f.absent.empty())
    j.null();
  else
    j.value(f.absent);
  profiles_of(j, f, model::ProfileKind::Xmp, f.xmp_version);
  if (g == DeviceType::DDR5) profiles_of(j, f, model::ProfileKind::Expo, f.expo_version);
  sections_of(j, sections);
  j.end();
  return j.text();
}

std::string registers_document(const std::string& file, Image r, const std::vector<InfoSection>& sections) {
  using namespace hub;
  JsonWriter j;
  j.object().key("file").value(file).key("kind").value("reg").key("size").value(
      static_cast<unsigned long long>(r.size()));
  const bool hub = is_spd5118(r);
  j.key("spd5118").value(hub).key("device_type").value(unsigned(r[kDeviceTypeHigh] << 8 | r[kDeviceTypeLow]));
  if (hub) {
    const std::uint16_t blocked = protected_blocks(r);
    const bool sensor = (r[kCapability] & 0x02) != 0;
    const bool sensor_on = sensor && (r[kSensorConfig] & 0x01) == 0;
    j.key("revision").value(unsigned{r[kRevision]});
    maker(j, "vendor", r[kVendorBank], r[kVendorCode]);
    j.key("capabilities").value(unsigned{r[kCapability]});
    j.key("mr12").value(unsigned{r[kProtectLow]}).key("mr13").value(unsigned{r[kProtectHigh]});
    j.key("protected_blocks").array();
    for (unsigned b = 0; b < kBlockCount; ++b) {
      if ((blocked >> b & 1u) != 0) j.value(b);
    }
    j.end();
    j.key("override_available").value((r[kDeviceStatus] & kOverrideAvailable) != 0);
    j.key("write_in_progress").value((r[kDeviceStatus] & kWriteInProgress) != 0);
    j.key("two_byte_addressing").value((r[kLegacyMode] & 0x08) != 0);
    j.key("thermal_sensor").value(sensor).key("thermal_sensor_enabled").value(sensor_on).key("temperature_c");
    if (sensor_on)
      j.value(temperature(r[kTemperature], r[kTemperature + 1]));
    else
      j.null();
  }
  sections_of(j, sections);
  j.end();
  return j.text();
}

std::string check_document(const std::string& file, Image image, std::optional<DeviceType> g,
                           const std::vector<std::string>* warnings) {
  JsonWriter j;
  j.object()
      .key("file")
      .value(file)
      .key("kind")
      .value(g ? "spd" : "reg")
      .key("size")
      .value(static_cast<unsigned long long>(image.size()));
  j.key("generation");
  if (g)
    j.value(unsigned{generation(*g)});
  else
    j.null();
  bool ok = true;
  j.key("checksums").array();
  if (g) {
    for (const auto& c : checksums(image, *g)) {
      ok = ok && c.ok();
      j.object().key("id").value(c.id).key("name").value(c.name).key("from").value(
          static_cast<unsigned long long>(c.from));
      j.key("to").value(static_cast<unsigned long long>(c.to)).key("at").value(static_cast<unsigned long long>(c.at));
      j.key("stored")
          .value(unsigned{c.stored})
          .key("computed")
          .value(unsigned{c.computed})
          .key("ok")
          .value(c.ok())
          .end();
    }
  }
  j.end().key("skipped").array();
  if (g) {
    for (const auto& s : skipped_blocks(image, *g))
      j.object().key("id").value(s.id).key("name").value(s.name).key("reason").value(s.reason).end();
  }
  j.end();
  if (warnings != nullptr) {
    j.key("warnings").array();
    for (const auto& w : *warnings) j.value(w);
    j.end();
  }
  j.key("ok").value(ok).end();
  return j.text();
}

std::string diff_document(const std::string& a_path, Image a, const std::string& b_path, Image b,
                          const std::vector<DiffRun>& runs) {
  JsonWriter j;
  j.object()
      .key("a")
      .object()
      .key("file")
      .value(a_path)
      .key("size")
      .value(static_cast<unsigned long long>(a.size()))
      .end();
  j.key("b").object().key("file").value(b_path).key("size").value(static_cast<unsigned long long>(b.size())).end();
  std::size_t bytes = 0;
  j.key("runs").array();
  for (const auto& r : runs) {
    bytes += r.to - r.from + 1;
    j.object()
        .key("from")
        .value(static_cast<unsigned long long>(r.from))
        .key("to")
        .value(static_cast<unsigned long long>(r.to));
    j.key("old").array();
    for (std::size_t i = r.from; i <= r.to; ++i) j.value(unsigned{a[i]});
    j.end().key("new").array();
    for (std::size_t i = r.from; i <= r.to; ++i) j.value(unsigned{b[i]});
    j.end().key("fields").value(r.fields).end();
  }
  j.end().key("differing_bytes").value(static_cast<unsigned long long>(bytes));
  j.key("same").value(runs.empty() && a.size() == b.size()).end();
  return j.text();
}

}  // namespace dimmwand::spd
