#include "server.hpp"

#include <httplib.h>

#include <fmt/format.h>

#include "commands/hex_dump.hpp"
#include "image_api.hpp"

namespace dimmwand::ui {
namespace {

constexpr std::size_t kLargestBody = 64 * 1024;

const char* kJson = "application/json; charset=utf-8";

// On every answer: no page of another site may frame this one (a page on another port of
// 127.0.0.1 is the same site, and the cookie would go with it), the page runs only its own
// scripts, and the address with the token is never sent on.
const httplib::Headers kGuardHeaders{
    {"X-Frame-Options", "DENY"},
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
     "frame-ancestors 'none'; base-uri 'none'; form-action 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

void refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(fmt::format("<!doctype html><meta charset=\"utf-8\"><title>{0}</title><h1>{0} {1}</h1><p>{2}</p>",
                              status, status == 403 ? "禁止访问" : "请求被拒绝", why),
                  "text/html; charset=utf-8");
}

void answer(httplib::Response& res, const Json& j) { res.set_content(dump(j), kJson); }

void bad_request(httplib::Response& res, const std::string& why) {
  res.status = 400;
  answer(res, Json{{"error", why}});
}

std::string text_of(const Json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A field the request must carry with this JSON type; the answer said when it does not.
bool has(const Json& j, const char* key, Json::value_t type, httplib::Response& res, const char* what) {
  const auto it = j.find(key);
  const bool number = type == Json::value_t::number_unsigned && it != j.end() && it->is_number_integer();
  if (it != j.end() && (it->type() == type || number)) return true;
  bad_request(res, fmt::format("请求中的 {} 应为{}", key, what));
  return false;
}

std::optional<Bytes> image_of(const Json& j, const char* key, httplib::Response& res) {
  Bytes out;
  if (!from_hex(text_of(j, key), out) || out.empty()) {
    bad_request(res, "映像不是十六进制字节");
    return std::nullopt;
  }
  return out;
}

// The programmer's target: a port (text), a generation (3, 4 or 5, as a number or a digit) and an
// area ("spd" or "reg"; absent: spd). A wrong type is refused, never taken as something else.
std::optional<Target> target_of(const Json& j, httplib::Response& res) {
  Target t{text_of(j, "port"), 0, j.contains("area") ? text_of(j, "area") : "spd"};
  const auto g = j.find("generation");
  if (g != j.end() && g->is_number_unsigned() && g->get<std::uint64_t>() <= 9) {
    t.generation = g->get<unsigned>();
  } else if (g != j.end() && g->is_string() && g->get_ref<const std::string&>().size() == 1) {
    t.generation = static_cast<unsigned>(g->get_ref<const std::string&>()[0] - '0');
  }
  if (auto bad = bad_target(t)) {
    bad_request(res, *bad);
    return std::nullopt;
  }
  return t;
}

std::optional<std::string> header_of(const httplib::Request& req, const char* name) {
  if (!req.has_header(name)) return std::nullopt;
  return req.get_header_value(name);
}

// A body within the limit, however it is sent: Content-Length is judged before the body is read
// (the door), a chunked or unmeasured one as it comes, and the reading stops at the limit.
using BodyHandler = std::function<void(const httplib::Request&, const std::string&, httplib::Response&)>;
void post(httplib::Server& server, const char* path, BodyHandler handler) {
  server.Post(path, [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res,
                                                   const httplib::ContentReader& reader) {
    std::string body;
    bool too_big = false;
    const bool whole = reader([&](const char* data, std::size_t n) {
      too_big = body.size() + n > kLargestBody;
      if (!too_big) body.append(data, n);
      return !too_big;
    });
    if (too_big) {
      res.status = 413;
      return answer(res, Json{{"error", "请求大于 64 KiB"}});
    }
    if (!whole) return bad_request(res, "请求不完整");
    handler(req, body, res);
  });
}

// A JSON object body for `handler`; 400 with the reason otherwise.
void post_json(httplib::Server& server, const char* path,
               std::function<void(const Json&, httplib::Response&)> handler) {
  post(server, path,
       [handler = std::move(handler)](const httplib::Request&, const std::string& body, httplib::Response& res) {
         const auto j = Json::parse(body, nullptr, false);
         if (j.is_discarded() || !j.is_object()) return bad_request(res, "请求不是 JSON 对象");
         handler(j, res);
       });
}

// What the door says of a request before its body is read: its size and form.
std::optional<std::pair<int, std::string>> body_refusal(const httplib::Request& req) {
  if (req.method != "POST") return std::nullopt;
  const std::string encoding = req.get_header_value("Transfer-Encoding");
  if (!encoding.empty() && encoding != "chunked") return std::pair(501, "不支持的传输编码");
  if (req.has_header("Content-Length")) {
    const std::string length = req.get_header_value("Content-Length");
    if (length.empty() || length.size() > 12 || length.find_first_not_of("0123456789") != std::string::npos) {
      return std::pair(400, "Content-Length 不是数字");
    }
    if (std::stoull(length) > kLargestBody) return std::pair(413, "请求大于 64 KiB");
  } else if (encoding.empty()) {
    return std::pair(411, "请求没有给出长度");
  }
  if (req.get_header_value("Content-Type").starts_with("multipart/")) return std::pair(415, "不支持的请求格式");
  return std::nullopt;
}

}  // namespace

void install_routes(httplib::Server& server, const Workbench& wb) {
  server.set_payload_max_length(kLargestBody);
  server.set_default_headers(kGuardHeaders);
  server.set_pre_routing_handler([&wb](const httplib::Request& req, httplib::Response& res) {
    if (!wb.door.host_allowed(req.get_header_value("Host"))) {
      refuse(res, 403, "主机名不是 127.0.0.1 或 localhost");
      return httplib::Server::HandlerResponse::Handled;
    }
    const Presented p{req.has_param("token") ? std::optional(req.get_param_value("token")) : std::nullopt,
                      header_of(req, "X-Dimmwand-Token"), header_of(req, "Cookie")};
    if (!admitted(wb.door, p)) {
      refuse(res, 403, "缺少或错误的令牌：请打开 dimmwand-ui 启动时打印的地址");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && !wb.door.origin_allowed(req.get_header_value("Origin"))) {
      refuse(res, 403, "请求不是来自本工作台的页面");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "POST") {
      refuse(res, 403, "不支持的请求方法");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (const auto refused = body_refusal(req)) {
      res.status = refused->first;
      answer(res, Json{{"error", refused->second}});
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
    res.set_content(reinterpret_cast<const char*>(f->data), f->size, f->type);
  });

  server.Get("/api/start", [&wb](const httplib::Request&, httplib::Response& res) {
    Json files = Json::array();
    for (const auto& [name, bytes] : wb.files) files.push_back({{"name", name}, {"image", to_hex(bytes)}});
    answer(res, Json{{"files", files}, {"programmer", wb.programmer}, {"backup_dir", wb.backup_dir.string()}});
  });
  post(server, "/api/open", [](const httplib::Request&, const std::string& body, httplib::Response& res) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(body.data());
    answer(res, open_upload(std::span(data, body.size())));
  });
  post_json(server, "/api/analyse", [](const Json& j, httplib::Response& res) {
    if (const auto image = image_of(j, "image", res)) answer(res, analyse(*image));
  });
  post_json(server, "/api/edit", [](const Json& j, httplib::Response& res) {
    if (!has(j, "op", Json::value_t::string, res, "文本")) return;
    if (const auto image = image_of(j, "image", res)) {
      const auto done = edit(*image, j);
      if (done.value("malformed", false)) return bad_request(res, text_of(done, "error"));
      answer(res, done);
    }
  });
  post_json(server, "/api/compare", [](const Json& j, httplib::Response& res) {
    const auto a = image_of(j, "a", res);
    if (!a) return;
    if (const auto b = image_of(j, "b", res)) answer(res, compare(*a, *b));
  });
  post_json(server, "/api/textdump", [](const Json& j, httplib::Response& res) {
    if (const auto image = image_of(j, "image", res)) answer(res, Json{{"text", format_hex_dump(*image)}});
  });
  post_json(server, "/api/kit", [](const Json& j, httplib::Response& res) {
    if (!has(j, "images", Json::value_t::array, res, "映像的列表")) return;
    std::vector<std::pair<std::string, Bytes>> images;
    for (const auto& item : j["images"]) {
      if (!item.is_object()) return bad_request(res, "请求中的 images 应为映像的列表");
      const auto image = image_of(item, "image", res);
      if (!image) return;
      images.emplace_back(text_of(item, "name"), *image);
    }
    answer(res, kit(images));
  });
  server.Get("/api/ports", [](const httplib::Request&, httplib::Response& res) { answer(res, Bench::ports()); });
  server.Get("/api/status",
             [&wb](const httplib::Request&, httplib::Response& res) { answer(res, wb.bench->status()); });
  post_json(server, "/api/read", [&wb](const Json& j, httplib::Response& res) {
    if (const auto t = target_of(j, res)) answer(res, wb.bench->start_read(*t));
  });
  // A write's plan: of the page's image, or ("restore": the port of a failed write) of its backup.
  post_json(server, "/api/plan", [&wb](const Json& j, httplib::Response& res) {
    if (j.contains("restore")) {
      if (!has(j, "restore", Json::value_t::string, res, "串口名") ||
          !has(j, "port", Json::value_t::string, res, "串口名")) {
        return;
      }
      return answer(res, wb.bench->start_restore_plan(text_of(j, "restore"), text_of(j, "port")));
    }
    const auto t = target_of(j, res);
    if (!t) return;
    if (const auto image = image_of(j, "image", res)) answer(res, wb.bench->start_plan(*t, *image));
  });
  post_json(server, "/api/write", [&wb](const Json& j, httplib::Response& res) {
    if (!has(j, "plan", Json::value_t::string, res, "写入计划的编号")) return;
    if (j.contains("clone") && !has(j, "clone", Json::value_t::boolean, res, " true 或 false")) return;
    answer(res, wb.bench->start_write(text_of(j, "plan"), j.value("clone", false)));
  });
  post_json(server, "/api/dismiss", [&wb](const Json& j, httplib::Response& res) {
    if (has(j, "port", Json::value_t::string, res, "串口名")) answer(res, wb.bench->dismiss(text_of(j, "port")));
  });
}

}  // namespace dimmwand::ui
