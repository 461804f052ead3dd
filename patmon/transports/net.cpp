#include "transports/net.h"

#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace patmon::net {

#ifdef _WIN32
const Socket kNoSocket = INVALID_SOCKET;
#define poll WSAPoll
#else
const Socket kNoSocket = -1;
#endif

namespace {

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 60000 ? 60000 : static_cast<int>(left);
}

void SetNonBlocking(Socket s) {
#ifdef _WIN32
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
#else
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
#endif
}

bool InProgress() {
#ifdef _WIN32
    return WSAGetLastError() == WSAEWOULDBLOCK;
#else
    return errno == EINPROGRESS || errno == EAGAIN;
#endif
}

// Waits until the socket can be read (POLLIN) or written (POLLOUT).
bool WaitFor(Socket s, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{};
        entry.fd = s;
        entry.events = events;
        const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready > 0) return true;
        if (ready == 0 && Clock::now() >= deadline) return false;
#ifndef _WIN32
        if (ready < 0 && errno != EINTR) return false;
#else
        if (ready < 0) return false;
#endif
    }
}

addrinfo *Resolve(const std::string &host, uint16_t port, bool passive, std::string *error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (passive) hints.ai_flags = AI_PASSIVE;
    addrinfo *found = nullptr;
    const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        *error = "the name lookup of " + host + " failed: " + gai_strerror(rc);
        return nullptr;
    }
    return found;
}

}  // namespace

void Startup() {
#ifdef _WIN32
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
#endif
}

Socket Connect(const std::string &host, uint16_t port, Clock::time_point deadline, std::string *error) {
    Startup();
    addrinfo *found = Resolve(host, port, false, error);
    if (found == nullptr) return kNoSocket;
    Socket s = kNoSocket;
    *error = "nothing takes connections at " + host + ":" + std::to_string(port);
    for (addrinfo *a = found; a != nullptr && s == kNoSocket; a = a->ai_next) {
        s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == kNoSocket) continue;
        SetNonBlocking(s);
        bool connected = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
        if (!connected && InProgress() && WaitFor(s, POLLOUT, deadline)) {
            int soError = 0;
            socklen_t length = sizeof soError;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&soError), &length);
            connected = soError == 0;
            if (!connected) *error += std::string(": ") + std::strerror(soError);
        } else if (!connected && Clock::now() >= deadline) {
            *error += ": timed out";
        }
        if (!connected) {
            Close(s);
            s = kNoSocket;
        }
    }
    freeaddrinfo(found);
    if (s != kNoSocket) error->clear();
    return s;
}

bool SendAll(Socket s, const std::string &data, Clock::time_point deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (!WaitFor(s, POLLOUT, deadline)) return false;
#ifdef _WIN32
        const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
#else
        const ssize_t n = send(s, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
#endif
        if (n < 0) {
            if (InProgress()) continue;
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

long Receive(Socket s, char *buffer, size_t size, Clock::time_point deadline) {
    if (!WaitFor(s, POLLIN, deadline)) return Clock::now() >= deadline ? -2 : -1;
#ifdef _WIN32
    const int n = recv(s, buffer, static_cast<int>(size), 0);
#else
    const ssize_t n = recv(s, buffer, size, 0);
#endif
    if (n < 0) return InProgress() ? Receive(s, buffer, size, deadline) : -1;
    return static_cast<long>(n);
}

void Close(Socket s) {
    if (s == kNoSocket) return;
#ifdef _WIN32
    closesocket(s);
#else
    close(s);
#endif
}

Socket Listen(const std::string &host, uint16_t port, uint16_t *bound, std::string *error) {
    Startup();
    addrinfo *found = Resolve(host, port, true, error);
    if (found == nullptr) return kNoSocket;
    Socket s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != kNoSocket) {
        int on = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof on);
        if (bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 || listen(s, 64) != 0) {
            *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
            Close(s);
            s = kNoSocket;
        }
    }
    freeaddrinfo(found);
    if (s != kNoSocket && bound != nullptr) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
        *bound = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port
                                                     : reinterpret_cast<sockaddr_in *>(&address)->sin_port);
    }
    return s;
}

Socket Accept(Socket listener, std::chrono::milliseconds wait) {
    if (!WaitFor(listener, POLLIN, Clock::now() + wait)) return kNoSocket;
    Socket s = accept(listener, nullptr, nullptr);
    if (s != kNoSocket) SetNonBlocking(s);
    return s;
}

}  // namespace patmon::net
