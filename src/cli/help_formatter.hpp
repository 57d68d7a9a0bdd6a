// Help layout: hides subcommand aliases, lists enumerated values with their help texts,
// and aligns columns by terminal width so that Chinese texts line up.
#pragma once

#include <CLI/CLI.hpp>

namespace dimmwand {

class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
  std::string make_usage(const CLI::App* app, std::string name) const override;
};

}  // namespace dimmwand
