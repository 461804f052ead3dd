// fleet_printers: many network printers in one process, for load runs of
// `patmon serve` (bench/serve_load.py). A `patmon simulate` process per
// printer is far too heavy for a fleet of thousands; this serves N printers
// from one thread, each at its own loopback address 127.77.B.H (B = 1 +
// i / 250, H = 1 + i % 250), the built-in scenarios in turn:
//
//   fleet_printers pjl  N PORT SECONDS   # the PJL port of every printer (TCP)
//   fleet_printers snmp N PORT SECONDS   # the device-ID agent of every printer (UDP)
//
// One process holds one socket per printer, so a fleet of 10,000 takes one
// process of each role (the descriptor limit is 20,000 here). Replies are
// the simulator's own (RepliesTo, DeviceIdOf), made once per scenario and
// query and then sent from memory: the responder's cost stays small beside
// the service's. A printer of a scenario that does not answer keeps the
// connection open and says nothing; its agent says nothing either. It
// prints "ready" once every socket is bound and stops after SECONDS, or
// when its standard input closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simulator/printer_model.h"

namespace {

using patmon::PrinterModel;

constexpr char kUel[] = "\x1b%-12345X";
constexpr size_t kUelSize = sizeof kUel - 1;
constexpr uint64_t kStdin = UINT64_MAX;

sockaddr_in Address(size_t index, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl((127u << 24) | (77u << 16) | ((1u + static_cast<uint32_t>(index / 250)) << 8) |
                              (1u + static_cast<uint32_t>(index % 250)));
    return a;
}

// The printer of each scenario, and what it says to each query it was sent.
class Replies {
public:
    Replies() {
        for (const patmon::Scenario &scenario : patmon::BuiltInScenarios()) {
            printers_.push_back(*patmon::ScenarioPrinter(scenario.name));
        }
    }
    size_t Count() const { return printers_.size(); }
    const PrinterModel &Printer(size_t index) const { return printers_[index % printers_.size()]; }
    const std::string &To(size_t index, const std::string &query) {
        const size_t scenario = index % printers_.size();
        auto found = cache_.find({scenario, query});
        if (found == cache_.end()) {
            found = cache_.emplace(std::make_pair(scenario, query), patmon::RepliesTo(printers_[scenario], query)).first;
        }
        return found->second;
    }
    const std::string &DeviceId(size_t index) {
        const size_t scenario = index % printers_.size();
        if (deviceIds_.size() != printers_.size()) deviceIds_.resize(printers_.size());
        if (!deviceIds_[scenario]) deviceIds_[scenario] = patmon::DeviceIdOf(printers_[scenario]);
        return *deviceIds_[scenario];
    }

private:
    std::vector<PrinterModel> printers_;
    std::map<std::pair<size_t, std::string>, std::string> cache_;
    std::vector<std::optional<std::string>> deviceIds_;
};

// ---- BER, as much of it as a device-ID GET-NEXT and its answer need ----

struct Ber {
    const uint8_t *p;
    const uint8_t *end;
    // The next element: its tag and content; false when malformed.
    bool Next(uint8_t *tag, Ber *content) {
        if (end - p < 2) return false;
        *tag = *p++;
        size_t length = *p++;
        if (length & 0x80) {
            const size_t bytes = length & 0x7f;
            if (bytes == 0 || bytes > 2 || static_cast<size_t>(end - p) < bytes) return false;
            length = 0;
            for (size_t i = 0; i < bytes; ++i) length = (length << 8) | *p++;
        }
        if (static_cast<size_t>(end - p) < length) return false;
        *content = {p, p + length};
        p += length;
        return true;
    }
};

std::string Tlv(uint8_t tag, const std::string &content) {
    std::string out(1, static_cast<char>(tag));
    if (content.size() < 0x80) {
        out += static_cast<char>(content.size());
    } else {
        out += '\x82';
        out += static_cast<char>(content.size() >> 8);
        out += static_cast<char>(content.size() & 0xff);
    }
    return out + content;
}

// The answer to a GET-NEXT of ppmPrinterIEEE1284DeviceId: its first row
// (.1), with the request's own id and community; nullopt for anything else.
std::optional<std::string> DeviceIdAnswer(const uint8_t *data, size_t size, const std::string &deviceId) {
    Ber message{data, data + size}, body, version, community, pdu, requestId;
    uint8_t tag;
    if (!message.Next(&tag, &body) || tag != 0x30) return std::nullopt;
    if (!body.Next(&tag, &version) || tag != 0x02) return std::nullopt;
    if (!body.Next(&tag, &community) || tag != 0x04) return std::nullopt;
    if (!body.Next(&tag, &pdu) || tag != 0xa1) return std::nullopt;  // GET-NEXT
    if (!pdu.Next(&tag, &requestId) || tag != 0x02) return std::nullopt;
    static const std::string kRow = "\x2b\x06\x01\x04\x01\x95\x0b\x01\x02\x01\x02\x01\x01\x03\x01";
    const std::string binding = Tlv(0x30, Tlv(0x06, kRow) + Tlv(0x04, deviceId));
    const std::string answer = Tlv(0xa2, Tlv(0x02, std::string(requestId.p, requestId.end)) + std::string("\x02\x01\x00", 3) +
                                             std::string("\x02\x01\x00", 3) + Tlv(0x30, binding));
    return Tlv(0x30, std::string("\x02\x01\x01", 3) + Tlv(0x04, std::string(community.p, community.end)) + answer);
}

void Watch(int epoll, int fd, uint32_t events, uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        std::perror("fleet_printers: epoll_ctl");
        std::exit(1);
    }
}

