#include "images.hpp"

#include "model/hub.hpp"
#include "model/spd_image.hpp"

#include <initializer_list>
#include <utility>
#include <string_view>

namespace dimmwand::emu {
namespace {

using Image = std::vector<std::uint8_t>;

void put(Image& image, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
  for (const auto b : bytes) image[at++] = b;
}

void put_text(Image& image, std::size_t at, std::size_t width, std::string_view text) {
  for (std::size_t i = 0; i < width; ++i) image[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

// Stores the CRC of every block the image identifies, as the tool's fix would.
Image with_checksums(Image image, DeviceType g) {
  model::fix_checksums(image, g);
  return image;
}

Image ddr3() {
  Image s(spd_size(DeviceType::DDR3), 0);
  // 256 bytes used, CRC over 0-116; SPD 1.3; DDR3 SDRAM; UDIMM; 4 Gb, 8 banks; 16 rows, 10 columns
  // (a 4 Gb x8 die's addressing).
  put(s, 0, {0x92, 0x13, 0x0B, 0x02, 0x04, 0x21, 0x00, 0x01, 0x03, 0x11, 0x01, 0x08});
  // tCKmin 1.25 ns (DDR3-1600), CAS 5-11, tAA 13.125 ns, tWR 15 ns, tRCD 13.125, tRRD 6, tRP 13.125,
  // tRAS 35, tRC 48.125; then tRFC 260, tWTR 7.5, tRTP 7.5, tFAW 30.
  put(s, 12, {0x0A, 0x00, 0xFE, 0x00, 0x69, 0x78, 0x69, 0x30, 0x69, 0x11, 0x18, 0x81});
  put(s, 24, {0x20, 0x08, 0x3C, 0x3C, 0x00, 0xF0, 0x83, 0x05});
  put(s, 60, {0x0F, 0x11});               // module height and thickness
  put(s, 117, {0x80, 0xCE});              // module maker: Samsung (bank 1, 0xCE)
  put(s, 119, {0x01, 0x24, 0x18});        // made at site 1, 2024 week 18
  put(s, 122, {0x00, 0x00, 0x03, 0x33});  // serial number
  put_text(s, 128, 18, "DW3U1600-4G");
  put(s, 148, {0x80, 0xCE});  // DRAM maker
  return with_checksums(std::move(s), DeviceType::DDR3);
}

Image ddr4() {
  Image s(spd_size(DeviceType::DDR4), 0);
  // 384 bytes used of 512; SPD 1.1; DDR4 SDRAM; UDIMM; 8 Gb, 4 bank groups; 16 rows, 10 columns.
  put(s, 0, {0x23, 0x11, 0x0C, 0x02, 0x85, 0x21, 0x00, 0x08, 0x00, 0x60, 0x00, 0x03, 0x01, 0x03});
  // Timebases 125 ps and 1 ps; tCKmin 0.625 ns (DDR4-3200), tCKmax 1.625 ns, CAS latencies; tAA,
  // tRCD and tRP 13.75 ns, tRAS 33 ns, tRC 46.75 ns (tRAS + tRP); the refresh times of an 8 Gb die
  // (350, 260 and 160 ns); tFAW 21 ns, tRRD_S 2.5 ns, tRRD_L 4.9 ns, tCCD_L 5 ns; tWR 15 ns,
  // tWTR_S 2.5 ns, tWTR_L 7.5 ns.
  put(s, 17, {0x00, 0x05, 0x0D, 0xF8, 0xFF, 0x2B, 0x00, 0x6E, 0x6E, 0x6E, 0x11, 0x08, 0x76});
  put(s, 30, {0xF0, 0x0A, 0x20, 0x08, 0x00, 0x05, 0x00, 0xA8, 0x14, 0x28, 0x28, 0x00, 0x78, 0x00, 0x14, 0x3C});
  put(s, 118, {0x9C});                    // tRRD_L's fine correction: -100 ps
  put(s, 128, {0x11, 0x01, 0x00});        // module height and thickness, reference card
  put(s, 320, {0x80, 0x2C});              // module maker: Micron (bank 1, 0x2C)
  put(s, 322, {0x01, 0x24, 0x22});        // site 1, 2024 week 22
  put(s, 325, {0x12, 0x34, 0x56, 0x78});  // serial number
  put_text(s, 329, 20, "DW4U3200-8G");
  put(s, 350, {0x80, 0x2C});  // DRAM maker
  return with_checksums(std::move(s), DeviceType::DDR4);
}

Image ddr5() {
  Image s(spd_size(DeviceType::DDR5), 0);
  // 1024 bytes; SPD 1.0; DDR5 SDRAM; UDIMM; 16 Gb monolithic dies, x16, 4 bank groups of 4.
  put(s, 0, {0x30, 0x10, 0x12, 0x02, 0x04, 0x00, 0x40, 0x42});
  // tCKAVGmin 416 ps (DDR5-4800) and tCKAVGmax, little endian; CAS latencies 22 to 42.
  put(s, 20, {0xA0, 0x01, 0xF2, 0x03, 0x7A, 0x0D, 0x00, 0x00, 0x00});
  // tAA, tRCD, tRP 16 ns; tRAS 32 ns; tRC 48 ns; tWR 30 ns (ps, little endian); the refresh times
  // of a 16 Gb die: tRFC1 295 ns, tRFC2 160 ns, tRFCsb 130 ns (ns, little endian).
  put(s, 30,
      {0x80, 0x3E, 0x80, 0x3E, 0x80, 0x3E, 0x00, 0x7D, 0x80, 0xBB, 0x30, 0x75, 0x27, 0x01, 0xA0, 0x00, 0x82, 0x00});
  // tRRD_L 5 ns (8 nCK), tCCD_L 5 ns (8), tCCD_L_WR 20 ns (32), tCCD_L_WR2 10 ns (16), tFAW 16.666 ns
  // (40, a x16 die's 2 KB page), tCCD_L_WTR 10 ns (16), tCCD_S_WTR 2.5 ns (4), tRTP 7.5 ns (12):
  // two bytes of ps and one of clocks each.
  put(s, 70, {0x88, 0x13, 0x08, 0x88, 0x13, 0x08, 0x20, 0x4E, 0x20, 0x10, 0x27, 0x10,
              0x1A, 0x41, 0x28, 0x10, 0x27, 0x10, 0xC4, 0x09, 0x04, 0x4C, 0x1D, 0x0C});
  put(s, 192, {0x08, 0x00, 0x80, 0xB3, 0x80, 0x11, 0x02, 0x02});  // common module section
  put(s, 234, {0x08, 0x22});                                      // two package ranks; two 32-bit sub-channels, no ECC
  put(s, 512, {0x80, 0xAD});                                      // module maker: SK hynix (bank 1, 0xAD)
  put(s, 514, {0x01, 0x24, 0x30});                                // site 1, 2024 week 30
  put(s, 517, {0xCA, 0xFE, 0x00, 0x05});                          // serial number
  put_text(s, 521, 30, "DW5U4800-16G");
  put(s, 552, {0x80, 0xAD});  // DRAM maker
  // An XMP 3.0 block with one profile (enabled by the header): DDR5-5600 CL36 at 1.40 V.
  put(s, model::kXmp3Header, {0x0C, 0x4A, 0x30, 0x01});
  put_text(s, model::kXmp3Header + 0x0E, 16, "DW 5600");
  put(s, model::kXmp3Profile,
      {0x30, 0x28, 0x28, 0x00, 0x26, 0x65, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00});  // voltages, tCK 357 ps, CL36
  put(s, model::kXmp3Profile + 0x0D,
      {0x34, 0x32, 0x34, 0x32, 0x34, 0x32, 0x00, 0x7D, 0x80, 0xBB,  // tAA, tRCD, tRP, tRAS, tRC
       0x30, 0x75, 0x27, 0x01, 0xA0, 0x00, 0x82, 0x00});            // tWR 30 ns; tRFC1, tRFC2, tRFCsb (ns)
  return with_checksums(std::move(s), DeviceType::DDR5);
}

Image reg5() {
  using namespace hub;
  Image r(kRegAreaSize, 0);
  put(r, kDeviceTypeHigh, {kDeviceType >> 8, kDeviceType & 0xFF});
  put(r, kRevision, {0x10});
  put(r, kVendorBank, {0x86, 0x32});  // bank 7, 0x32
  put(r, kCapability, {0x03, 0x32});  // a thermal sensor
  put(r, kLegacyMode, {0x00});        // one-byte addressing, page 0
  put(r, kSensorConfig, {0x00});      // thermal sensor enabled; MR12-MR13 0: no block protected
  // Limits: high 85 °C, low 0 °C, critical high 95 °C, critical low 0 °C (0.25 °C from bit 2).
  put(r, kLimitHigh, {0x50, 0x05, 0x00, 0x00, 0xF0, 0x05, 0x00, 0x00});
  put(r, kTemperature, {0x70, 0x01});  // 23.00 °C now
  return r;
}

}  // namespace

Areas default_areas() { return {ddr3(), ddr4(), ddr5(), reg5()}; }

}  // namespace dimmwand::emu
