#include "transports/snmp.h"

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <net-snmp/library/snmp_impl.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#endif

namespace patmon {

#ifdef PATMON_HAVE_SNMP

namespace {

// ppmPrinterIEEE1284DeviceId: the device-ID column of ppmPrinterTable.
const oid kDeviceIdColumn[] = {1, 3, 6, 1, 4, 1, 2699, 1, 2, 1, 2, 1, 1, 3};
constexpr size_t kColumnLength = sizeof kDeviceIdColumn / sizeof kDeviceIdColumn[0];

std::once_flag g_clientInit;

}  // namespace

void QuietSnmpLibrary() {
    static const std::string persistent = (std::filesystem::temp_directory_path() / "patmon-snmp").string();
    setenv("MIBS", "", 1);
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, persistent.c_str());
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    // A handler that drops every message: with none at all the library
    // would print its notes on stderr.
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
}

namespace {

std::string Peer(const SnmpSource &source) {
    const bool v6 = source.host.find(':') != std::string::npos;
    return (v6 ? "udp6:[" + source.host + "]" : "udp:" + source.host) + ":" + std::to_string(source.port);
}

// The device ID a response carries; nullopt with `error` set otherwise.
std::optional<std::string> DeviceIdIn(const netsnmp_pdu *response, const std::string &where, std::string *error) {
    if (response->errstat != SNMP_ERR_NOERROR) {
        *error = where + ": " + snmp_errstring(static_cast<int>(response->errstat));
        return std::nullopt;
    }
    const netsnmp_variable_list *v = response->variables;
    if (v == nullptr || v->name_length <= kColumnLength ||
        snmp_oid_compare(v->name, kColumnLength, kDeviceIdColumn, kColumnLength) != 0) {
        *error = where + " has no ppmPrinterIEEE1284DeviceId";
        return std::nullopt;
    }
    if (v->type != ASN_OCTET_STR) {
        *error = where + ": ppmPrinterIEEE1284DeviceId is not an octet string";
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char *>(v->val.string), v->val_len);
}

void InitClient() {
    std::call_once(g_clientInit, [] {
        QuietSnmpLibrary();
        init_snmp("patmon");
    });
}

// A session to the source's agent, v2c, with no retries of its own.
void *OpenSession(const SnmpSource &source, long timeoutMicroseconds, netsnmp_callback callback, void *magic) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    std::string peer = Peer(source), community = source.community;
    settings.peername = peer.data();
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char *>(community.data());
    settings.community_len = community.size();
    settings.retries = callback != nullptr ? 0 : 1;
    settings.timeout = timeoutMicroseconds;
    settings.callback = callback;
    settings.callback_magic = magic;
    return snmp_sess_open(&settings);
}

}  // namespace

// ---- the fleet's device-ID client: plain UDP sockets of its own, so that
// every answer's sender is seen and checked before it is taken ----

namespace {

// BER: a tag, its length and the content.
std::string Ber(uint8_t tag, const std::string &content) {
    std::string out(1, static_cast<char>(tag));
    const size_t n = content.size();
    if (n < 0x80) {
        out += static_cast<char>(n);
    } else if (n < 0x100) {
        out += '\x81';
        out += static_cast<char>(n);
    } else {
        out += '\x82';
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n & 0xff);
    }
    return out + content;
}

std::string BerInteger(int32_t value) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((static_cast<uint32_t>(value) >> shift) & 0xff);
    // The shortest two's complement form.
    while (bytes.size() > 1 && ((bytes[0] == '\0' && (bytes[1] & 0x80) == 0) ||
                                (bytes[0] == '\xff' && (bytes[1] & 0x80) != 0))) {
        bytes.erase(0, 1);
    }
    return Ber(ASN_INTEGER, bytes);
}

