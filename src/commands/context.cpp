#include "commands/context.hpp"

#include <cstdio>

#include "platform/console.hpp"
#include "platform/sleep.hpp"

namespace dimmwand {
namespace {

class StandardOutput final : public Output {
 public:
  void out(std::string_view text) override { put(stdout, text); }
  void err(std::string_view text) override {
    std::fflush(stdout);
    put(stderr, text);
  }
  bool err_is_terminal() const override { return stderr_is_terminal(); }

 private:
  static void put(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
  }
};

}  // namespace

Output& standard_output() {
  static StandardOutput output;
  return output;
}

Context system_context(std::function<bool()> cancelled) {
  return Context{[cancelled](const std::string& port) { return open_link(port, LinkHooks{.cancelled = cancelled}); },
                 [](std::chrono::microseconds d) { precise_sleep(d); }, standard_output()};
}

}  // namespace dimmwand
