// What a desktop program asks of the user's session: the default browser, and the folder where a
// user keeps documents.
#pragma once

#include <filesystem>
#include <string>

namespace dimmwand {

// Opens `url` in the default browser (xdg-open on Linux, the shell on Windows) without waiting
// for it; false when nothing could be started.
bool open_in_browser(const std::string& url);

// The user's Documents folder on Windows, the home folder elsewhere; the current folder when
// neither is known.
std::filesystem::path documents_folder();

}  // namespace dimmwand
