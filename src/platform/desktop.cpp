#include "platform/desktop.hpp"

#include <fmt/format.h>

namespace dimmwand {

std::string forwarding_page(const std::string& url) {
  return fmt::format(
      "<!doctype html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" content=\"0;url={0}\">\n"
      "<title>dimmwand 工作台</title>\n<p><a href=\"{0}\">打开 dimmwand 工作台</a></p>\n",
      url);
}

}  // namespace dimmwand
