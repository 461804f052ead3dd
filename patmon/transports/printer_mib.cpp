#include "transports/printer_mib.h"

#include "transports/snmp_reader.h"

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

// SnmpTable entries (their columns follow) and single objects, RFC 3805 / 2790 / 1213.
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

std::string Text(const netsnmp_variable_list *v) { return CleanMibText(Octets(v).value_or("")); }

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
    SnmpReader reader(source, deadline, error);
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

    SnmpTable<MibSupply> supplies(reader);
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
        SnmpTable<Colorant> table(reader);
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

    SnmpTable<MibInput> inputs(reader);
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

    SnmpTable<MibOutput> outputs(reader);
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

    SnmpTable<MibAlert> alerts(reader);
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
