#include "server.hpp"

#include <httplib.h>

#include <fmt/format.h>

#include "commands/hex_dump.hpp"
#include "image_api.hpp"

namespace dimmwand::ui {
namespace {

constexpr std::size_t kLargestBody = 64 * 1024;

const char* kJson = "application/json; charset=utf-8";

void refuse(httplib::Response& res, const std::string& why) {
  res.status = 403;
  res.set_content(
      fmt::format("<!doctype html><meta charset=\"utf-8\"><title>403</title><h1>403 禁止访问</h1><p>{}</p>", why),
      "text/html; charset=utf-8");
}

void answer(httplib::Response& res, const Json& j) {
  res.set_header("Cache-Control", "no-store");
  res.set_content(dump(j), kJson);
}

// The body as JSON; nullopt (and the answer said) when it is not an object.
std::optional<Json> body_json(const httplib::Request& req, httplib::Response& res) {
  auto j = Json::parse(req.body, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    res.status = 400;
    answer(res, Json{{"error", "请求不是 JSON 对象"}});
    return std::nullopt;
  }
  return j;
}

std::string text_of(const Json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

unsigned number_of(const Json& j, const char* key, unsigned fallback) {
  const auto it = j.find(key);
  if (it != j.end() && it->is_number_unsigned()) return it->get<unsigned>();
  if (it != j.end() && it->is_string()) {
    const auto s = it->get<std::string>();
    if (s.size() == 1 && s[0] >= '0' && s[0] <= '9') return static_cast<unsigned>(s[0] - '0');
  }
  return fallback;
}

std::optional<Bytes> image_of(const Json& j, const char* key, httplib::Response& res) {
  Bytes out;
  if (!from_hex(text_of(j, key), out) || out.empty()) {
    res.status = 400;
    answer(res, Json{{"error", "映像不是十六进制字节"}});
    return std::nullopt;
  }
  return out;
}

Target target_of(const Json& j) {
  return Target{text_of(j, "port"), number_of(j, "generation", 0),
                text_of(j, "area").empty() ? "spd" : text_of(j, "area")};
}

std::optional<std::string> header_of(const httplib::Request& req, const char* name) {
  if (!req.has_header(name)) return std::nullopt;
  return req.get_header_value(name);
}

}  // namespace

void install_routes(httplib::Server& server, const Workbench& wb) {
  server.set_payload_max_length(kLargestBody);
  // The library watches a kept-alive connection by polling it: the page's connections are let go
  // after a second, so that an idle server uses no processor time.
  server.set_keep_alive_timeout(1);
  server.set_pre_routing_handler([&wb](const httplib::Request& req, httplib::Response& res) {
    if (!wb.door.host_allowed(req.get_header_value("Host"))) {
      refuse(res, "主机名不是 127.0.0.1 或 localhost");
      return httplib::Server::HandlerResponse::Handled;
    }
    const Presented p{req.has_param("token") ? std::optional(req.get_param_value("token")) : std::nullopt,
                      header_of(req, "X-Dimmwand-Token"), header_of(req, "Cookie")};
    if (!admitted(wb.door, p)) {
      refuse(res, "缺少或错误的令牌：请打开 dimmwand-ui 启动时打印的地址");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && !wb.door.origin_allowed(req.get_header_value("Origin"))) {
      refuse(res, "请求不是来自本工作台的页面");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "POST") {
      refuse(res, "不支持的请求方法");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get(R"(/([a-z0-9_.-]*))", [&wb](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1].str().empty() ? "index.html" : req.matches[1].str();
    const PageFile* f = page_file(name);
    if (f == nullptr) {
      res.status = 404;
      return;
    }
    if (req.has_param("token")) {
      res.set_header("Set-Cookie",
                     fmt::format("{}={}; Path=/; HttpOnly; SameSite=Strict", wb.door.cookie_name(), wb.door.token));
    }
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; style-src 'self'");
    res.set_content(reinterpret_cast<const char*>(f->data), f->size, f->type);
  });

  server.Get("/api/start", [&wb](const httplib::Request&, httplib::Response& res) {
    Json files = Json::array();
    for (const auto& [name, bytes] : wb.files) files.push_back({{"name", name}, {"image", to_hex(bytes)}});
    answer(res, Json{{"files", files}, {"programmer", wb.programmer}, {"backup_dir", wb.backup_dir.string()}});
  });
  server.Post("/api/open", [](const httplib::Request& req, httplib::Response& res) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(req.body.data());
    answer(res, open_upload(std::span(data, req.body.size())));
  });
  server.Post("/api/analyse", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto image = image_of(*j, "image", res)) answer(res, analyse(*image));
  });
  server.Post("/api/edit", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto image = image_of(*j, "image", res)) answer(res, edit(*image, *j));
  });
  server.Post("/api/compare", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    const auto a = image_of(*j, "a", res);
    if (!a) return;
    if (const auto b = image_of(*j, "b", res)) answer(res, compare(*a, *b));
  });
  server.Post("/api/textdump", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto image = image_of(*j, "image", res)) answer(res, Json{{"text", format_hex_dump(*image)}});
  });
  server.Post("/api/kit", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    std::vector<std::pair<std::string, Bytes>> images;
    const auto list = j->find("images");
    if (list == j->end() || !list->is_array()) return answer(res, Json{{"error", "没有映像"}});
    for (const auto& item : *list) {
      if (!item.is_object()) return answer(res, Json{{"error", "没有映像"}});
      const auto image = image_of(item, "image", res);
      if (!image) return;
      images.emplace_back(text_of(item, "name"), *image);
    }
    answer(res, kit(images));
  });
  server.Get("/api/ports", [](const httplib::Request&, httplib::Response& res) { answer(res, Bench::ports()); });
  server.Get("/api/status",
             [&wb](const httplib::Request&, httplib::Response& res) { answer(res, wb.bench->status()); });
  server.Post("/api/checks", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto image = image_of(*j, "image", res)) answer(res, Bench::checks(target_of(*j), *image));
  });
  server.Post("/api/protection", [](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto regs = image_of(*j, "registers", res)) answer(res, Bench::protection(*regs));
  });
  server.Post("/api/read", [&wb](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (j) answer(res, wb.bench->start_read(target_of(*j)));
  });
  server.Post("/api/write", [&wb](const httplib::Request& req, httplib::Response& res) {
    const auto j = body_json(req, res);
    if (!j) return;
    if (const auto image = image_of(*j, "image", res)) answer(res, wb.bench->start_write(target_of(*j), *image));
  });
  server.Post("/api/restore",
              [&wb](const httplib::Request&, httplib::Response& res) { answer(res, wb.bench->start_restore()); });
}

}  // namespace dimmwand::ui
