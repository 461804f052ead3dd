// A synchronous reading of one SNMP agent with net-snmp: a session (v1,
// v2c or v3 with the USM user of the source) bounded by a deadline, walks
// with GETBULK (GETNEXT on v1), GETs, and tables of rows indexed by
// (hrDeviceIndex, row). The Printer MIB reader (printer_mib) is built on it.
#pragma once

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "transports/printer_mib.h"

namespace patmon {

using Oid = std::vector<oid>;

// A value as a 32-bit integer (INTEGER, Counter, Gauge, Unsigned32; the
// unsigned ones cut at INT32_MAX); none for another type.
std::optional<int32_t> Integer(const netsnmp_variable_list *v);

// The bytes of an OCTET STRING; none for another type.
std::optional<std::string> Octets(const netsnmp_variable_list *v);

// A reading's exchanges with one agent.
class SnmpReader {
public:
    SnmpReader(const PrinterMibSource &source, std::chrono::steady_clock::time_point deadline, std::string *error)
        : source_(source), deadline_(deadline), error_(error) {
        where_ = "SNMP agent at " + (source.host.find(':') != std::string::npos ? "[" + source.host + "]" : source.host) +
                 ":" + std::to_string(source.port);
    }
    ~SnmpReader() {
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
    SnmpReader(const SnmpReader &) = delete;
    SnmpReader &operator=(const SnmpReader &) = delete;

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

// Rows of a table with the index (hrDeviceIndex, row index), in index order.
template <typename Row>
class SnmpTable {
public:
    explicit SnmpTable(SnmpReader &reader) : reader_(reader) {}
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
    SnmpReader &reader_;
    std::map<std::pair<oid, oid>, Row> rows_;
};

}  // namespace patmon
#endif
