#include "transports/printer_mib.h"

#include "transports/snmp.h"

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "poll/supplies.h"
#endif

namespace patmon {

#ifdef PATMON_HAVE_SNMP

namespace {

using Oid = std::vector<oid>;

// Table entries (their columns follow) and single objects, RFC 3805 / 2790 / 1213.
const Oid kSuppliesEntry = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1};   // prtMarkerSuppliesEntry
const Oid kColorantEntry = {1, 3, 6, 1, 2, 1, 43, 12, 1, 1};   // prtMarkerColorantEntry
const Oid kInputEntry = {1, 3, 6, 1, 2, 1, 43, 8, 2, 1};       // prtInputEntry
const Oid kOutputEntry = {1, 3, 6, 1, 2, 1, 43, 9, 2, 1};      // prtOutputEntry
const Oid kAlertEntry = {1, 3, 6, 1, 2, 1, 43, 18, 1, 1};      // prtAlertEntry
const Oid kPrinterEntry = {1, 3, 6, 1, 2, 1, 25, 3, 5, 1};     // hrPrinterEntry
const Oid kLifeCount = {1, 3, 6, 1, 2, 1, 43, 10, 2, 1, 4};    // prtMarkerLifeCount
const Oid kSerialNumber = {1, 3, 6, 1, 2, 1, 43, 5, 1, 1, 17};  // prtGeneralSerialNumber
const Oid kDeviceDescr = {1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 3};   // hrDeviceDescr
const Oid kDeviceStatus = {1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 5};  // hrDeviceStatus
const Oid kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const Oid kSysName = {1, 3, 6, 1, 2, 1, 1, 5, 0};

// Values asked for in one GETBULK request.
constexpr long kBulkRepetitions = 24;

std::once_flag g_init;

void InitLibrary() {
    std::call_once(g_init, [] {
        QuietSnmpLibrary();
        init_snmp("patmon");
    });
}

std::string Lower(std::string s) {
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    s.erase(std::remove(s.begin(), s.end(), '-'), s.end());
    return s;
}

std::optional<int32_t> Integer(const netsnmp_variable_list *v) {
    if (v->val.integer == nullptr) return std::nullopt;
    if (v->type == ASN_INTEGER) return static_cast<int32_t>(std::clamp<long>(*v->val.integer, INT32_MIN, INT32_MAX));
    if (v->type == ASN_COUNTER || v->type == ASN_GAUGE || v->type == ASN_UINTEGER) {
        return static_cast<int32_t>(std::min<unsigned long>(static_cast<unsigned long>(*v->val.integer) & 0xffffffffUL,
                                                            INT32_MAX));
    }
    return std::nullopt;
}

std::optional<std::string> Octets(const netsnmp_variable_list *v) {
    if (v->type != ASN_OCTET_STR || (v->val.string == nullptr && v->val_len != 0)) return std::nullopt;
    return std::string(reinterpret_cast<const char *>(v->val.string), v->val_len);
}

std::string Text(const netsnmp_variable_list *v) { return CleanMibText(Octets(v).value_or("")); }

// A reading's exchanges with one agent.
class Reader {
public:
    Reader(const PrinterMibSource &source, std::chrono::steady_clock::time_point deadline, std::string *error)
        : source_(source), deadline_(deadline), error_(error) {
        where_ = "SNMP agent at " + (source.host.find(':') != std::string::npos ? "[" + source.host + "]" : source.host) +
                 ":" + std::to_string(source.port);
    }
    ~Reader() {
        if (session_ == nullptr) return;
        // net-snmp keeps the SNMPv3 user it made for the session, keys and
        // all, and would use it for the next session to the same engine
        // even with other passes: each reading makes its own.
        const netsnmp_session *session = snmp_sess_session(session_);
        if (session->version == SNMP_VERSION_3 && session->securityEngineIDLen != 0) {
            if (usmUser *user = usm_get_user(session->securityEngineID, session->securityEngineIDLen,
                                             session->securityName)) {
                usm_remove_user(user);  // returns the list, not the user
                usm_free_user(user);
            }
        }
        snmp_sess_close(session_);
    }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    bool Open();
    const std::string &Where() const { return where_; }
    bool Truncated() const { return truncated_; }

