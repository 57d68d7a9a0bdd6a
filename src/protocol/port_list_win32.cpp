// Listing the serial ports present on Windows, from the registry's serial map, which every
// serial driver (USB adapters and virtual ports included) fills in while its port is present.
#include "protocol/serial_port.hpp"
#include "win32/system.hpp"

namespace dimmwand {

std::expected<std::vector<std::string>, std::string> list_serial_ports() {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};  // no port ever present
  if (opened != ERROR_SUCCESS) return std::unexpected(win32::system_message(static_cast<DWORD>(opened)));
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[256];
    DWORD value_name_size = 256;
    wchar_t data[256];
    DWORD data_size = sizeof data;
    DWORD type = 0;
    const LONG rc = RegEnumValueW(key, index, value_name, &value_name_size, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &data_size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) continue;  // not a port name
    if (rc != ERROR_SUCCESS) {
      RegCloseKey(key);
      return std::unexpected(win32::system_message(static_cast<DWORD>(rc)));
    }
    if (type != REG_SZ) continue;
    std::size_t chars = data_size / sizeof(wchar_t);
    while (chars > 0 && data[chars - 1] == L'\0') --chars;
    names.push_back(win32::narrow({data, chars}));
  }
  RegCloseKey(key);
  return names;
}

}  // namespace dimmwand
