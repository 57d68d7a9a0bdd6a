// What a desktop program asks of the user's session: the default browser, and the folder where a
// user keeps documents.
#pragma once

#include <expected>
#include <filesystem>
#include <string>

namespace dimmwand {

// Opens `url` in the default browser without the address on any command line, where every user
// of the machine could read it (ps, the process list): a page that sends the browser on to `url`
// is saved as `name` in a folder only this user can read, and the browser is opened on that file,
// as notebook servers do. Returns the file, to remove when the program ends, or why not.
std::expected<std::filesystem::path, std::string> open_in_browser(const std::string& url, const std::string& name);

// The user's Documents folder on Windows, the home folder elsewhere; the current folder when
// neither is known.
std::filesystem::path documents_folder();

// The page that sends a browser on to `url` (an address of plain characters).
std::string forwarding_page(const std::string& url);

}  // namespace dimmwand