    // Calls `visit` with each value under `root` in order, until it returns
    // false or the subtree ends; false (error set) when an exchange fails.
    bool Walk(const Oid &root, const std::function<bool(const netsnmp_variable_list *)> &visit);
    // The values of `names` (missing ones left out); false when an exchange fails.
    bool Get(const std::vector<Oid> &names, const std::function<void(const netsnmp_variable_list *)> &visit);
    // Counts a value against the byte bound; false once past it.
    bool Spend(const netsnmp_variable_list *v) {
        bytes_ += v->val_len + v->name_length * sizeof(oid) + 16;
        if (bytes_ > kMaxMibBytes) truncated_ = true;
        return bytes_ <= kMaxMibBytes;
    }
    void MarkTruncated() { truncated_ = true; }

private:
    bool Fail(const std::string &what) {
        *error_ = where_ + what;
        return false;
    }
    bool NoAnswer() {
        return Fail(source_.version == SnmpVersion::kV3
                        ? ": no answer: check the agent's address and port, and that it serves SNMPv3"
                        : ": no answer: check the agent's address, port and community");
    }
    bool LibraryError(int code, const char *message);
    // The response to `request` (which it frees); nullptr with the error set.
    netsnmp_pdu *Exchange(netsnmp_pdu *request);
    long TimeLeftMicroseconds() const {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     deadline_ - std::chrono::steady_clock::now())
                                     .count());
    }

    const PrinterMibSource &source_;
    std::chrono::steady_clock::time_point deadline_;
    std::string *error_;
    std::string where_;
    void *session_ = nullptr;
    size_t bytes_ = 0;
    bool truncated_ = false;
};

struct Protocol {
    const char *name;
    const oid *id;
    size_t length;
};

const Protocol kAuthProtocols[] = {
    {"md5", usmHMACMD5AuthProtocol, 10},          {"sha", usmHMACSHA1AuthProtocol, 10},
    {"sha1", usmHMACSHA1AuthProtocol, 10},        {"sha224", usmHMAC128SHA224AuthProtocol, 10},
    {"sha256", usmHMAC192SHA256AuthProtocol, 10}, {"sha384", usmHMAC256SHA384AuthProtocol, 10},
    {"sha512", usmHMAC384SHA512AuthProtocol, 10},
};
const Protocol kPrivProtocols[] = {
    {"des", usmDESPrivProtocol, 10},       {"aes", usmAESPrivProtocol, 10},
    {"aes128", usmAESPrivProtocol, 10},    {"aes192", usmAES192PrivProtocol, 9},
    {"aes256", usmAES256PrivProtocol, 9},
};

template <size_t N>
const Protocol *FindProtocol(const Protocol (&table)[N], const std::string &name, const char *fallback) {
    const std::string key = name.empty() ? fallback : Lower(name);
    for (const Protocol &p : table) {
        if (key == p.name) return &p;
    }
    return nullptr;
}

