#include "transports/snmp_reader.h"

#ifdef PATMON_HAVE_SNMP
#include <cctype>
#include <mutex>

#include "transports/snmp.h"

namespace patmon {

namespace {

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

}  // namespace

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

bool SnmpReader::Open() {
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

bool SnmpReader::LibraryError(int code, const char *message) {
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

netsnmp_pdu *SnmpReader::Exchange(netsnmp_pdu *request) {
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

bool SnmpReader::Walk(const Oid &root, const std::function<bool(const netsnmp_variable_list *)> &visit) {
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

bool SnmpReader::Get(const std::vector<Oid> &names, const std::function<void(const netsnmp_variable_list *)> &visit) {
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

}  // namespace patmon
#endif
