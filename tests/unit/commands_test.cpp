// The commands run whole against the programmer model: what goes on the line, when, and what is
// said; the write plan on its own.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "commands/commands.hpp"
#include "commands/write_plan.hpp"
#include "programmer_port.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {
namespace {

using testing::Bench;
using testing::faults;
using testing::TempFile;
using testing::write_args;
using Bytes = std::vector<std::uint8_t>;

Bytes hub_registers(std::uint8_t mr12) {
  Bytes r = emu::default_areas().reg5;
  r[12] = mr12;
  return r;
}

TEST(WritePlan, WhichBytesGoOutAndWhatIsRefused) {
  const Bytes image{1, 2, 3};
  Bytes ddr5(1024, 0);
  ddr5[0x1FE] = 0x11;
  struct Case {
    Bytes image;
    std::optional<Bytes> current, registers;
    std::vector<std::uint16_t> addresses;
    std::string refusal_or_notice;
  };
  for (const auto& c : std::vector<Case>{
           {image, std::nullopt, std::nullopt, {0, 1, 2}, ""},
           {image, Bytes{1, 9, 3}, std::nullopt, {1}, ""},
           {image, image, std::nullopt, {}, ""},
           {ddr5, Bytes(1024, 0), hub_registers(0x7F), {0x1FE}, ""},  // blocks 0-6 protected, block 7 not
           {ddr5, Bytes(1024, 0), hub_registers(0x80), {}, "块 7 受写保护（MR12=80 MR13=00），未写入任何字节"},
           {ddr5, Bytes(1024, 0), Bytes(128, 0), {0x1FE}, "REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = 00 00）"},
       }) {
    const auto plan = plan_write(c.image, c.current, c.registers);
    if (!plan) {
      EXPECT_TRUE(plan.error().display().starts_with(c.refusal_or_notice)) << plan.error().display();
      EXPECT_TRUE(c.addresses.empty());
      continue;
    }
    EXPECT_EQ(plan->addresses, c.addresses);
    EXPECT_EQ(plan->unchanged, c.image.size() - c.addresses.size());
    EXPECT_EQ(plan->notice.value_or("").starts_with(c.refusal_or_notice), true) << plan->notice.value_or("");
  }
}

TEST(Write, EveryFrameIsFollowedByTheWholePauseAndTheModuleHoldsTheImage) {
  Bench bench;
  const Bytes image{0x23, 0x11, 0x0C, 0xA3, 0xA4};  // a DDR4 SPD begins so
  TempFile input("pacing.bin", image);
  ASSERT_TRUE(run_write(write_args(DeviceType::DDR4, input.path), bench.context()));
  const auto writes = bench.frames(CommandCode::WriteByte);
  ASSERT_EQ(writes.size(), image.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].bytes[5], i);
    if (i > 0) {
      EXPECT_GE(writes[i].at - writes[i - 1].at, std::chrono::milliseconds(7));
    }
  }
  EXPECT_EQ(Bytes(bench.programmer.areas().spd4.begin(), bench.programmer.areas().spd4.begin() + 5), image);
  EXPECT_EQ(bench.output.out_text, "完成\n");
  EXPECT_EQ(bench.output.err_text, "写入中 5 字节 ... ");
}

TEST(Write, CarefulOutcomes) {
  Bytes fixed = emu::default_areas().spd5;
  fixed[0x1FE] ^= 0xFF;  // as a checksum repair changes it
  fixed[0x1FF] ^= 0xFF;
  TempFile input("careful.bin", fixed);
  struct Case {
    std::string name;
    emu::Areas areas;
    emu::Faults faults;
    bool changed, verify, backup;
    std::size_t cancel_after;  // frames
    std::vector<std::uint16_t> writes;
    std::string error;  // the start of it; empty: success
  };
  auto locked = emu::default_areas();
  locked.reg5[12] = 0x80;
  for (const auto& c : std::vector<Case>{
           {"changed and verified",
            emu::default_areas(),
            emu::Faults(),
            true,
            true,
            false,
            SIZE_MAX,
            {0x1FE, 0x1FF},
            ""},
           {"a protected block", locked, emu::Faults(), true, true, false, SIZE_MAX, {}, "块 7 受写保护"},
           {"a lost frame",
            emu::default_areas(),
            faults([](auto& f) { f.lost_writes = {0x1FF}; }),
            true,
            true,
            false,
            SIZE_MAX,
            {0x1FE, 0x1FF},
            "校验失败: 共 1 字节不符，首个在地址 01FF"},
           // REG read, the backup's two reads, one write: then Ctrl-C.
           {"interrupted",
            emu::default_areas(),
            emu::Faults(),
            false,
            false,
            true,
            4,
            {0},
            "已中断: 已写入 1 / 1024 字节\n写入前的内容已备份在 "},
       }) {
    Bench bench(c.areas, c.faults);
    bench.cancel_after = c.cancel_after;
    TempFile backup("backup.bin");
    WriteArgs args = write_args(DeviceType::DDR5, input.path);
    args.verify = c.verify;
    args.changed = c.changed;
    if (c.backup) args.backup = backup.path;
    const auto r = run_write(args, bench.context());
    std::vector<std::uint16_t> writes;
    for (const auto& f : bench.frames(CommandCode::WriteByte))
      writes.push_back(static_cast<std::uint16_t>(f.bytes[4] << 8 | f.bytes[5]));
    EXPECT_EQ(writes, c.writes) << c.name;
    EXPECT_EQ(r.has_value(), c.error.empty()) << c.name;
    if (!r) {
      EXPECT_TRUE(r.error().display().starts_with(c.error)) << c.name << ": " << r.error().display();
    }
  }
}