std::string BerOid(const oid *name, size_t length) {
    std::string bytes(1, static_cast<char>(name[0] * 40 + name[1]));
    for (size_t i = 2; i < length; ++i) {
        std::string part(1, static_cast<char>(name[i] & 0x7f));
        for (oid rest = name[i] >> 7; rest != 0; rest >>= 7) part.insert(0, 1, static_cast<char>(0x80 | (rest & 0x7f)));
        bytes += part;
    }
    return Ber(ASN_OBJECT_ID, bytes);
}

// An SNMPv2c GET-NEXT of the device-ID column.
std::string GetNextMessage(const std::string &community, int32_t requestId) {
    const std::string binding = Ber(ASN_SEQUENCE | ASN_CONSTRUCTOR,
                                    BerOid(kDeviceIdColumn, kColumnLength) + Ber(ASN_NULL, ""));
    const std::string pdu = Ber(SNMP_MSG_GETNEXT, BerInteger(requestId) + BerInteger(0) + BerInteger(0) +
                                                      Ber(ASN_SEQUENCE | ASN_CONSTRUCTOR, binding));
    return Ber(ASN_SEQUENCE | ASN_CONSTRUCTOR,
               BerInteger(SNMP_VERSION_2c) + Ber(ASN_OCTET_STR, community) + pdu);
}

// Request IDs nobody can guess from the ones seen before: from the
// kernel's random source, 1 to 2^31 - 1. Taken a few hundred at a time, so
// that a request costs no system call of its own.
class RandomRequestIds {
public:
    int32_t Next() {
        for (;;) {
            if (next_ == kBatch) Refill();
            const uint32_t value = ids_[next_++] & 0x7fffffff;
            if (value != 0) return static_cast<int32_t>(value);
        }
    }

private:
    static constexpr size_t kBatch = 256;
    void Refill() {
        next_ = 0;
        if (getrandom(ids_, sizeof ids_, 0) == static_cast<ssize_t>(sizeof ids_)) return;
        // No random source (never on Linux): the clock's low bits mixed.
        for (uint32_t &value : ids_) {
            value = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() * 2654435761u);
        }
    }
    uint32_t ids_[kBatch] = {};
    size_t next_ = kBatch;
};

bool SameAgent(const sockaddr_storage &a, const sockaddr_storage &b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET) {
        const auto &x = reinterpret_cast<const sockaddr_in &>(a);
        const auto &y = reinterpret_cast<const sockaddr_in &>(b);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    if (a.ss_family == AF_INET6) {
        const auto &x = reinterpret_cast<const sockaddr_in6 &>(a);
        const auto &y = reinterpret_cast<const sockaddr_in6 &>(b);
        return x.sin6_port == y.sin6_port && std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
    }
    return false;
}

// The response in a datagram: its request ID, community and device ID (or
// what is wrong with it); false when it is no SNMPv2c response at all.
bool ParseResponse(const uint8_t *data, size_t size, int32_t *requestId, std::string *community,
                   DeviceIdClient::Answer *answer) {
    std::vector<u_char> copy(data, data + size);  // the parser wants it writable
    size_t length = copy.size();
    u_char name[256];
    size_t nameLength = sizeof name;
    long version = 0;
    u_char *rest = snmp_comstr_parse(copy.data(), &length, name, &nameLength, &version);
    if (rest == nullptr || version != SNMP_VERSION_2c) return false;
    netsnmp_pdu *pdu = static_cast<netsnmp_pdu *>(calloc(1, sizeof(netsnmp_pdu)));
    if (pdu == nullptr) return false;
    pdu->version = version;
    const bool parsed = snmp_pdu_parse(pdu, rest, &length) == 0 && pdu->command == SNMP_MSG_RESPONSE;
    if (parsed) {
        *requestId = static_cast<int32_t>(pdu->reqid);
        community->assign(reinterpret_cast<const char *>(name), nameLength);
        answer->deviceId = DeviceIdIn(pdu, "", &answer->error);
    }
    snmp_free_pdu(pdu);
    return parsed;
}