int Bound(int type, size_t index, uint16_t port) {
    const int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = Address(index, port);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) != 0 ||
        (type == SOCK_STREAM && listen(fd, 64) != 0)) {
        std::fprintf(stderr, "fleet_printers: printer %zu: %s\n", index, std::strerror(errno));
        std::exit(1);
    }
    return fd;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: fleet_printers pjl|snmp COUNT PORT SECONDS\n");
        return 2;
    }
    const std::string role = argv[1];
    const size_t count = std::strtoul(argv[2], nullptr, 10);
    const auto port = static_cast<uint16_t>(std::atoi(argv[3]));
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[4]));
    const bool pjl = role == "pjl";
    Replies replies;

    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    std::vector<int> sockets(count);
    for (size_t i = 0; i < count; ++i) {
        sockets[i] = Bound(pjl ? SOCK_STREAM : SOCK_DGRAM, i, port);
        Watch(epoll, sockets[i], EPOLLIN, i);
    }
    Watch(epoll, STDIN_FILENO, EPOLLIN, kStdin);
    std::printf("ready\n");
    std::fflush(stdout);

    // Connections by descriptor: the printer they reached and the query so far.
    struct Connection {
        size_t printer = 0;
        std::string query;
    };
    std::map<int, Connection> connections;
    constexpr uint64_t kConnection = uint64_t{1} << 32;  // tags of connections: this plus the descriptor
    std::vector<uint8_t> buffer(65536);
    epoll_event events[256];
    while (std::chrono::steady_clock::now() < until) {
        const int ready = epoll_wait(epoll, events, 256, 200);
        for (int e = 0; e < ready; ++e) {
            const uint64_t tag = events[e].data.u64;
            if (tag == kStdin) {
                if (read(STDIN_FILENO, buffer.data(), buffer.size()) <= 0) return 0;
            } else if (tag >= kConnection) {
                const int fd = static_cast<int>(tag - kConnection);
                Connection &c = connections[fd];
                const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) {
                    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
                    close(fd);
                    connections.erase(fd);
                    continue;
                }
                c.query.append(reinterpret_cast<const char *>(buffer.data()), static_cast<size_t>(n));
                // A query is the library's PJL between two universal exit languages.
                if (c.query.size() > kUelSize && c.query.compare(c.query.size() - kUelSize, kUelSize, kUel) == 0) {
                    if (replies.Printer(c.printer).answers) {
                        const std::string &reply = replies.To(c.printer, c.query);
                        (void)!send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                    }
                    c.query.clear();
                }
            } else if (pjl) {
                const int fd = accept4(sockets[tag], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) continue;
                connections[fd] = Connection{static_cast<size_t>(tag), {}};
                Watch(epoll, fd, EPOLLIN, kConnection + static_cast<uint64_t>(fd));
            } else {
                for (;;) {
                    sockaddr_storage from{};
                    socklen_t length = sizeof from;
                    const ssize_t n = recvfrom(sockets[tag], buffer.data(), buffer.size(), 0,
                                               reinterpret_cast<sockaddr *>(&from), &length);
                    if (n < 0) break;
                    if (!replies.Printer(tag).answers) continue;
                    const auto answer = DeviceIdAnswer(buffer.data(), static_cast<size_t>(n), replies.DeviceId(tag));
                    if (answer) {
                        (void)!sendto(sockets[tag], answer->data(), answer->size(), 0,
                                      reinterpret_cast<const sockaddr *>(&from), length);
                    }
                }
            }
        }
    }
    return 0;
}
