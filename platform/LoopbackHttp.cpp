#include "platform/LoopbackHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/UniqueFd.h"

namespace vb::platform {
namespace {

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// The value of header `name` (lower case) in `head`, or "".
std::string HeaderValue(const std::string& head, std::string_view name) {
    std::size_t start = head.find("\r\n");
    while (start != std::string::npos && start + 2 < head.size()) {
        start += 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::size_t colon = line.find(':');
        if (colon == name.size()) {
            bool same = true;
            for (std::size_t i = 0; i < colon && same; ++i)
                same = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))) == name[i];
            if (same) return line.substr(line.find_first_not_of(' ', colon + 1));
        }
        start = end;
    }
    return {};
}

}  // namespace

std::optional<HttpReply> PostJson(std::uint16_t port, const std::string& path, const std::string& authorization,
                                  const std::string& body, std::chrono::seconds timeout) {
    const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) return std::nullopt;
    const timeval limit{static_cast<time_t>(timeout.count()), 0};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int connected;
    while ((connected = ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address)) < 0 &&
           errno == EINTR) {
    }
    if (connected < 0) return std::nullopt;
    // HTTP/1.0: the server sends the body as it is and closes the connection after it,
    // so the reply ends where the stream ends.
    // Head and body in one write: a second small write would wait for the first one's
    // acknowledgement.
    std::string request = "POST " + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nAuthorization: " + authorization +
                                "\r\nContent-Type: application/json\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n";
    request += body;
    if (!SendAll(socket.Get(), request)) return std::nullopt;
    std::string reply;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::recv(socket.Get(), buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;  // includes the timeout
        if (got == 0) break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t headEnd = reply.find("\r\n\r\n");
    if (!reply.starts_with("HTTP/1.") || reply.size() < 12 || headEnd == std::string::npos) return std::nullopt;
    HttpReply result;
    result.Status = std::atoi(reply.c_str() + 9);
    const std::string head = reply.substr(0, headEnd);
    result.Body = reply.substr(headEnd + 4);
    // A reply cut short is no reply.
    if (const std::string length = HeaderValue(head, "content-length"); !length.empty()) {
        if (std::strtoull(length.c_str(), nullptr, 10) != result.Body.size()) return std::nullopt;
    }
    return result;
}

}  // namespace vb::platform
