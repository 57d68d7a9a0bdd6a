#include "cli/help_formatter.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <span>
#include <vector>

#include "cli/common.hpp"
#include "text/utf8.hpp"

namespace dimmwand {
namespace {

struct Row {
  std::string label;
  std::string help;
  std::span<const ValueText> values;
};

// The enumerated values of an argument, known by its value name.
std::span<const ValueText> values_of(const CLI::Option* opt) {
  const std::string type = opt->get_type_name();
  if (type == "DEVICE") return kDeviceValues;
  if (type == "MODE") return kModeValues;
  return {};
}

std::string option_label(const CLI::Option* opt) {
  std::vector<std::string> names;
  for (const auto& s : opt->get_snames()) names.push_back("-" + s);
  for (const auto& l : opt->get_lnames()) names.push_back("--" + l);
  std::string label = fmt::format("{}", fmt::join(names, ", "));
  if (!opt->get_type_name().empty()) label += fmt::format(" <{}>", opt->get_type_name());
  return label;
}

std::string section(std::string_view title, const std::vector<Row>& rows) {
  if (rows.empty()) return {};
  std::size_t width = 0;
  for (const auto& r : rows) width = std::max(width, text::display_width(r.label));
  std::string out = fmt::format("\n{}:\n", title);
  for (const auto& r : rows) {
    const std::size_t pad = width - text::display_width(r.label) + 2;
    const std::string indent(width + 4, ' ');
    // A help text of several lines keeps its column.
    std::string help = r.help;
    for (std::size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += indent.size() + 1) {
      help.insert(at + 1, indent);
    }
    out += fmt::format("  {}{:{}}{}\n", r.label, "", pad, help);
    if (r.values.empty()) continue;
    out += fmt::format("{}Possible values:\n", indent);
    for (const auto& v : r.values) out += fmt::format("{}- {}: {}\n", indent, v.text, v.help);
  }
  return out;
}

}  // namespace

std::string HelpFormatter::make_usage(const CLI::App* app, std::string /*name*/) const {
  const CLI::App* root = app;
  while (root->get_parent() != nullptr) root = root->get_parent();
  std::string usage = fmt::format("Usage: {}", root->get_name());
  if (app->get_parent() != nullptr) usage += " " + app->get_name();
  const auto options = app->get_options([](const CLI::Option* o) { return o->nonpositional(); });
  const bool optional_options = std::any_of(options.begin(), options.end(), [app](const CLI::Option* o) {
    return !o->get_required() && o != app->get_help_ptr() && o != app->get_version_ptr();
  });
  if (optional_options || app->get_parent() == nullptr) usage += " [OPTIONS]";
  for (const auto* o : options) {
    if (o->get_required()) usage += " " + option_label(o);
  }
  for (const auto* o : app->get_options([](const CLI::Option* p) { return p->get_positional(); })) {
    const std::string more = o->get_expected_max() > 1 ? "..." : "";  // a list of values
    usage += o->get_required() ? fmt::format(" <{}>{}", o->get_type_name(), more)
                               : fmt::format(" [{}]{}", o->get_type_name(), more);
  }
  if (!app->get_subcommands([](const CLI::App*) { return true; }).empty()) usage += " <COMMAND>";
  return usage + "\n";
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode /*mode*/) const {
  std::string out;
  if (!app->get_description().empty()) out += app->get_description() + "\n\n";
  out += make_usage(app, name);

  // The parser's own help subcommand comes last, after the tool's commands.
  std::vector<Row> commands;
  for (const bool last : {false, true}) {
    for (const auto* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
      if ((sub->get_name() == "help") == last) commands.push_back({sub->get_name(), sub->get_description(), {}});
    }
  }
  out += section("Commands", commands);

  std::vector<Row> arguments;
  for (const auto* o : app->get_options([](const CLI::Option* p) { return p->get_positional(); })) {
    arguments.push_back({fmt::format("<{}>{}", o->get_type_name(), o->get_expected_max() > 1 ? "..." : ""),
                         o->get_description(), values_of(o)});
  }
  out += section("Arguments", arguments);

  // The parser's help and version options come after the command's own.
  std::vector<Row> options;
  for (const bool last : {false, true}) {
    for (const auto* o : app->get_options([](const CLI::Option* p) { return p->nonpositional(); })) {
      const bool parsers_own = o == app->get_help_ptr() || o == app->get_version_ptr();
      if (parsers_own == last) options.push_back({option_label(o), o->get_description(), values_of(o)});
    }
  }
  out += section("Options", options);

  if (!app->get_footer().empty()) out += "\n" + app->get_footer() + "\n";
  return out;
}

}  // namespace dimmwand
