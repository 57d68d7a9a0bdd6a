// What the workbench's operations share: their output, and the console's records and context
// for a target of the page.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "commands/area.hpp"
#include "commands/args.hpp"
#include "commands/context.hpp"
#include "platform/interrupt.hpp"
#include "programmer.hpp"

namespace dimmwand::ui {

// What a command says goes to the operation's log, and its frame count to the progress bar.
class BenchOutput final : public Output {
 public:
  explicit BenchOutput(Bench& bench) : bench_(bench) {}
  void out(std::string_view text) override { append(text); }
  void err(std::string_view text) override { append(text); }
  void progress(std::size_t done, std::size_t total) override {
    std::lock_guard lock(bench_.mutex_);
    bench_.state_["done"] = done;
    bench_.state_["total"] = total;
  }
  void append(std::string_view text) {
    std::lock_guard lock(bench_.mutex_);
    bench_.state_["log"] = bench_.state_.value("log", std::string()) + page_words(std::string(text));
  }

 private:
  Bench& bench_;
};

inline Common common_of(const Target& t) {
  return Common{t.port, *device_of(t.generation), t.area == "reg" ? std::optional(DataMode::Reg) : std::nullopt};
}

inline AreaSpec area_of(const Target& t) { return *resolve_area(*device_of(t.generation), common_of(t).mode); }

// The console's own port and pause; Ctrl-C of the server stops an operation as it stops the console's.
inline Context context_for(Output& output) {
  const auto system = system_context([] { return interrupted(); });
  return Context{system.open_link, system.pause, output};
}

inline std::string words_of(const DeviceError& e) { return page_words(e.display()); }

}  // namespace dimmwand::ui
