// Answer reception and decoding: bytes equal the reference's digit pairs; the text is valid
// UTF-8 without white space at its ends; and the reception, fed the answer in pieces, stops
// exactly after the piece that holds the first line feed, or after the last piece that arrives
// before its deadline.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>

#include "protocol/reception.hpp"
#include "reference.hpp"
#include "text/utf8.hpp"

using namespace dimmwand;

namespace {

class PiecesPort final : public SerialPort {
 public:
  PiecesPort(std::deque<std::string> pieces, std::chrono::steady_clock::time_point& clock)
      : pieces_(std::move(pieces)), clock_(clock) {}
  std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) override {
    if (pieces_.empty()) {
      clock_ += kLineTimeout;
      return 0;
    }
    clock_ += std::chrono::milliseconds(1);
    std::string piece = pieces_.front();
    pieces_.pop_front();
    const std::size_t n = std::min(piece.size(), buffer.size());
    std::copy_n(piece.begin(), n, buffer.begin());
    if (n < piece.size()) pieces_.push_front(piece.substr(n));
    return n;
  }
  std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> b) override { return b.size(); }
  void discard_input() override {}

 private:
  std::deque<std::string> pieces_;
  std::chrono::steady_clock::time_point& clock_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the piece size; the rest is the answer.
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);

  if (decode_hex_digits(bytes) != fuzz::answer_bytes(answer)) std::abort();

  const std::string text = decode_answer_text(bytes);
  if (!text::is_valid_utf8(text)) std::abort();
  const std::u32string points = fuzz::code_points(text);
  if (!points.empty() && (fuzz::white_space(points.front()) || fuzz::white_space(points.back()))) std::abort();
  if (text::is_valid_utf8(answer) && points != fuzz::trimmed(fuzz::code_points(answer))) std::abort();

  std::deque<std::string> pieces;
  for (std::size_t at = 0; at < answer.size(); at += piece) pieces.emplace_back(answer.substr(at, piece));
  std::chrono::steady_clock::time_point clock{};
  SerialLink link(std::make_unique<PiecesPort>(pieces, clock), LinkHooks{[&clock] { return clock; }});
  const auto raw = receive_raw(link);
  std::size_t expected = answer.size();
  if (const auto lf = answer.find('\n'); lf != std::string_view::npos) {
    expected = std::min(answer.size(), (lf / piece + 1) * piece);  // through the piece holding it
  }
  // Each piece takes a millisecond: the pieces that start by the deadline are read, no more.
  const auto pieces_in_time = static_cast<std::size_t>(std::chrono::milliseconds(kAnswerDeadline).count()) + 1;
  expected = std::min({expected, pieces_in_time * piece, kAnswerLimit});
  if (answer.empty()) {
    if (raw || !std::holds_alternative<NoResponse>(raw.error().kind())) std::abort();
  } else if (!raw ||
             std::string_view(reinterpret_cast<const char*>(raw->data()), raw->size()) != answer.substr(0, expected)) {
    std::abort();
  }
  return 0;
}