bool Reader::Open() {
    InitLibrary();
    const long left = TimeLeftMicroseconds();
    if (left <= 0) return Fail(": no time left to read the printer MIB");
    netsnmp_session settings;
    snmp_sess_init(&settings);
    const bool v6 = source_.host.find(':') != std::string::npos;
    std::string peer = (v6 ? "udp6:[" + source_.host + "]" : "udp:" + source_.host) + ":" + std::to_string(source_.port);
    std::string community = source_.community;
    std::string user = source_.v3.user, context = source_.v3.context;
    settings.peername = peer.data();
    settings.retries = 1;
    settings.timeout = std::max(left / 2, 1000L);
    if (source_.version != SnmpVersion::kV3) {
        settings.version = source_.version == SnmpVersion::kV1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        settings.community = reinterpret_cast<u_char *>(community.data());
        settings.community_len = community.size();
    } else {
        const SnmpV3User &v3 = source_.v3;
        if (v3.user.empty()) return Fail(": SNMPv3 needs a user name");
        if (v3.authPass.empty() && !v3.privPass.empty()) {
            return Fail(": SNMPv3 privacy (a priv pass) needs authentication (an auth pass) too");
        }
        settings.version = SNMP_VERSION_3;
        settings.securityModel = USM_SEC_MODEL_NUMBER;
        settings.securityName = user.data();
        settings.securityNameLen = user.size();
        settings.contextName = context.data();
        settings.contextNameLen = context.size();
        settings.securityLevel = v3.authPass.empty()   ? SNMP_SEC_LEVEL_NOAUTH
                                 : v3.privPass.empty() ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                                       : SNMP_SEC_LEVEL_AUTHPRIV;
        if (!v3.authPass.empty()) {
            const Protocol *auth = FindProtocol(kAuthProtocols, v3.authProtocol, "sha");
            if (auth == nullptr) {
                return Fail(": unknown SNMPv3 auth protocol \"" + v3.authProtocol +
                            "\" (MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512)");
            }
            if (v3.authPass.size() < 8) return Fail(": the SNMPv3 auth pass must have at least 8 characters");
            settings.securityAuthProto = const_cast<oid *>(auth->id);
            settings.securityAuthProtoLen = auth->length;
            settings.securityAuthKeyLen = USM_AUTH_KU_LEN;
            if (generate_Ku(settings.securityAuthProto, static_cast<u_int>(settings.securityAuthProtoLen),
                            reinterpret_cast<const u_char *>(v3.authPass.data()), v3.authPass.size(),
                            settings.securityAuthKey, &settings.securityAuthKeyLen) != SNMPERR_SUCCESS) {
                return Fail(": cannot make the SNMPv3 authentication key");
            }
        }
        if (!v3.privPass.empty()) {
            const Protocol *priv = FindProtocol(kPrivProtocols, v3.privProtocol, "aes");
            if (priv == nullptr) {
                return Fail(": unknown SNMPv3 priv protocol \"" + v3.privProtocol + "\" (DES, AES, AES-192 or AES-256)");
            }
            if (v3.privPass.size() < 8) return Fail(": the SNMPv3 priv pass must have at least 8 characters");
            settings.securityPrivProto = const_cast<oid *>(priv->id);
            settings.securityPrivProtoLen = priv->length;
            settings.securityPrivKeyLen = USM_PRIV_KU_LEN;
            if (generate_Ku(settings.securityAuthProto, static_cast<u_int>(settings.securityAuthProtoLen),
                            reinterpret_cast<const u_char *>(v3.privPass.data()), v3.privPass.size(),
                            settings.securityPrivKey, &settings.securityPrivKeyLen) != SNMPERR_SUCCESS) {
                return Fail(": cannot make the SNMPv3 privacy key");
            }
        }
    }
    // SNMPv3 asks the agent for its engine ID here, before any request.
    snmp_errno = 0;
    session_ = snmp_sess_open(&settings);
    if (session_ == nullptr) {
        const int code = settings.s_snmp_errno != 0 ? settings.s_snmp_errno : snmp_errno;
        if (code == SNMPERR_TIMEOUT || (source_.version == SnmpVersion::kV3 && code == 0)) return NoAnswer();
        if (code == SNMPERR_BAD_ADDRESS || code == 0) {
            return Fail(": cannot open an SNMP session (is the address right?)");
        }
        return LibraryError(code, snmp_api_errstring(code));
    }
    return true;
}

bool Reader::LibraryError(int code, const char *message) {
    const std::string user = "\"" + source_.v3.user + "\"";
    switch (code) {
        case SNMPERR_TIMEOUT:
            return NoAnswer();
        case SNMPERR_AUTHENTICATION_FAILURE:
            return Fail(": SNMPv3 authentication failed for user " + user +
                        " (the agent reported a wrong digest): check the auth protocol and auth pass");
        case SNMPERR_UNKNOWN_USER_NAME:
            return Fail(": the agent does not know the SNMPv3 user " + user);
        case SNMPERR_DECRYPTION_ERR:
            return Fail(": the agent could not decrypt the request of SNMPv3 user " + user +
                        ": check the priv protocol and priv pass");
        case SNMPERR_UNSUPPORTED_SEC_LEVEL:
            return Fail(": the agent does not allow SNMPv3 user " + user +
                        " this security level: give (or leave out) the auth and priv passes it expects");
        case SNMPERR_UNKNOWN_ENG_ID:
            return Fail(": the agent did not accept the SNMPv3 engine ID");
        case SNMPERR_NOT_IN_TIME_WINDOW:
            return Fail(": the agent's SNMPv3 clock could not be matched");
        default:
            return Fail(std::string(": the request failed (") + (message != nullptr ? message : "unknown error") + ")");
    }
}

