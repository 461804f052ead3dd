// A network printer's standard MIBs over SNMP (net-snmp): the Printer MIB
// (RFC 3805) and Host Resources MIB (RFC 2790) read with GETBULK walks
// (GETNEXT for SNMPv1), SNMP v1, v2c or v3, synchronously before a
// deadline. Numeric OIDs only; no MIB files.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "poll/mib_reading.h"

namespace patmon {

enum class SnmpVersion { kV1, kV2c, kV3 };

// An SNMPv3 user (USM). The security level follows from what is given:
// no auth pass, noAuthNoPriv; an auth pass alone, authNoPriv; both
// passes, authPriv. Protocol names (case does not matter): auth "MD5",
// "SHA" (SHA-1), "SHA-224", "SHA-256", "SHA-384", "SHA-512"; priv "DES",
// "AES" (AES-128). Empty protocols mean SHA and AES.
struct SnmpV3User {
    std::string user;
    std::string authProtocol, authPass;
    std::string privProtocol, privPass;
    std::string context;  // the context name; most agents use the empty one
};

struct PrinterMibSource {
    std::string host;  // IPv4, IPv6 or a name
    uint16_t port = 161;
    SnmpVersion version = SnmpVersion::kV2c;
    std::string community = "public";  // v1 and v2c
    SnmpV3User v3;
};

// Bounds of one reading: rows per table, and bytes of values in all.
constexpr size_t kMaxMibRows = 1000;
constexpr size_t kMaxMibBytes = 4 * 1024 * 1024;

// Reads the printer's MIB before `deadline`. nullopt with `error` set (a
// sentence naming the agent and what went wrong) when the agent does not
// answer, refuses the v3 user, or answers nothing of either MIB. Tables
// the agent lacks are empty; a table cut at a bound sets `truncated`.
std::optional<MibReading> ReadPrinterMib(const PrinterMibSource &source,
                                         std::chrono::steady_clock::time_point deadline, std::string *error);

}  // namespace patmon
