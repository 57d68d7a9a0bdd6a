#include "cli/parse_support.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "cli/help_formatter.hpp"
#include "text/nearest.hpp"
#include "text/utf8.hpp"

namespace dimmwand::cli {

const UsageTexts kEnglishUsage{
    .rejection = "error: {message}\n\n{usage}\nFor more information, try {hint}.\n",
    .usage = "Usage: ",
    .top_hint = "'--help'",
    .sub_hint = "'{program} {sub} --help'",
    .no_subcommand = "a subcommand is required but one was not provided",
    .unknown_subcommand = "unrecognized subcommand '{typed}'",
    .similar = "\n\n  tip: a similar subcommand exists: '{name}'",
    .repeated = "the argument '{label}' cannot be used multiple times",
    .no_value = "a value is required for '{label}' but none was supplied",
    .missing = "the following required arguments were not provided: {list}",
    .too_few = "",
    .extra = "",
    .unknown_option = "",
    .invalid_value = "invalid value '{typed}' for '<{name}>'\n  [possible values: {values}]",
    .option_as_path =
        "a value is required for '{label}' but none was supplied (write './{typed}' for a file of that name)",
    .invalid_utf8 = "invalid UTF-8 was detected in '<{name}>'",
    .did_you_mean = "",
};

const UsageTexts kChineseUsage{
    .rejection = "错误: {message}\n\n{usage}\n更多信息: {hint}\n",
    .usage = "用法: ",
    .top_hint = "{program} --help",
    .sub_hint = "{program} {sub} --help",
    .no_subcommand = "缺少命令",
    .unknown_subcommand = "没有命令“{typed}”",
    .similar = "\n\n  提示: 有相近的命令: {name}",
    .repeated = "{label} 只能给出一次",
    .no_value = "{label} 缺少值",
    .missing = "缺少参数: {list}",
    .too_few = "{label} 至少要给出 {least} 个",
    .extra = "多余的参数: {list}",
    .unknown_option = "未知选项: {list}",
    .invalid_value = "<{name}> 的值“{typed}”无效\n  [可选值: {values}]",
    .option_as_path = "{label} 缺少值（文件名确实是“{typed}”时，写成 ./{typed}）",
    .invalid_utf8 = "<{name}> 含有无效的 UTF-8",
    .did_you_mean = "；你是说 {name} 吗？",
};

namespace {

constexpr std::string_view kHelpSubcommand = "help";

// One of the texts, its fields filled in by name.
template <typename... Fields>
std::string say(std::string_view text, const Fields&... fields) {
  return fmt::format(fmt::runtime(text), fields...);
}

const CLI::App* chosen_subcommand(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  return chosen.empty() ? &app : chosen.front();
}

std::string unknown_subcommand(const CLI::App& app, const std::string& typed, const UsageTexts& texts) {
  std::string message = say(texts.unknown_subcommand, fmt::arg("typed", shown(typed)));
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (text::edit_distance(typed, sub->get_name()) <= 2) {
      return message + say(texts.similar, fmt::arg("name", sub->get_name()));
    }
  }
  return message;
}

std::string option_label(const CLI::Option& o) {
  const std::string name = o.get_snames().empty() ? "--" + o.get_lnames().front() : "-" + o.get_snames().front();
  return o.get_type_name().empty() ? name : fmt::format("{} <{}>", name, o.get_type_name());
}

// The words the parser found no place for, as it names them in its message.
std::vector<std::string> extras_of(const CLI::App& app) {
  std::vector<std::string> extras = app.remaining();
  for (const auto* sub : app.get_subcommands()) {
    const auto more = sub->remaining();
    extras.insert(extras.end(), more.begin(), more.end());
  }
  return extras;
}

bool option_like(const std::string& w) { return w.size() > 1 && w[0] == '-'; }

// "；你是说 --speed 吗？": the subcommand's option nearest to the first unknown option typed.
std::optional<std::string> typo_hint(const CLI::App& app, const UsageTexts& texts) {
  const auto extras = extras_of(app);
  const auto typed = std::find_if(extras.begin(), extras.end(), option_like);
  if (typed == extras.end() || texts.did_you_mean.empty()) return std::nullopt;
  std::vector<std::string> known;
  for (const auto* o : chosen_subcommand(app)->get_options()) {
    for (const auto& name : o->get_lnames()) known.push_back("--" + name);
  }
  const auto near = text::nearest(*typed, known);
  if (!near) return std::nullopt;
  return say(texts.did_you_mean, fmt::arg("name", *near));
}

// Rewords the parser's messages where they would be unclear to a user.
std::string error_message(const CLI::App& app, const CLI::ParseError& e, const UsageTexts& texts) {
  const std::string what = e.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    // "-t: ..." : the option is named before the colon; it was either repeated or left empty.
    const CLI::Option* o = chosen_subcommand(app)->get_option_no_throw(what.substr(0, what.find(':')));
    if (o != nullptr && !o->get_positional()) {
      return say(o->count() > 1 ? texts.repeated : texts.no_value, fmt::arg("label", option_label(*o)));
    }
    if (o != nullptr && !texts.too_few.empty()) {
      return say(texts.too_few, fmt::arg("label", fmt::format("<{}>", o->get_type_name())),
                 fmt::arg("least", o->get_items_expected_min()));
    }
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    const CLI::App* where = chosen_subcommand(app);
    if (where == &app) {
      const auto rest = app.remaining();
      return rest.empty() ? std::string(texts.no_subcommand) : unknown_subcommand(app, rest.front(), texts);
    }
    // A required option typed wrongly is missing because of the typo: name the typo.
    if (const auto hint = typo_hint(app, texts); hint && !texts.unknown_option.empty()) {
      auto extras = extras_of(app);
      std::erase_if(extras, [](const std::string& w) { return !option_like(w); });
      return say(texts.unknown_option, fmt::arg("list", fmt::join(extras, " "))) + *hint;
    }
    std::vector<std::string> missing;
    for (const auto* o : where->get_options()) {
      if (!o->get_required() || o->count() != 0) continue;
      missing.push_back(o->get_positional() ? fmt::format("<{}>", o->get_type_name()) : option_label(*o));
    }
    if (!missing.empty()) return say(texts.missing, fmt::arg("list", fmt::join(missing, " ")));
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !texts.extra.empty()) {
    const auto extras = extras_of(app);
    const bool options = std::any_of(extras.begin(), extras.end(), option_like);
    if (!extras.empty()) {
      return say(options ? texts.unknown_option : texts.extra, fmt::arg("list", fmt::join(extras, " "))) +
             typo_hint(app, texts).value_or("");
    }
  }
  if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr) {
    // The parser puts the argument's id before our message, which already names it.
    if (const auto colon = what.find(": "); colon != std::string::npos) return what.substr(colon + 2);
  }
  return what;
}