netsnmp_pdu *Reader::Exchange(netsnmp_pdu *request) {
    const long left = TimeLeftMicroseconds();
    if (left <= 0) {
        snmp_free_pdu(request);
        Fail(": the printer MIB could not be read before the deadline");
        return nullptr;
    }
    netsnmp_session *session = snmp_sess_session(session_);
    session->timeout = std::max(left / 2, 1000L);
    session->retries = 1;
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session_, request, &response);
    if (status == STAT_SUCCESS && response != nullptr) return response;
    if (response != nullptr) snmp_free_pdu(response);
    if (status == STAT_TIMEOUT) {
        NoAnswer();
        return nullptr;
    }
    int code = 0, system = 0;
    char *message = nullptr;
    snmp_sess_error(session_, &system, &code, &message);
    LibraryError(code, message);
    free(message);
    return nullptr;
}

bool Reader::Walk(const Oid &root, const std::function<bool(const netsnmp_variable_list *)> &visit) {
    Oid cursor = root;
    long repetitions = kBulkRepetitions;
    for (;;) {
        const bool v1 = source_.version == SnmpVersion::kV1;
        netsnmp_pdu *request = snmp_pdu_create(v1 ? SNMP_MSG_GETNEXT : SNMP_MSG_GETBULK);
        if (!v1) {
            request->non_repeaters = 0;
            request->max_repetitions = repetitions;
        }
        snmp_add_null_var(request, cursor.data(), cursor.size());
        netsnmp_pdu *response = Exchange(request);
        if (response == nullptr) return false;
        struct Free {
            netsnmp_pdu *pdu;
            ~Free() { snmp_free_pdu(pdu); }
        } freeResponse{response};
        if (v1 && response->errstat == SNMP_ERR_NOSUCHNAME) return true;  // past the end of the MIB
        if (response->errstat == SNMP_ERR_TOOBIG && repetitions > 1) {
            repetitions /= 2;
            continue;
        }
        if (response->errstat != SNMP_ERR_NOERROR) {
            return Fail(std::string(": the agent refused a walk: ") +
                        snmp_errstring(static_cast<int>(response->errstat)));
        }
        if (response->variables == nullptr) return true;
        for (const netsnmp_variable_list *v = response->variables; v != nullptr; v = v->next_variable) {
            if (v->type == SNMP_ENDOFMIBVIEW || v->type == SNMP_NOSUCHOBJECT || v->type == SNMP_NOSUCHINSTANCE) {
                return true;
            }
            if (v->name_length <= root.size() ||
                snmp_oid_compare(v->name, root.size(), root.data(), root.size()) != 0) {
                return true;  // past the subtree
            }
            // An agent that goes backwards would walk for ever: what came so far is kept.
            if (snmp_oid_compare(v->name, v->name_length, cursor.data(), cursor.size()) <= 0) {
                truncated_ = true;
                return true;
            }
            cursor.assign(v->name, v->name + v->name_length);
            if (!Spend(v) || !visit(v)) return true;
        }
    }
}

bool Reader::Get(const std::vector<Oid> &names, const std::function<void(const netsnmp_variable_list *)> &visit) {
    // SNMPv1 fails a whole request for one missing name: one name a request.
    const bool v1 = source_.version == SnmpVersion::kV1;
    for (size_t first = 0; first < names.size(); first = v1 ? first + 1 : names.size()) {
        netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
        for (size_t i = first; i < (v1 ? first + 1 : names.size()); ++i) {
            snmp_add_null_var(request, names[i].data(), names[i].size());
        }
        netsnmp_pdu *response = Exchange(request);
        if (response == nullptr) return false;
        if (response->errstat == SNMP_ERR_NOERROR) {
            for (const netsnmp_variable_list *v = response->variables; v != nullptr; v = v->next_variable) {
                if (v->type != SNMP_NOSUCHOBJECT && v->type != SNMP_NOSUCHINSTANCE && v->type != SNMP_ENDOFMIBVIEW &&
                    Spend(v)) {
                    visit(v);
                }
            }
        }
        snmp_free_pdu(response);
    }
    return true;
}

// Rows of a table with the index (hrDeviceIndex, row index), in index order.
template <typename Row>
class Table {
public:
    explicit Table(Reader &reader) : reader_(reader) {}
    // Walks the entry `root`; `set` stores one column's value in a row.
    bool Read(const Oid &root, const std::function<void(Row &, oid column, const netsnmp_variable_list *)> &set) {
        return reader_.Walk(root, [&](const netsnmp_variable_list *v) {
            if (v->name_length != root.size() + 3) return true;  // not (column, device, index)
            const oid column = v->name[root.size()];
            const std::pair<oid, oid> key{v->name[root.size() + 1], v->name[root.size() + 2]};
            auto found = rows_.find(key);
            if (found == rows_.end()) {
                if (rows_.size() >= kMaxMibRows) {
                    reader_.MarkTruncated();
                    return true;
                }
                found = rows_.emplace(key, Row{}).first;
                found->second.deviceIndex = static_cast<int32_t>(std::min<oid>(key.first, INT32_MAX));
                found->second.index = static_cast<int32_t>(std::min<oid>(key.second, INT32_MAX));
            }
            set(found->second, column, v);
            return true;
        });
    }
    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        for (const auto &[key, row] : rows_) rows.push_back(row);
        return rows;
    }
    const std::map<std::pair<oid, oid>, Row> &Map() const { return rows_; }

