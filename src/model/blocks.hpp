// The checksum blocks of SPD images and the overclocking profiles, under stable ASCII ids
// ("base", "module", "xmp3.header", "xmp3.profile1", "expo"; profiles "xmp1", "expo2") that code
// and JSON key on; the labels beside them are for the views alone.
//
// XMP 3.0 (DDR5): a 64-byte header at 0x280 (signature 0C 4A, version 0x30, byte 3 the enable
// bits of profiles 1-3, bit n-1 for profile n), then five 64-byte profiles from 0x2C0; 4 and 5
// are the user profiles, which have no enable bit. EXPO: a 128-byte block at 0x340 that starts
// with "EXPO" and takes the place of XMP profiles 3 and 4. Every block ends with its CRC-16,
// low byte first. Sources: the layouts of the public DDR5 SPD editors (edlf/DDR5SPDEditor,
// 1a2m3/SPD-Reader-Writer) and real modules' dumps; Intel's and AMD's documents are not public.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace dimmwand::model {

// A block that ends with its CRC: bytes [from, at + 1], the CRC at `at`, low byte first.
struct Block {
  std::string_view id;         // "xmp3.profile1"
  std::string_view label;      // "XMP 配置 1": the views' names of the block and of its CRC
  std::string_view crc_label;  // "XMP 配置 1 CRC"
  std::size_t from;            // first covered byte
  std::size_t at;              // where the CRC is stored; it covers [from, at - 1]
  constexpr std::size_t to() const { return at - 1; }
  constexpr std::size_t end() const { return at + 2; }  // one past the block
};

// DDR5 extension blocks.
inline constexpr std::size_t kXmp3Header = 0x280;
inline constexpr std::size_t kXmp3Profile = 0x2C0;  // profile n at kXmp3Profile + kXmp3Size * (n - 1)
inline constexpr std::size_t kXmp3Size = 0x40;      // the header and each profile
inline constexpr std::size_t kXmp3Profiles = 5;     // 1-3 enabled by the header, 4-5 the user's
inline constexpr std::size_t kExpo = 0x340;
inline constexpr std::size_t kExpoSize = 0x80;

// The one map of DDR5's extension blocks, in byte order: the XMP 3.0 header, its profiles 1-5,
// then EXPO (which, where present, stands over XMP profiles 3 and 4).
inline constexpr Block kXmp3HeaderBlock{"xmp3.header", "XMP 3.0 头", "XMP 3.0 头 CRC", kXmp3Header,
                                        kXmp3Header + kXmp3Size - 2};
inline constexpr Block kXmp3ProfileBlocks[kXmp3Profiles] = {
    {"xmp3.profile1", "XMP 配置 1", "XMP 配置 1 CRC", kXmp3Profile, kXmp3Profile + kXmp3Size - 2},
    {"xmp3.profile2", "XMP 配置 2", "XMP 配置 2 CRC", kXmp3Profile + kXmp3Size, kXmp3Profile + 2 * kXmp3Size - 2},
    {"xmp3.profile3", "XMP 配置 3", "XMP 配置 3 CRC", kXmp3Profile + 2 * kXmp3Size, kXmp3Profile + 3 * kXmp3Size - 2},
    {"xmp3.profile4", "XMP 配置 4", "XMP 配置 4 CRC", kXmp3Profile + 3 * kXmp3Size, kXmp3Profile + 4 * kXmp3Size - 2},
    {"xmp3.profile5", "XMP 配置 5", "XMP 配置 5 CRC", kXmp3Profile + 4 * kXmp3Size, kXmp3Profile + 5 * kXmp3Size - 2},
};
inline constexpr Block kExpoBlock{"expo", "EXPO", "EXPO CRC", kExpo, kExpo + kExpoSize - 2};

// XMP profile n (1-5) of DDR5.
constexpr const Block& xmp3_profile(std::size_t n) { return kXmp3ProfileBlocks[n - 1]; }

// XMP profiles 3 and 4 share their bytes with EXPO.
constexpr bool under_expo(std::size_t n) { return n == 3 || n == 4; }

// The family of an overclocking profile.
enum class ProfileKind { Xmp, Expo };

// "xmp" or "expo", as keys and JSON name them.
constexpr std::string_view id_of(ProfileKind k) { return k == ProfileKind::Xmp ? "xmp" : "expo"; }

// "XMP" or "EXPO", as the views show them.
constexpr std::string_view label_of(ProfileKind k) { return k == ProfileKind::Xmp ? "XMP" : "EXPO"; }

// "xmp1", "expo2": a profile's id, the prefix of its settable keys.
std::string profile_id(ProfileKind k, unsigned n);

}  // namespace dimmwand::model
