// The files the tests read: the bundled samples, the real modules' dumps, whole files in and out.
// Portable, for the unit suite (Windows included) and the end-to-end suite alike.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dimmwand::testing {

// The bundled sample image of an area ("spd4", "reg5", ...).
inline std::string sample_path(const std::string& area) { return std::string(DIMMWAND_SAMPLES) + "/" + area + ".bin"; }

// A real module's dump by its file name, and every one of them, in name order.
inline std::string dump_path(const std::string& name) { return std::string(DIMMWAND_DUMPS) + "/" + name; }
inline std::vector<std::string> dump_paths() {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::directory_iterator(DIMMWAND_DUMPS)) {
    if (e.path().extension() == ".bin") paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace dimmwand::testing
