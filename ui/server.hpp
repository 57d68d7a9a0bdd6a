// The workbench's HTTP server: the page, compiled in, and the JSON API behind the locked door.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "door.hpp"
#include "programmer.hpp"

namespace httplib {
class Server;
}

namespace dimmwand::ui {

struct Workbench {
  Door door;
  std::vector<std::pair<std::string, Bytes>> files;  // opened at start, the first shown
  std::string programmer;                            // the port the page starts with
  std::filesystem::path backup_dir;
  Bench* bench = nullptr;
};

// Installs the door and every route on `server`.
void install_routes(httplib::Server& server, const Workbench& bench);

// A file of the page: its bytes and its media type; nullptr for a name the page does not have.
struct PageFile {
  const char* path;
  const char* type;
  const unsigned char* data;
  std::size_t size;
};
const PageFile* page_file(const std::string& path);  // page_files.cpp, generated

}  // namespace dimmwand::ui
