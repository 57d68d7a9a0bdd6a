#include "cli/parse_support.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "cli/help_formatter.hpp"
#include "text/utf8.hpp"

namespace dimmwand::cli {
namespace {

constexpr std::string_view kHelpSubcommand = "help";

const CLI::App* chosen_subcommand(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  return chosen.empty() ? &app : chosen.front();
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string unknown_subcommand(const CLI::App& app, const std::string& typed) {
  std::string message = fmt::format("unrecognized subcommand '{}'", shown(typed));
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (edit_distance(CLI::detail::to_lower(typed), CLI::detail::to_lower(sub->get_name())) <= 2) {
      return message + fmt::format("\n\n  tip: a similar subcommand exists: '{}'", sub->get_name());
    }
  }
  return message;
}

std::string option_label(const CLI::Option& o) {
  const std::string name = o.get_snames().empty() ? "--" + o.get_lnames().front() : "-" + o.get_snames().front();
  return o.get_type_name().empty() ? name : fmt::format("{} <{}>", name, o.get_type_name());
}

// Rewords the parser's messages where they would be unclear to a user.
std::string error_message(const CLI::App& app, const CLI::ParseError& e) {
  const std::string what = e.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    // "-t: ..." : the option is named before the colon; it was either repeated or left empty.
    const CLI::Option* o = chosen_subcommand(app)->get_option_no_throw(what.substr(0, what.find(':')));
    if (o != nullptr && !o->get_positional()) {
      return o->count() > 1 ? fmt::format("the argument '{}' cannot be used multiple times", option_label(*o))
                            : fmt::format("a value is required for '{}' but none was supplied", option_label(*o));
    }
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    const CLI::App* where = chosen_subcommand(app);
    if (where == &app) {
      const auto rest = app.remaining();
      return rest.empty() ? "a subcommand is required but one was not provided" : unknown_subcommand(app, rest.front());
    }
    std::vector<std::string> missing;
    for (const auto* o : where->get_options()) {
      if (!o->get_required() || o->count() != 0) continue;
      missing.push_back(o->get_positional() ? fmt::format("<{}>", o->get_type_name()) : option_label(*o));
    }
    if (!missing.empty()) {
      return fmt::format("the following required arguments were not provided: {}", fmt::join(missing, " "));
    }
  }
  if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr) {
    // The parser puts the argument's id before our message, which already names it.
    if (const auto colon = what.find(": "); colon != std::string::npos) return what.substr(colon + 2);
  }
  return what;
}

ParseStop help_requested(const CLI::App& app, const CLI::App& help) {
  const CLI::Option* which = help.get_option("command");
  if (which->count() == 0) {
    // app.help() would show the help of the chosen subcommand, which is `help` itself.
    return {ParseStop::Kind::Help, app.get_formatter()->make_help(&app, "", CLI::AppFormatMode::Normal)};
  }
  const std::string name = which->as<std::string>();
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->check_name(name)) return {ParseStop::Kind::Help, sub->help(app.get_name())};
  }
  return {ParseStop::Kind::Error, rejection(app, unknown_subcommand(app, name))};
}

}  // namespace

std::string shown(std::string_view typed) {
  return text::decode_utf8_lossy({reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size()});
}

CLI::Validator utf8_text(std::string_view value_name) {
  return {[value_name](std::string& v) {
            return text::is_valid_utf8(v) ? std::string() : fmt::format("invalid UTF-8 was detected in '<{}>'", value_name);
          },
          ""};
}

std::optional<std::size_t> match_value(std::span<const ValueText> values, std::string_view typed, bool fold_case) {
  const auto fold = [fold_case](char c) {
    return fold_case && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& v = values[i].text;
    if (v.size() == typed.size() &&
        std::equal(v.begin(), v.end(), typed.begin(), [&](char a, char b) { return a == fold(b); })) {
      return i;
    }
  }
  return std::nullopt;
}

CLI::Validator one_of(std::span<const ValueText> values, std::string_view value_name, bool fold_case) {
  return {[values, value_name, fold_case](std::string& v) -> std::string {
            if (match_value(values, v, fold_case)) return {};
            std::vector<std::string_view> accepted;
            for (const auto& value : values) accepted.push_back(value.text);
            return fmt::format("invalid value '{}' for '<{}>'\n  [possible values: {}]", shown(v), value_name,
                               fmt::join(accepted, ", "));
          },
          ""};
}

CLI::Validator path_value(std::string_view label) {
  return {[label](std::string& v) -> std::string {
            if (v.size() < 2 || v[0] != '-') return {};
            return fmt::format("a value is required for '{}' but none was supplied (write './{}' for a file of that name)",
                               label, shown(v));
          },
          ""};
}

void add_help_subcommand(CLI::App& app) {
  CLI::App* help = app.add_subcommand(std::string(kHelpSubcommand), "Print this message or the help of the given subcommand(s)");
  help->footer("");
  help->add_option("command")->description("Print help for the subcommand")->type_name("COMMAND")->check(utf8_text("COMMAND"));
}

CLI::App* add_subcommand(CLI::App& app, std::string_view name, std::span<const std::string_view> aliases,
                         std::string_view about, void (*arguments)(CLI::App&)) {
  CLI::App* sub = app.add_subcommand(std::string(name), std::string(about));
  sub->footer("");
  for (const auto alias : aliases) {
    if (!alias.empty()) sub->alias(std::string(alias));
  }
  arguments(*sub);
  return sub;
}

std::string rejection(const CLI::App& app, const std::string& message) {
  const CLI::App* where = chosen_subcommand(app);
  const std::string help_hint =
      where == &app ? std::string("'--help'") : fmt::format("'{} {} --help'", app.get_name(), where->get_name());
  // The message may quote what was typed, which need not be valid UTF-8.
  return shown(fmt::format("error: {}\n\n{}\nFor more information, try {}.\n", message,
                           HelpFormatter{}.make_usage(where, where->get_name()), help_hint));
}

std::expected<const CLI::App*, ParseStop> parse_with(CLI::App& app, std::span<const char* const> args) {
  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::CallForHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app.help()});
  } catch (const CLI::CallForAllHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app.help()});
  } catch (const CLI::CallForVersion& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Version, std::string(e.what()) + "\n"});
  } catch (const CLI::ParseError& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Error, rejection(app, error_message(app, e))});
  }
  const auto chosen = app.get_subcommands();
  if (chosen.empty()) {
    return std::unexpected(ParseStop{ParseStop::Kind::Error, rejection(app, "a subcommand is required but one was not provided")});
  }
  if (chosen.front()->get_name() == kHelpSubcommand) return std::unexpected(help_requested(app, *chosen.front()));
  return chosen.front();
}

}  // namespace dimmwand::cli
