// Builds one visitor out of several lambdas, for std::visit.
#pragma once

namespace dimmwand {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

}  // namespace dimmwand
