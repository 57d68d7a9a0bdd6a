// UTF-16 to and from WTF-8, for Windows' wide command line, paths and messages. WTF-8 is
// UTF-8 that also carries unpaired surrogates, so a wide text that is not valid Unicode still
// comes back unchanged, and the parser sees it as invalid UTF-8 and rejects it.
#pragma once

#include <string>
#include <string_view>

namespace dimmwand::text {

std::string wtf8_from_utf16(std::u16string_view wide);
std::u16string utf16_from_wtf8(std::string_view narrow);

}  // namespace dimmwand::text