// Most datagrams read from one socket in one call of Read, and in one
// system call within it.
constexpr int kReadBatch = 64;
constexpr int kReadsAtOnce = 16;
// The largest datagram taken whole (any UDP datagram).
constexpr size_t kDatagram = 65536;

}  // namespace

struct DeviceIdClient::State {
    struct Request {
        uint64_t token = 0;
        sockaddr_storage agent{};
        std::string community;
        std::chrono::steady_clock::time_point expiry;
    };
    std::map<int32_t, Request> requests;  // by request ID
    std::map<uint64_t, int32_t> byToken;
    RandomRequestIds ids;
    // Where Read receives: only the pages a datagram fills are ever used.
    std::unique_ptr<uint8_t[]> buffers{new uint8_t[kReadsAtOnce * kDatagram]};  // left unfilled
};

DeviceIdClient::DeviceIdClient() : state_(std::make_unique<State>()) {}

std::unique_ptr<DeviceIdClient> DeviceIdClient::Open(std::string *error) {
    InitClient();
    std::unique_ptr<DeviceIdClient> client(new DeviceIdClient);
    client->sockets_[0] = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    client->sockets_[1] = socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (client->sockets_[1] >= 0) {
        const int one = 1;
        setsockopt(client->sockets_[1], IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    }
    if (client->sockets_[0] < 0 && client->sockets_[1] < 0) {
        *error = std::string("cannot open an SNMP socket: ") + std::strerror(errno);
        return nullptr;
    }
    return client;
}

DeviceIdClient::~DeviceIdClient() {
    for (int fd : sockets_) {
        if (fd >= 0) close(fd);
    }
}

std::vector<int> DeviceIdClient::Sockets() const {
    std::vector<int> sockets;
    for (int fd : sockets_) {
        if (fd >= 0) sockets.push_back(fd);
    }
    return sockets;
}

bool DeviceIdClient::Send(const sockaddr *address, size_t addressLength, const std::string &community,
                          std::chrono::milliseconds timeout, uint64_t token, std::string *error) {
    Forget(token);
    const bool v6 = address->sa_family == AF_INET6;
    const int fd = sockets_[v6 ? 1 : 0];
    if (fd < 0 || addressLength > sizeof(sockaddr_storage) || (address->sa_family != AF_INET && !v6)) {
        *error = v6 ? "no IPv6 socket for SNMP" : "not an IP address";
        return false;
    }
    if (community.size() > 255) {
        *error = "community too long";
        return false;
    }
    int32_t id = state_->ids.Next();
    while (state_->requests.count(id) != 0) id = state_->ids.Next();
    const std::string message = GetNextMessage(community, id);
    if (sendto(fd, message.data(), message.size(), MSG_NOSIGNAL, address, static_cast<socklen_t>(addressLength)) < 0) {
        *error = std::string("the request could not be sent: ") + std::strerror(errno);
        return false;
    }
    State::Request &request = state_->requests[id];
    request.token = token;
    std::memcpy(&request.agent, address, addressLength);
    request.community = community;
    request.expiry = std::chrono::steady_clock::now() + timeout;
    state_->byToken[token] = id;
    return true;
}

void DeviceIdClient::Forget(uint64_t token) {
    const auto found = state_->byToken.find(token);
    if (found == state_->byToken.end()) return;
    state_->requests.erase(found->second);
    state_->byToken.erase(found);
}

std::vector<DeviceIdClient::Answer> DeviceIdClient::Read() {
    std::vector<Answer> answers;
    mmsghdr messages[kReadsAtOnce];
    iovec parts[kReadsAtOnce];
    sockaddr_storage from[kReadsAtOnce];
    for (int fd : sockets_) {
        for (int taken = 0; fd >= 0 && taken < kReadBatch;) {
            const int want = std::min(kReadsAtOnce, kReadBatch - taken);
            for (int i = 0; i < want; ++i) {
                parts[i] = {state_->buffers.get() + static_cast<size_t>(i) * kDatagram, kDatagram};
                messages[i] = {};
                messages[i].msg_hdr.msg_name = &from[i];
                messages[i].msg_hdr.msg_namelen = sizeof from[i];
                messages[i].msg_hdr.msg_iov = &parts[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const int n = recvmmsg(fd, messages, static_cast<unsigned>(want), MSG_DONTWAIT, nullptr);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // nothing more for now
            taken += n;
            for (int i = 0; i < n; ++i) {
                int32_t id = 0;
                std::string community;
                Answer answer;
                if (!ParseResponse(static_cast<const uint8_t *>(parts[i].iov_base), messages[i].msg_len, &id,
                                   &community, &answer)) {
                    continue;
                }
                const auto found = state_->requests.find(id);
                // Only from the agent asked, to its own request: anything else is
                // dropped and the request keeps waiting for its real answer.
                if (found == state_->requests.end() || !SameAgent(found->second.agent, from[i]) ||
                    community != found->second.community) {
                    continue;
                }
                answer.token = found->second.token;
                state_->byToken.erase(found->second.token);
                state_->requests.erase(found);
                answers.push_back(std::move(answer));
            }
            if (n < want) break;  // the socket is drained
        }
    }
    return answers;
}

std::vector<DeviceIdClient::Answer> DeviceIdClient::Expire() {
    std::vector<Answer> answers;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = state_->requests.begin(); it != state_->requests.end();) {
        if (it->second.expiry > now) {
            ++it;
            continue;
        }
        Answer answer;
        answer.token = it->second.token;
        answer.error = " did not answer";
        answers.push_back(std::move(answer));
        state_->byToken.erase(it->second.token);
        it = state_->requests.erase(it);
    }
    return answers;
}

size_t DeviceIdClient::Pending() const { return state_->requests.size(); }

bool SnmpAvailable() { return true; }

std::optional<std::string> ReadDeviceId(const SnmpSource &source, std::chrono::steady_clock::time_point deadline,
                                        std::string *error) {
    InitClient();
    const std::string where = "SNMP agent at " + source.host + ":" + std::to_string(source.port);
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        *error = where + ": no time left to ask for the device ID";
        return std::nullopt;
    }
    void *session = OpenSession(source, static_cast<long>(left.count() / 2), nullptr, nullptr);
    if (session == nullptr) {
        *error = where + ": cannot open an SNMP session";
        return std::nullopt;
    }
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GETNEXT);
    snmp_add_null_var(request, kDeviceIdColumn, kColumnLength);
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session, request, &response);
    std::optional<std::string> deviceId;
    if (status == STAT_TIMEOUT) {
        *error = where + " did not answer";
    } else if (status != STAT_SUCCESS || response == nullptr) {
        *error = where + ": the request failed";
    } else {
        deviceId = DeviceIdIn(response, where, error);
    }
    if (response != nullptr) snmp_free_pdu(response);
    snmp_sess_close(session);
    return deviceId;
}

#else

void QuietSnmpLibrary() {}

struct DeviceIdClient::State {};
DeviceIdClient::DeviceIdClient() = default;
std::unique_ptr<DeviceIdClient> DeviceIdClient::Open(std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return nullptr;
}
DeviceIdClient::~DeviceIdClient() = default;
std::vector<int> DeviceIdClient::Sockets() const { return {}; }
bool DeviceIdClient::Send(const sockaddr *, size_t, const std::string &, std::chrono::milliseconds, uint64_t,
                          std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return false;
}
void DeviceIdClient::Forget(uint64_t) {}
std::vector<DeviceIdClient::Answer> DeviceIdClient::Read() { return {}; }
std::vector<DeviceIdClient::Answer> DeviceIdClient::Expire() { return {}; }
size_t DeviceIdClient::Pending() const { return 0; }

bool SnmpAvailable() { return false; }

std::optional<std::string> ReadDeviceId(const SnmpSource &, std::chrono::steady_clock::time_point,
                                        std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return std::nullopt;
}

#endif

}  // namespace patmon