TEST(Read, TwoAnswersThatDifferAreAnErrorAndNothingIsPrinted) {
  Bench flaky(emu::default_areas(), faults([](auto& f) { f.flaky_every = 2; }));
  const auto r = run_read({{"P", DeviceType::DDR3, std::nullopt}, std::nullopt, true}, flaky.context());
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with("两次读取不一致: 共 1 字节不同")) << r.error().display();
  EXPECT_EQ(flaky.output.out_text, "");
  Bench steady;
  ASSERT_TRUE(run_read({{"P", DeviceType::DDR3, std::nullopt}, std::nullopt, true}, steady.context()));
  EXPECT_TRUE(steady.output.out_text.starts_with("000000  92 13 0B 02")) << steady.output.out_text;
}

// A frame follows the last one 7 ms after it was written, and no sooner than the EEPROM's write
// cycle after it left the port; what the front end does between (drawing its progress) takes
// nothing from either.
TEST(Write, ThePauseCountsFromTheFrameWrittenAndFromTheFrameGone) {
  // A front end whose progress takes 3 ms to draw.
  struct SlowProgress final : Output {
    explicit SlowProgress(testing::FakeClock& c) : clock(c) {}
    void out(std::string_view) override {}
    void err(std::string_view) override {}
    void progress(std::size_t, std::size_t) override { clock.now += std::chrono::milliseconds(3); }
    testing::FakeClock& clock;
  };
  struct Case {
    std::chrono::microseconds drain;
    std::chrono::microseconds gap;
  };
  for (const auto& c : std::vector<Case>{{std::chrono::microseconds(0), std::chrono::microseconds(7000)},
                                         {std::chrono::microseconds(780), std::chrono::microseconds(7000)},
                                         {std::chrono::microseconds(4000), std::chrono::microseconds(9000)}}) {
    Bench bench;
    bench.drain_time = c.drain;
    const Bytes image{0x23, 0x11, 0x0C, 0x02, 0x85, 0x21};
    TempFile input("pause.bin", image);
    SlowProgress slow(bench.clock);
    const Context ctx = bench.context();
    ASSERT_TRUE(run_write(write_args(DeviceType::DDR4, input.path), Context{ctx.open_link, ctx.pause, slow}));
    const auto writes = bench.frames(CommandCode::WriteByte);
    ASSERT_EQ(writes.size(), image.size());
    for (std::size_t i = 1; i < writes.size(); ++i) {
      EXPECT_EQ(writes[i].at - writes[i - 1].at, c.gap) << "drain " << c.drain.count() << " us, frame " << i;
    }
  }
}

// A programmer that never answers: every command that waits for an answer gives up after the
// deadline (on the fake clock: no test waits it out) and says so; nothing is printed or saved.
TEST(Silence, EveryWaitEndsInNoResponse) {
  const Bytes image(256, 0x1F);  // not text (a text file is never written), no memory type in byte 2
  TempFile input("silent-image.bin", image);
  TempFile out("silent-out.bin", Bytes{1, 2, 3});
  struct Case {
    std::string name;
    std::function<Result<>(const Context&)> run;
    std::string error;
  };
  for (const auto& c : std::vector<Case>{
           {"ReadByte", [](const Context& ctx) { return run_read_byte({"P", DeviceType::DDR5, 3}, ctx); }, "无响应"},
           {"WriteByte", [](const Context& ctx) { return run_write_byte({"P", DeviceType::DDR5, 3, 7, false}, ctx); },
            "无响应"},
           {"write-protect", [](const Context& ctx) { return run_write_protect({"P", DeviceType::DDR5, 0x2255}, ctx); },
            "无响应"},
           {"read -o",
            [&](const Context& ctx) {
              ReadArgs args;
              args.common = {"P", DeviceType::DDR3, std::nullopt};
              args.out = out.path;
              return run_read(args, ctx);
            },
            "无响应"},
           {"write --verify",
            [&](const Context& ctx) {
              auto args = write_args(DeviceType::DDR3, input.path);
              args.verify = true;
              return run_write(args, ctx);
            },
            "无响应\n已写入 256 / 256 字节，未校验"},
       }) {
    Bench bench;
    bench.silent = true;
    const auto started = bench.clock.now;
    const auto r = c.run(bench.context());
    ASSERT_FALSE(r) << c.name;
    EXPECT_EQ(r.error().display(), c.error) << c.name;
    EXPECT_GE(bench.clock.now - started, kAnswerDeadline) << c.name;
    EXPECT_EQ(bench.output.out_text, c.name == "write --verify" ? "完成\n" : "") << c.name;
  }
  EXPECT_EQ(std::ifstream(out.path, std::ios::binary).get(), 1);  // the file read -o names is untouched
}

TEST(ByteCommands, AnswersAndRefusals) {
  Bench bench(emu::default_areas(), faults([](auto& f) { f.protected_ranges = {{0x10, 0x10}}; }));
  ASSERT_TRUE(run_read_byte({"P", DeviceType::DDR4, 2}, bench.context()));
  ASSERT_TRUE(run_write_byte({"P", DeviceType::DDR4, 3, 0x42, true}, bench.context()));
  const auto refused = run_write_byte({"P", DeviceType::DDR4, 0x10, 0x42, true}, bench.context());
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().display(), "器件返回 0：写入失败");
  EXPECT_EQ(bench.output.out_text, "0C\n1\n校验通过\n0\n");
  ASSERT_TRUE(run_write_protect({"P", DeviceType::DDR5, 0x2255}, bench.context()));
  EXPECT_TRUE(bench.output.out_text.ends_with("设备返回: OK\n"));
}

}  // namespace
}  // namespace dimmwand
