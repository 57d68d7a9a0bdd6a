#include <span>

#include "platform/console.hpp"
#include "dispatch.hpp"

int main(int argc, char** argv) {
  auto args = dimmwand::prepare_console(argc, argv);
  return dimmwand::run_entry(args.view());
}
