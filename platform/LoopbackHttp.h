#pragma once
// Requests to an HTTP server on this machine's loopback address, such as the remote
// control of a program this one started.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vb::platform {

struct HttpReply {
    int Status = 0;  // 200, 404, ...
    std::string Body;
};

// POSTs `body` as JSON to http://127.0.0.1:<port><path>, with `authorization` as the
// value of the Authorization header, and returns the server's reply once it has come
// whole. nullopt when there was no connection or no whole reply within `timeout`
// (the server is gone or stuck).
std::optional<HttpReply> PostJson(std::uint16_t port, const std::string& path, const std::string& authorization,
                                  const std::string& body, std::chrono::seconds timeout);

}  // namespace vb::platform
