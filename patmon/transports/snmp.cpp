#include "transports/snmp.h"

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <filesystem>
#include <mutex>

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

struct DeviceIdQueryAccess {
    static int Answered(int operation, netsnmp_session *, int, netsnmp_pdu *response, void *magic) {
        auto *query = static_cast<DeviceIdQuery *>(magic);
        query->done_ = true;
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || response == nullptr) {
            query->error = query->where_ + " did not answer";
        } else {
            query->deviceId = DeviceIdIn(response, query->where_, &query->error);
        }
        return 1;
    }
};

std::unique_ptr<DeviceIdQuery> DeviceIdQuery::Send(const SnmpSource &source, std::string *error) {
    InitClient();
    std::unique_ptr<DeviceIdQuery> query(new DeviceIdQuery);
    query->where_ = "SNMP agent at " + source.host + ":" + std::to_string(source.port);
    // The event loop keeps the deadline; the session's own timeout is long.
    query->session_ = OpenSession(source, 3600L * 1000000, DeviceIdQueryAccess::Answered, query.get());
    if (query->session_ == nullptr) {
        *error = query->where_ + ": cannot open an SNMP session";
        return nullptr;
    }
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GETNEXT);
    snmp_add_null_var(request, kDeviceIdColumn, kColumnLength);
    if (snmp_sess_async_send(query->session_, request, DeviceIdQueryAccess::Answered, query.get()) == 0) {
        snmp_free_pdu(request);
        *error = query->where_ + ": the request could not be sent";
        return nullptr;
    }
    return query;
}

DeviceIdQuery::~DeviceIdQuery() {
    if (session_ != nullptr) snmp_sess_close(session_);
}

int DeviceIdQuery::Socket() const { return snmp_sess_transport(session_)->sock; }

bool DeviceIdQuery::Read() {
    netsnmp_large_fd_set readers;
    netsnmp_large_fd_set_init(&readers, Socket() + 1);
    NETSNMP_LARGE_FD_SET(Socket(), &readers);
    snmp_sess_read2(session_, &readers);
    netsnmp_large_fd_set_cleanup(&readers);
    return done_;
}

struct DeviceIdClientAccess {
    static int Answered(int operation, netsnmp_session *session, int, netsnmp_pdu *response, void *magic) {
        auto *client = static_cast<DeviceIdClient *>(session->myvoid);
        DeviceIdClient::Answer answer;
        answer.token = reinterpret_cast<uintptr_t>(magic);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || response == nullptr) {
            answer.error = " did not answer";
        } else {
            answer.deviceId = DeviceIdIn(response, "", &answer.error);
        }
        client->answers_.push_back(std::move(answer));
        return 1;
    }
};

std::unique_ptr<DeviceIdClient> DeviceIdClient::Open(std::string *error) {
    InitClient();
    std::unique_ptr<DeviceIdClient> client(new DeviceIdClient);
    netsnmp_session settings;
    snmp_sess_init(&settings);
    // The peer named here only picks the kind of socket (UDP over IPv4):
    // every request names its own agent.
    char peer[] = "udp:127.0.0.1:161";
    char community[] = "public";
    settings.peername = peer;
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char *>(community);
    settings.community_len = sizeof community - 1;
    settings.retries = 0;
    settings.callback = DeviceIdClientAccess::Answered;
    settings.myvoid = client.get();
    client->session_ = snmp_sess_open(&settings);
    if (client->session_ == nullptr) {
        *error = "cannot open an SNMP socket";
        return nullptr;
    }
    return client;
}

DeviceIdClient::~DeviceIdClient() {
    if (session_ != nullptr) snmp_sess_close(session_);
}

int DeviceIdClient::Socket() const { return snmp_sess_transport(session_)->sock; }

bool DeviceIdClient::Send(const sockaddr_in &address, const SnmpSource &source, std::chrono::milliseconds timeout,
                          uint64_t token, std::string *error) {
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GETNEXT);
    snmp_add_null_var(request, kDeviceIdColumn, kColumnLength);
    // The agent: the UDP transport sends to the address a request carries.
    auto *to = static_cast<netsnmp_indexed_addr_pair *>(calloc(1, sizeof(netsnmp_indexed_addr_pair)));
    request->community = static_cast<u_char *>(malloc(std::max<size_t>(source.community.size(), 1)));
    if (to == nullptr || request->community == nullptr) {
        free(to);
        snmp_free_pdu(request);
        *error = "out of memory";
        return false;
    }
    to->remote_addr.sin = address;
    request->transport_data = to;
    request->transport_data_length = sizeof *to;
    std::memcpy(request->community, source.community.data(), source.community.size());
    request->community_len = source.community.size();
    // The session's timeout is taken by each request as it is sent.
    snmp_sess_session(session_)->timeout = static_cast<long>(timeout.count()) * 1000;
    if (snmp_sess_async_send(session_, request, DeviceIdClientAccess::Answered,
                             reinterpret_cast<void *>(static_cast<uintptr_t>(token))) == 0) {
        snmp_free_pdu(request);
        *error = "the request could not be sent";
        return false;
    }
    return true;
}

std::vector<DeviceIdClient::Answer> DeviceIdClient::Read() {
    netsnmp_large_fd_set readers;
    netsnmp_large_fd_set_init(&readers, Socket() + 1);
    NETSNMP_LARGE_FD_SET(Socket(), &readers);
    snmp_sess_read2(session_, &readers);
    netsnmp_large_fd_set_cleanup(&readers);
    return std::exchange(answers_, {});
}

std::vector<DeviceIdClient::Answer> DeviceIdClient::Expire() {
    snmp_sess_timeout(session_);
    return std::exchange(answers_, {});
}

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

DeviceIdQuery::~DeviceIdQuery() = default;
std::unique_ptr<DeviceIdQuery> DeviceIdQuery::Send(const SnmpSource &, std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return nullptr;
}
int DeviceIdQuery::Socket() const { return -1; }
bool DeviceIdQuery::Read() { return true; }

std::unique_ptr<DeviceIdClient> DeviceIdClient::Open(std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return nullptr;
}
DeviceIdClient::~DeviceIdClient() = default;
int DeviceIdClient::Socket() const { return -1; }
bool DeviceIdClient::Send(const sockaddr_in &, const SnmpSource &, std::chrono::milliseconds, uint64_t,
                          std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return false;
}
std::vector<DeviceIdClient::Answer> DeviceIdClient::Read() { return {}; }
std::vector<DeviceIdClient::Answer> DeviceIdClient::Expire() { return {}; }

bool SnmpAvailable() { return false; }

std::optional<std::string> ReadDeviceId(const SnmpSource &, std::chrono::steady_clock::time_point,
                                        std::string *error) {
    *error = "this build cannot read a device ID over SNMP (use --device-id)";
    return std::nullopt;
}

#endif

}  // namespace patmon
