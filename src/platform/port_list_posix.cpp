// Listing the serial ports present, through libserialport.
#include <libserialport.h>

#include <memory>

#include "platform/port_list.hpp"
#include "platform/system_error.hpp"

namespace dimmwand {
namespace {

using PortList = std::unique_ptr<sp_port*, decltype(&sp_free_port_list)>;

std::expected<PortList, std::string> ports_present() {
  sp_port** ports = nullptr;
  if (const sp_return rc = sp_list_ports(&ports); rc != SP_OK) {
    if (rc != SP_ERR_FAIL) return std::unexpected(rc == SP_ERR_MEM ? "内存不足" : "这个系统上无法列出串口");
    // The system's error, as libserialport kept it.
    char* message = sp_last_error_message();
    std::string reason = errno_text(sp_last_error_code(), message != nullptr ? message : "");
    sp_free_error_message(message);
    return std::unexpected(std::move(reason));
  }
  return PortList(ports, &sp_free_port_list);
}

std::string text(const char* s) { return s != nullptr ? s : ""; }

}  // namespace

std::expected<std::vector<std::string>, std::string> list_serial_ports() {
  auto ports = ports_present();
  if (!ports) return std::unexpected(std::move(ports.error()));
  std::vector<std::string> names;
  for (sp_port** p = ports->get(); *p != nullptr; ++p) names.emplace_back(sp_get_port_name(*p));
  return names;
}

std::expected<std::vector<PortDetails>, std::string> list_serial_port_details() {
  auto ports = ports_present();
  if (!ports) return std::unexpected(std::move(ports.error()));
  std::vector<PortDetails> details;
  for (sp_port** p = ports->get(); *p != nullptr; ++p) {
    PortDetails d{text(sp_get_port_name(*p)), text(sp_get_port_description(*p)), {}, {}, {}, {}, {}};
    switch (sp_get_port_transport(*p)) {
      case SP_TRANSPORT_USB: {
        d.transport = "USB";
        int vid = 0;
        int pid = 0;
        if (sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
          d.vid = static_cast<std::uint16_t>(vid);
          d.pid = static_cast<std::uint16_t>(pid);
        }
        d.serial_number = text(sp_get_port_usb_serial(*p));
        d.manufacturer = text(sp_get_port_usb_manufacturer(*p));
        break;
      }
      case SP_TRANSPORT_BLUETOOTH:
        d.transport = "蓝牙";
        break;
      case SP_TRANSPORT_NATIVE:
        d.transport = "板载";
        break;
    }
    details.push_back(std::move(d));
  }
  return details;
}

}  // namespace dimmwand