private:
    Reader &reader_;
    std::map<std::pair<oid, oid>, Row> rows_;
};

struct Colorant {
    int32_t deviceIndex = 0, index = 0;
    std::optional<std::string> value;
};

}  // namespace

std::optional<MibReading> ReadPrinterMib(const PrinterMibSource &source, std::chrono::steady_clock::time_point deadline,
                                         std::string *error) {
    // net-snmp keeps SNMPv3 users in one list without a lock: v3 readings
    // of several threads take turns.
    static std::mutex v3Users;
    std::unique_lock<std::mutex> turn(v3Users, std::defer_lock);
    if (source.version == SnmpVersion::kV3) turn.lock();
    Reader reader(source, deadline, error);
    if (!reader.Open()) return std::nullopt;
    MibReading mib;

    // The printer's row of the Host Resources MIB: the first of hrPrinterTable.
    bool ok = reader.Walk(kPrinterEntry, [&](const netsnmp_variable_list *v) {
        if (v->name_length != kPrinterEntry.size() + 2) return true;
        const int32_t device = static_cast<int32_t>(std::min<oid>(v->name[kPrinterEntry.size() + 1], INT32_MAX));
        if (mib.printerDevice && *mib.printerDevice != device) return true;
        mib.printerDevice = device;
        const oid column = v->name[kPrinterEntry.size()];
        if (column == 1) mib.printerStatus = Integer(v);
        if (column == 2 && Octets(v)) {
            mib.errorState = Octets(v);
            mib.errorFlags = DecodeErrorState(*mib.errorState);
        }
        return column <= 2;
    });
    if (!ok) return std::nullopt;

    Table<MibSupply> supplies(reader);
    ok = supplies.Read(kSuppliesEntry, [](MibSupply &s, oid column, const netsnmp_variable_list *v) {
        switch (column) {
            case 2: s.markerIndex = Integer(v); break;
            case 3: s.colorantIndex = Integer(v); break;
            case 4: s.supplyClass = Integer(v); break;
            case 5: s.type = Integer(v); break;
            case 6: s.description = Text(v); break;
            case 7: s.unit = Integer(v); break;
            case 8: s.maxCapacity = Integer(v); break;
            case 9: s.level = Integer(v); break;
            default: break;
        }
    });
    if (!ok) return std::nullopt;
    mib.supplies = supplies.Rows();

    // Colorants, only when a supply names one.
    const bool colorants = std::any_of(mib.supplies.begin(), mib.supplies.end(),
                                       [](const MibSupply &s) { return s.colorantIndex.value_or(0) > 0; });
    if (colorants) {
        Table<Colorant> table(reader);
        ok = table.Read(kColorantEntry, [](Colorant &c, oid column, const netsnmp_variable_list *v) {
            if (column == 4 && Octets(v)) c.value = CleanMibText(*Octets(v));
        });
        if (!ok) return std::nullopt;
        for (MibSupply &s : mib.supplies) {
            if (s.colorantIndex.value_or(0) <= 0) continue;
            const auto found = table.Map().find({static_cast<oid>(s.deviceIndex), static_cast<oid>(*s.colorantIndex)});
            if (found != table.Map().end()) s.colorant = found->second.value;
        }
    }

    Table<MibInput> inputs(reader);
    ok = inputs.Read(kInputEntry, [](MibInput &in, oid column, const netsnmp_variable_list *v) {
        switch (column) {
            case 2: in.type = Integer(v); break;
            case 3: in.dimUnit = Integer(v); break;
            case 4: in.mediaFeedDim = Integer(v); break;
            case 5: in.mediaXFeedDim = Integer(v); break;
            case 8: in.capacityUnit = Integer(v); break;
            case 9: in.maxCapacity = Integer(v); break;
            case 10: in.currentLevel = Integer(v); break;
            case 11: in.status = Integer(v); break;
            case 12: in.mediaName = Text(v); break;
            case 13: in.name = Text(v); break;
            case 18: in.description = Text(v); break;
            default: break;
        }
    });
    if (!ok) return std::nullopt;
    mib.inputs = inputs.Rows();

    Table<MibOutput> outputs(reader);
    ok = outputs.Read(kOutputEntry, [](MibOutput &o, oid column, const netsnmp_variable_list *v) {
        switch (column) {
            case 2: o.type = Integer(v); break;
            case 3: o.capacityUnit = Integer(v); break;
            case 4: o.maxCapacity = Integer(v); break;
            case 5: o.remainingCapacity = Integer(v); break;
            case 6: o.status = Integer(v); break;
            case 7: o.name = Text(v); break;
            case 12: o.description = Text(v); break;
            default: break;
        }
    });
    if (!ok) return std::nullopt;
    mib.outputs = outputs.Rows();

    Table<MibAlert> alerts(reader);
    ok = alerts.Read(kAlertEntry, [](MibAlert &a, oid column, const netsnmp_variable_list *v) {
        switch (column) {
            case 2: a.severity = Integer(v); break;
            case 3: a.trainingLevel = Integer(v); break;
            case 4: a.group = Integer(v); break;
            case 5: a.groupIndex = Integer(v); break;
            case 6: a.location = Integer(v); break;
            case 7: a.code = Integer(v); break;
            case 8: a.description = Text(v); break;
            default: break;
        }
    });
    if (!ok) return std::nullopt;
    mib.alerts = alerts.Rows();

    // The device: the printer's row, else the device the tables name.
    std::optional<int32_t> device = mib.printerDevice;
    if (!device && !mib.supplies.empty()) device = mib.supplies.front().deviceIndex;
    if (!device && !mib.inputs.empty()) device = mib.inputs.front().deviceIndex;
    if (!device && !mib.alerts.empty()) device = mib.alerts.front().deviceIndex;

    // The page count: the first marker of the device.
    ok = reader.Walk(kLifeCount, [&](const netsnmp_variable_list *v) {
        if (v->name_length != kLifeCount.size() + 2) return true;
        if (device && static_cast<int64_t>(v->name[kLifeCount.size()]) != *device) return true;
        if (v->val.integer != nullptr && (v->type == ASN_COUNTER || v->type == ASN_INTEGER || v->type == ASN_GAUGE)) {
            mib.pageCount = static_cast<uint32_t>(*v->val.integer & 0xffffffffUL);
        }
        return false;
    });
    if (!ok) return std::nullopt;

    std::vector<Oid> names = {kSysDescr, kSysName};
    if (device) {
        for (Oid name : {kDeviceDescr, kDeviceStatus, kSerialNumber}) {
            name.push_back(static_cast<oid>(*device));
            names.push_back(name);
        }
    }
    ok = reader.Get(names, [&](const netsnmp_variable_list *v) {
        const Oid name(v->name, v->name + v->name_length);
        if (name == kSysDescr) mib.sysDescr = Text(v);
        if (name == kSysName) mib.sysName = Text(v);
        if (name.size() == kDeviceDescr.size() + 1 && std::equal(kDeviceDescr.begin(), kDeviceDescr.end(), name.begin())) {
            mib.deviceDescription = Text(v);
        }
        if (name.size() == kDeviceStatus.size() + 1 &&
            std::equal(kDeviceStatus.begin(), kDeviceStatus.end(), name.begin())) {
            mib.deviceStatus = Integer(v);
        }
        if (name.size() == kSerialNumber.size() + 1 &&
            std::equal(kSerialNumber.begin(), kSerialNumber.end(), name.begin())) {
            mib.serialNumber = Text(v);
        }
    });
    if (!ok) return std::nullopt;

    if (!mib.printerDevice && mib.supplies.empty() && mib.inputs.empty() && mib.outputs.empty() && mib.alerts.empty()) {
        *error = reader.Where() + " answers, but serves neither the Printer MIB nor the Host Resources MIB's printer table";
        return std::nullopt;
    }
    mib.truncated = reader.Truncated();
    return mib;
}

#else

std::optional<MibReading> ReadPrinterMib(const PrinterMibSource &, std::chrono::steady_clock::time_point,
                                         std::string *error) {
    *error = "this build cannot read a printer's MIB over SNMP";
    return std::nullopt;
}

#endif

}  // namespace patmon
