// Listing the serial ports present on Windows, from the registry's serial map, which every
// serial driver (USB adapters and virtual ports included) fills in while its port is present;
// the details come from the device information of the Ports class (SetupAPI): the friendly
// name, the maker, and the USB identity in the hardware and instance ids.
#include "platform/port_list.hpp"
#include "platform/win32_system.hpp"

#include <devguid.h>
#include <setupapi.h>

#include <cwchar>
#include <map>

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

namespace {

std::wstring registry_property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[1024] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                         sizeof buffer - sizeof(wchar_t), nullptr)) {
    return {};
  }
  return buffer;  // a REG_MULTI_SZ gives its first string
}

// "USB\VID_1A86&PID_7523&REV_0264" or "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000".
std::optional<std::uint16_t> id_after(const std::wstring& text, const wchar_t* tag) {
  const auto at = text.find(tag);
  if (at == std::wstring::npos || at + 8 > text.size()) return std::nullopt;
  return static_cast<std::uint16_t>(std::wcstoul(text.substr(at + 4, 4).c_str(), nullptr, 16));
}

std::map<std::string, PortDetails> ports_class_devices() {
  std::map<std::string, PortDetails> found;
  const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return found;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[64] = {};
    DWORD size = sizeof port - sizeof(wchar_t);
    const bool named =
        RegQueryValueExW(key, L"PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(port), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!named) continue;
    PortDetails d;
    d.name = win32::narrow(port);
    d.description = win32::narrow(registry_property(set, device, SPDRP_FRIENDLYNAME));
    d.manufacturer = win32::narrow(registry_property(set, device, SPDRP_MFG));
    const std::wstring hardware = registry_property(set, device, SPDRP_HARDWAREID);
    d.vid = id_after(hardware, L"VID_");
    d.pid = id_after(hardware, L"PID_");
    wchar_t instance[512] = {};
    if (SetupDiGetDeviceInstanceIdW(set, &device, instance, 511, nullptr)) {
      const std::wstring id = instance;
      // A USB device with a serial number is known by it; Windows makes up one with '&' otherwise.
      const auto last = id.rfind(L'\\');
      if (id.starts_with(L"USB\\") && last != std::wstring::npos && id.find(L'&', last) == std::wstring::npos) {
        d.serial_number = win32::narrow(id.substr(last + 1));
      }
    }
    if (d.vid)
      d.transport = "USB";
    else if (hardware.starts_with(L"BTHENUM"))
      d.transport = "蓝牙";
    else if (hardware.starts_with(L"ACPI"))
      d.transport = "板载";
    found[d.name] = std::move(d);
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

}  // namespace

std::expected<std::vector<PortDetails>, std::string> list_serial_port_details() {
  auto names = list_serial_ports();
  if (!names) return std::unexpected(std::move(names.error()));
  auto devices = ports_class_devices();
  std::vector<PortDetails> details;
  for (auto& name : *names) {
    if (const auto it = devices.find(name); it != devices.end()) {
      details.push_back(std::move(it->second));
    } else {
      details.push_back({std::move(name), {}, {}, {}, {}, {}, {}});
    }
  }
  return details;
}

}  // namespace dimmwand
