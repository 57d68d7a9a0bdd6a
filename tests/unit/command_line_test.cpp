#include <gtest/gtest.h>

#include <fmt/format.h>

#include <set>
#include <vector>

#include "cli/cli.hpp"
#include "text/utf8.hpp"

namespace dimmwand {
namespace {

std::expected<Cli, ParseStop> parse(std::vector<std::string> words) {
  std::vector<const char*> argv{"dimmwand"};
  for (const auto& w : words) argv.push_back(w.c_str());
  return parse_command_line(argv);
}

template <typename Record>
Record parsed(std::vector<std::string> words) {
  auto cli = parse(words);
  if (!cli) ADD_FAILURE() << cli.error().report;
  if (!cli || !std::holds_alternative<Record>(cli->command)) throw std::runtime_error("wrong record");
  return std::get<Record>(cli->command);
}

TEST(CommandLine, ReadRecords) {
  struct Case {
    std::vector<std::string> words;
    std::string port;
    DeviceType device;
    std::optional<DataMode> mode;
    std::optional<std::string> out;
  };
  for (const auto& c : std::vector<Case>{
           {{"read", "COM3", "3"}, "COM3", DeviceType::DDR3, std::nullopt, std::nullopt},
           {{"read", "com3", "4"}, "com3", DeviceType::DDR4, std::nullopt, std::nullopt},
           {{"read", "COM3", "5", "-t", "REG"}, "COM3", DeviceType::DDR5, DataMode::Reg, std::nullopt},
           {{"read", "COM3", "5", "-t", "reg"}, "COM3", DeviceType::DDR5, DataMode::Reg, std::nullopt},
           {{"read", "COM3", "5", "-t", "Reg"}, "COM3", DeviceType::DDR5, DataMode::Reg, std::nullopt},
           {{"read", "COM3", "5", "-t", "SPD"}, "COM3", DeviceType::DDR5, DataMode::Spd, std::nullopt},
           {{"read", "COM3", "3", "-t", "reg"}, "COM3", DeviceType::DDR3, DataMode::Reg, std::nullopt},
           {{"read", "COM3", "3", "-o", "spd3.bin"}, "COM3", DeviceType::DDR3, std::nullopt, "spd3.bin"},
           {{"read", "-o", "spd3.bin", "COM3", "3"}, "COM3", DeviceType::DDR3, std::nullopt, "spd3.bin"},
           {{"read", "-t", "reg", "-o", "r.bin", "/dev/ttyACM0", "5"},
            "/dev/ttyACM0",
            DeviceType::DDR5,
            DataMode::Reg,
            "r.bin"},
           {{"read", "COM3", "3", "-o", "-"}, "COM3", DeviceType::DDR3, std::nullopt, "-"},
       }) {
    const auto r = parsed<ReadArgs>(c.words);
    EXPECT_EQ(r.common.port, c.port);
    EXPECT_EQ(r.common.device, c.device);
    EXPECT_EQ(r.common.mode, c.mode);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(CommandLine, ByteAndCodeRecords) {
  for (const auto* name : {"ReadByte", "read-byte", "readbyte"}) {
    const auto r = parsed<ReadByteArgs>({name, "COM3", "5", "0003"});
    EXPECT_EQ(r.port, "COM3");
    EXPECT_EQ(r.device, DeviceType::DDR5);
    EXPECT_EQ(r.addr, 3);
  }
  for (const auto* name : {"WriteByte", "write-byte", "writebyte"}) {
    const auto w = parsed<WriteByteArgs>({name, "COM3", "5", "0003", "0007"});
    EXPECT_EQ(w.addr, 3);
    EXPECT_EQ(w.value, 7);
  }
  const auto p = parsed<WriteProtectArgs>({"write-protect", "COM3", "4", "0045"});
  EXPECT_EQ(p.device, DeviceType::DDR4);
  EXPECT_EQ(p.code, 0x45);
  const auto w = parsed<WriteArgs>({"write", "COM3", "5", "-t", "REG", "-i", "reg5.bin"});
  EXPECT_EQ(w.input, "reg5.bin");
  EXPECT_EQ(w.common.mode, DataMode::Reg);
  EXPECT_FALSE(w.verify || w.changed || w.backup);
  const auto careful =
      parsed<WriteArgs>({"write", "--backup", "b.bin", "COM3", "5", "-i", "x.bin", "--changed", "--verify"});
  EXPECT_TRUE(careful.verify && careful.changed);
  EXPECT_EQ(careful.backup, "b.bin");
  EXPECT_TRUE(parsed<ReadArgs>({"read", "COM3", "4", "--verify"}).verify);
  EXPECT_TRUE(parsed<WriteByteArgs>({"WriteByte", "COM3", "5", "3", "7", "--verify"}).verify);
  EXPECT_EQ(parsed<ReadByteArgs>({"ReadByte", "COM3", "3", " 0x+1F\u3000"}).addr, 0x1F);
  EXPECT_NO_THROW(parsed<ScanArgs>({"scan"}));
}

TEST(CommandLine, RejectionsAreErrors) {
  struct Case {
    std::vector<std::string> words;
    std::string_view in_report;  // a piece of the report that must be there
  };
  for (const auto& c : std::vector<Case>{
           {{"Readbyte", "COM3", "5", "0003"}, "unrecognized subcommand 'Readbyte'"},
           {{"READ", "COM3", "3"}, "unrecognized subcommand 'READ'"},
           {{"-t", "spd"}, "-t"},
           {{"scan", "COM3"}, "COM3"},
           {{"read", "COM3", "3", "extra"}, "extra"},
           {{"read", "COM3"}, "<DEVICE>"},
           {{"write", "COM3", "3"}, "-i <INPUT>"},
           {{"write", "COM3", "3", "-i", "a.bin", "-i", "b.bin"}, "cannot be used multiple times"},
           {{"write", "COM3", "3", "-i", "a", "--backup", "b", "--backup", "c"},
            "'--backup <FILE>' cannot be used multiple times"},
           {{"write", "COM3", "3", "-i", "a", "--backup", "--verify"}, "a value is required for '--backup <FILE>'"},
           {{"ReadByte", "COM3", "3", "0", "--verify"}, "--verify"},
           {{"WriteByte", "COM3", "5", "0003"}, "<VALUE>"},
           {{"ReadByte", "COM3", "5", "0003", "-t", "spd"}, "-t"},
           {{"read", "COM3", "3", "-t"}, "a value is required for '-t <MODE>'"},
           {{"read", "COM3", "3", "-o"}, "a value is required for '-o <OUT>'"},
           {{"read", "COM3", "3", "-o", "-t", "spd"}, "a value is required for '-o <OUT>'"},
           {{"write", "COM3", "3", "-i", "-t", "spd"}, "a value is required for '-i <INPUT>'"},
           {{"read", "COM3", "5", "-t", "ddr5"}, "[possible values: spd, reg]"},
           {{"read", "COM3", "5", "-t", "1"}, "invalid value '1' for '<MODE>'"},
           {{"read", "COM3", "03"}, "[possible values: 3, 4, 5]"},
           {{"read", "COM3", "DDR3"}, "invalid value 'DDR3' for '<DEVICE>'"},
           {{"read", "COM3", "6"}, "invalid value '6'"},
           {{"read", "COM3", " 3"}, "invalid value ' 3'"},
           {{"ReadByte", "COM3", "5", "12G4"}, "'<ADDR>': 无效十六进制: 12G4"},
           {{"ReadByte", "COM3", "5", " 12G4 "}, "无效十六进制:  12G4 "},
           {{"ReadByte", "COM3", "5", "10000"}, "无效十六进制: 10000"},
           {{"WriteByte", "COM3", "5", "0", "100"}, "'<VALUE>': 无效十六进制: 100"},
           {{"write-protect", "COM3", "5", "+0x1F"}, "'<CODE>': 无效十六进制: +0x1F"},
           {{"read", "\xFF", "3"}, "invalid UTF-8 was detected in '<PORT>'"},
           {{"read", "COM3", "\xFF"}, "invalid value '\uFFFD' for '<DEVICE>'"},
           {{"read", "COM3", "3", "-t", "\xC3"}, "invalid value '\uFFFD' for '<MODE>'"},
           {{"ReadByte", "COM3", "5", "\xFF"}, "invalid UTF-8 was detected in '<ADDR>'"},
           {{"help", "nothing"}, "unrecognized subcommand 'nothing'"},
       }) {
    const auto r = parse(c.words);
    ASSERT_FALSE(r.has_value()) << c.words.front();
    EXPECT_EQ(r.error().kind, ParseStop::Kind::Error) << c.words.front();
    EXPECT_NE(r.error().report.find(c.in_report), std::string::npos) << r.error().report;
  }
}

TEST(CommandLine, FilePathsAreTakenAsTheSystemDeliversThem) {
  EXPECT_EQ(parsed<ReadArgs>({"read", "COM3", "3", "-o", "\xFF.bin"}).out, "\xFF.bin");
  EXPECT_EQ(parsed<WriteArgs>({"write", "COM3", "3", "-i", "\xFF.bin"}).input, "\xFF.bin");
}

constexpr std::string_view kExamples =
    "\n示例:\n"
    "  dimmwand scan                                //搜索设备\n"
    "  dimmwand read COM3 3                         //读取SPD数据\n"
    "  dimmwand read COM3 3 -o spd3.bin             //保存SPD数据到文件\n"
    "  dimmwand read COM3 5 -t REG -o reg5.bin      //读取DDR5 REG 数据\n"
    "  dimmwand write COM3 3 -i spd3.bin            //写入SPD数据\n"
    "  dimmwand write COM3 5 -t REG -i reg5.bin     //写入DDR5 REG 数据\n"
    "  dimmwand ReadByte COM3 5 0003                //读取单个字节\n"
    "  dimmwand WriteByte COM3 5 0003 0007          //写入单个字节\n"
    "  dimmwand write-protect COM3 4 0045           //设置写保护码\n"
    "  dimmwand write-protect COM3 5 2255           //设置写保护码\n";

// Every kind of record has exactly one row to run it, whatever the order of the table.
TEST(CommandLine, EachRecordKindHasOneHandler) {
  std::set<std::size_t> handled;
  for (const auto& sub : kSubcommands) EXPECT_TRUE(handled.insert(sub.handler.alternative).second) << sub.name;
  EXPECT_EQ(handled.size(), std::variant_size_v<Commands>);
}

TEST(CommandLine, TopLevelHelpListsCommandsInOrderAndEndsWithTheExamples) {
  const std::string help = top_level_help();
  EXPECT_EQ(help.rfind("DDR3/4/5 SPD/REG 串口读写\n\n", 0), 0u);
  ASSERT_GE(help.size(), kExamples.size());
  EXPECT_EQ(help.substr(help.size() - kExamples.size()), kExamples);
  EXPECT_EQ(help.substr(help.size() - kExamples.size() - 1, 2), "\n\n");  // one empty line before
  std::size_t at = 0;
  for (const auto& sub : kSubcommands) {
    const auto line = help.find(fmt::format("\n  {} ", sub.name), at);
    ASSERT_NE(line, std::string::npos) << sub.name;
    const auto eol = help.find('\n', line + 1);
    EXPECT_TRUE(help.substr(line, eol - line).ends_with(sub.about)) << sub.name;
    at = eol;
  }
  // The about texts start in one terminal column although some names are short and the texts wide.
  std::set<std::size_t> columns;
  for (const auto& sub : kSubcommands) {
    const auto about = help.find(sub.about);
    const auto line = help.rfind('\n', about) + 1;
    columns.insert(text::display_width(help.substr(line, about - line)));
  }
  EXPECT_EQ(columns.size(), 1u);
  for (const auto* alias : {"read-byte", "readbyte", "write-byte", "writebyte"}) {
    EXPECT_EQ(help.find(alias), std::string::npos) << alias;
  }
}

TEST(CommandLine, SubcommandHelpShowsValuesAndNoExamples) {
  const auto r = parse({"read", "--help"});
  ASSERT_FALSE(r);
  ASSERT_EQ(r.error().kind, ParseStop::Kind::Help);
  const std::string& help = r.error().report;
  EXPECT_EQ(help.rfind("读取数据，-o 保存文件，缺省打印十六进制\n", 0), 0u);
  for (const auto* piece : {"<PORT>    串口号，如 COM3\n", "<DEVICE>  DDR 类型: 3 | 4 | 5\n", "- 3: DDR3\n",
                            "- 5: DDR5\n", "数据模式（仅 D5 可用，缺省 SPD）\n", "- spd: SPD 数据区\n",
                            "- reg: REG 数据区（仅 DDR5）\n", "输出二进制文件\n"}) {
    EXPECT_NE(help.find(piece), std::string::npos) << piece;
  }
  EXPECT_EQ(help.find("示例"), std::string::npos);
  EXPECT_EQ(help.find("DDR3/4/5 SPD/REG"), std::string::npos);
}

}  // namespace
}  // namespace dimmwand