ParseStop help_requested(const CLI::App& app, const CLI::App& help, const UsageTexts& texts) {
  const CLI::Option* which = help.get_option("command");
  if (which->count() == 0) {
    // app.help() would show the help of the chosen subcommand, which is `help` itself.
    return {ParseStop::Kind::Help, app.get_formatter()->make_help(&app, "", CLI::AppFormatMode::Normal)};
  }
  const std::string name = which->as<std::string>();
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->check_name(name)) return {ParseStop::Kind::Help, sub->help(app.get_name())};
  }
  return {ParseStop::Kind::Error, rejection(app, unknown_subcommand(app, name, texts), texts)};
}

}  // namespace

std::string shown(std::string_view typed) {
  return text::decode_utf8_lossy({reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size()});
}

CLI::Validator utf8_text(std::string_view value_name, const UsageTexts& texts) {
  return {[value_name, &texts](std::string& v) {
            return text::is_valid_utf8(v) ? std::string() : say(texts.invalid_utf8, fmt::arg("name", value_name));
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

CLI::Validator one_of(std::span<const ValueText> values, std::string_view value_name, bool fold_case,
                      const UsageTexts& texts) {
  return {[values, value_name, fold_case, &texts](std::string& v) -> std::string {
            if (match_value(values, v, fold_case)) return {};
            std::vector<std::string_view> accepted;
            for (const auto& value : values) accepted.push_back(value.text);
            return say(texts.invalid_value, fmt::arg("typed", shown(v)), fmt::arg("name", value_name),
                       fmt::arg("values", fmt::join(accepted, ", ")));
          },
          ""};
}

CLI::Validator path_value(std::string_view label, const UsageTexts& texts) {
  return {[label, &texts](std::string& v) -> std::string {
            if (v.size() < 2 || v[0] != '-') return {};
            return say(texts.option_as_path, fmt::arg("label", label), fmt::arg("typed", shown(v)));
          },
          ""};
}

void add_help_subcommand(CLI::App& app, const UsageTexts& texts) {
  CLI::App* help =
      app.add_subcommand(std::string(kHelpSubcommand), "Print this message or the help of the given subcommand(s)");
  help->footer("");
  help->add_option("command")
      ->description("Print help for the subcommand")
      ->type_name("COMMAND")
      ->check(utf8_text("COMMAND", texts));
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

std::string rejection(const CLI::App& app, const std::string& message, const UsageTexts& texts) {
  const CLI::App* where = chosen_subcommand(app);
  const std::string hint =
      where == &app ? say(texts.top_hint, fmt::arg("program", app.get_name()))
                    : say(texts.sub_hint, fmt::arg("program", app.get_name()), fmt::arg("sub", where->get_name()));
  std::string usage = HelpFormatter{}.make_usage(where, where->get_name());
  if (usage.starts_with(kEnglishUsage.usage)) usage.replace(0, kEnglishUsage.usage.size(), texts.usage);
  // The message may quote what was typed, which need not be valid UTF-8.
  return shown(say(texts.rejection, fmt::arg("message", message), fmt::arg("usage", usage), fmt::arg("hint", hint)));
}

std::expected<const CLI::App*, ParseStop> parse_with(CLI::App& app, std::span<const char* const> args,
                                                     const UsageTexts& texts) {
  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::CallForHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app.help()});
  } catch (const CLI::CallForAllHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app.help()});
  } catch (const CLI::CallForVersion& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Version, std::string(e.what()) + "\n"});
  } catch (const CLI::ParseError& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Error, rejection(app, error_message(app, e, texts), texts)});
  }
  const auto chosen = app.get_subcommands();
  if (chosen.empty()) {
    return std::unexpected(ParseStop{ParseStop::Kind::Error, rejection(app, std::string(texts.no_subcommand), texts)});
  }
  if (chosen.front()->get_name() == kHelpSubcommand)
    return std::unexpected(help_requested(app, *chosen.front(), texts));
  return chosen.front();
}

}  // namespace dimmwand::cli
