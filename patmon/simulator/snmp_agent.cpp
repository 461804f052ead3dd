#include "simulator/snmp_agent.h"

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <map>
#include <vector>

#include "transports/snmp.h"

extern "C" void init_vacm_conf(void);  // the rocommunity directive (agent MIB modules)
#endif

namespace patmon {

#ifdef PATMON_HAVE_SNMP

namespace {

int DeviceIdHandler(netsnmp_mib_handler *handler, netsnmp_handler_registration *, netsnmp_agent_request_info *info,
                    netsnmp_request_info *requests) {
    const auto *deviceId = static_cast<const std::function<std::string()> *>(handler->myvoid);
    if (info->mode != MODE_GET) return SNMP_ERR_NOERROR;
    const std::string id = (*deviceId)();
    for (netsnmp_request_info *r = requests; r != nullptr; r = r->next) {
        snmp_set_var_typed_value(r->requestvb, ASN_OCTET_STR, id.data(), id.size());
    }
    return SNMP_ERR_NOERROR;
}

using Oid = std::vector<oid>;

struct Value {
    u_char type = ASN_INTEGER;
    long integer = 0;
    std::string octets;
};
using MibValues = std::map<Oid, Value>;

const Oid kMib2 = {1, 3, 6, 1, 2, 1};

// Every value of the MIB under mib-2, by OID.
MibValues ValuesOf(const MibReading &mib) {
    MibValues values;
    auto integer = [&](Oid name, std::optional<int32_t> value, u_char type = ASN_INTEGER) {
        if (value) values[std::move(name)] = Value{type, *value, {}};
    };
    auto text = [&](Oid name, const std::string &value) { values[std::move(name)] = Value{ASN_OCTET_STR, 0, value}; };
    auto cell = [](Oid entry, oid column, int32_t device, int32_t index) {
        entry.push_back(column);
        entry.push_back(static_cast<oid>(device));
        entry.push_back(static_cast<oid>(index));
        return entry;
    };
    text({1, 3, 6, 1, 2, 1, 1, 1, 0}, mib.sysDescr);
    text({1, 3, 6, 1, 2, 1, 1, 5, 0}, mib.sysName);
    if (mib.printerDevice) {
        const oid device = static_cast<oid>(*mib.printerDevice);
        values[{1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 1, device}] = Value{ASN_INTEGER, *mib.printerDevice, {}};
        text({1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 3, device}, mib.deviceDescription);
        integer({1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 5, device}, mib.deviceStatus);
        integer({1, 3, 6, 1, 2, 1, 25, 3, 5, 1, 1, device}, mib.printerStatus);
        if (mib.errorState) text({1, 3, 6, 1, 2, 1, 25, 3, 5, 1, 2, device}, *mib.errorState);
        text({1, 3, 6, 1, 2, 1, 43, 5, 1, 1, 17, device}, mib.serialNumber);
        if (mib.pageCount) {
            values[{1, 3, 6, 1, 2, 1, 43, 10, 2, 1, 4, device, 1}] = Value{ASN_COUNTER, static_cast<long>(*mib.pageCount), {}};
        }
    }
    const Oid supplies = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1}, colorants = {1, 3, 6, 1, 2, 1, 43, 12, 1, 1};
    for (const MibSupply &s : mib.supplies) {
        integer(cell(supplies, 2, s.deviceIndex, s.index), s.markerIndex);
        integer(cell(supplies, 3, s.deviceIndex, s.index), s.colorantIndex);
        integer(cell(supplies, 4, s.deviceIndex, s.index), s.supplyClass);
        integer(cell(supplies, 5, s.deviceIndex, s.index), s.type);
        text(cell(supplies, 6, s.deviceIndex, s.index), s.description);
        integer(cell(supplies, 7, s.deviceIndex, s.index), s.unit);
        integer(cell(supplies, 8, s.deviceIndex, s.index), s.maxCapacity);
        integer(cell(supplies, 9, s.deviceIndex, s.index), s.level);
        if (s.colorant && s.colorantIndex.value_or(0) > 0) {
            integer(cell(colorants, 2, s.deviceIndex, *s.colorantIndex), s.markerIndex);
            integer(cell(colorants, 3, s.deviceIndex, *s.colorantIndex), 3);  // process
            text(cell(colorants, 4, s.deviceIndex, *s.colorantIndex), *s.colorant);
            integer(cell(colorants, 5, s.deviceIndex, *s.colorantIndex), 256);
        }
    }
    const Oid inputs = {1, 3, 6, 1, 2, 1, 43, 8, 2, 1};
    for (const MibInput &in : mib.inputs) {
        integer(cell(inputs, 2, in.deviceIndex, in.index), in.type);
        integer(cell(inputs, 3, in.deviceIndex, in.index), in.dimUnit);
        integer(cell(inputs, 4, in.deviceIndex, in.index), in.mediaFeedDim);
        integer(cell(inputs, 5, in.deviceIndex, in.index), in.mediaXFeedDim);
        integer(cell(inputs, 8, in.deviceIndex, in.index), in.capacityUnit);
        integer(cell(inputs, 9, in.deviceIndex, in.index), in.maxCapacity);
        integer(cell(inputs, 10, in.deviceIndex, in.index), in.currentLevel);
        integer(cell(inputs, 11, in.deviceIndex, in.index), in.status);
        text(cell(inputs, 12, in.deviceIndex, in.index), in.mediaName);
        text(cell(inputs, 13, in.deviceIndex, in.index), in.name);
        text(cell(inputs, 18, in.deviceIndex, in.index), in.description);
    }
    const Oid outputs = {1, 3, 6, 1, 2, 1, 43, 9, 2, 1};
    for (const MibOutput &o : mib.outputs) {
        integer(cell(outputs, 2, o.deviceIndex, o.index), o.type);
        integer(cell(outputs, 3, o.deviceIndex, o.index), o.capacityUnit);
        integer(cell(outputs, 4, o.deviceIndex, o.index), o.maxCapacity);
        integer(cell(outputs, 5, o.deviceIndex, o.index), o.remainingCapacity);
        integer(cell(outputs, 6, o.deviceIndex, o.index), o.status);
        text(cell(outputs, 7, o.deviceIndex, o.index), o.name);
        text(cell(outputs, 12, o.deviceIndex, o.index), o.description);
    }
    const Oid alerts = {1, 3, 6, 1, 2, 1, 43, 18, 1, 1};
    for (const MibAlert &a : mib.alerts) {
        integer(cell(alerts, 2, a.deviceIndex, a.index), a.severity);
        integer(cell(alerts, 3, a.deviceIndex, a.index), a.trainingLevel);
        integer(cell(alerts, 4, a.deviceIndex, a.index), a.group);
        integer(cell(alerts, 5, a.deviceIndex, a.index), a.groupIndex);
        integer(cell(alerts, 6, a.deviceIndex, a.index), a.location);
        integer(cell(alerts, 7, a.deviceIndex, a.index), a.code);
        text(cell(alerts, 8, a.deviceIndex, a.index), a.description);
        values[cell(alerts, 9, a.deviceIndex, a.index)] = Value{ASN_TIMETICKS, 0, {}};
    }
    return values;
}

void SetValue(netsnmp_variable_list *vb, const Value &value) {
    if (value.type == ASN_OCTET_STR) {
        snmp_set_var_typed_value(vb, ASN_OCTET_STR, value.octets.data(), value.octets.size());
    } else if (value.type == ASN_INTEGER) {
        const long v = value.integer;
        snmp_set_var_typed_value(vb, ASN_INTEGER, &v, sizeof v);
    } else {
        const u_long v = static_cast<u_long>(value.integer);
        snmp_set_var_typed_value(vb, value.type, &v, sizeof v);
    }
}

// The whole of mib-2 this agent serves, from one sorted map: GET finds the
// name, GETNEXT (and so GETBULK, which the agent turns into GETNEXTs) the
// first name after it. A GETNEXT past the last value is left unanswered,
// so the agent goes on to the next registration.
int MibHandler(netsnmp_mib_handler *handler, netsnmp_handler_registration *, netsnmp_agent_request_info *info,
               netsnmp_request_info *requests) {
    const auto *values = static_cast<const MibValues *>(handler->myvoid);
    for (netsnmp_request_info *r = requests; r != nullptr; r = r->next) {
        netsnmp_variable_list *vb = r->requestvb;
        const Oid name(vb->name, vb->name + vb->name_length);
        if (info->mode == MODE_GET) {
            const auto found = values->find(name);
            if (found != values->end()) {
                SetValue(vb, found->second);
            } else {
                netsnmp_set_request_error(info, r, SNMP_NOSUCHINSTANCE);
            }
        } else if (info->mode == MODE_GETNEXT) {
            const auto next = values->upper_bound(name);
            if (next == values->end()) continue;
            snmp_set_var_objid(vb, next->first.data(), next->first.size());
            SetValue(vb, next->second);
        }
    }
    return SNMP_ERR_NOERROR;
}

}  // namespace

bool ServeDeviceId(const std::string &address, const std::function<std::string()> &deviceId,
                   const std::atomic<bool> &stop, const std::function<void()> &ready, std::string *error) {
    return ServePrinter(address, deviceId, [] { return MibReading{}; }, stop, ready, error);
}

bool ServePrinter(const std::string &address, const std::function<std::string()> &deviceId,
                  const std::function<MibReading()> &mib, const std::atomic<bool> &stop,
                  const std::function<void()> &ready, std::string *error) {
    QuietSnmpLibrary();
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 0);  // a master agent
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_NO_ROOT_ACCESS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
    // No SMUX peer port (0.0.0.0:199 when run as root): the agent serves
    // only the address it was given.
    char noSmux[] = "-smux";
    add_to_init_list(noSmux);
    const std::string ports = "udp:" + address;
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS, ports.c_str());
    init_agent("patmon");
    init_vacm_conf();
    char community[] = "rocommunity public";
    netsnmp_config(community);
    const oid instance[] = {1, 3, 6, 1, 4, 1, 2699, 1, 2, 1, 2, 1, 1, 3, 1};
    netsnmp_handler_registration *registration = netsnmp_create_handler_registration(
        "ppmPrinterIEEE1284DeviceId", DeviceIdHandler, instance, sizeof instance / sizeof instance[0],
        HANDLER_CAN_RONLY);
    registration->handler->myvoid = const_cast<std::function<std::string()> *>(&deviceId);
    netsnmp_register_read_only_instance(registration);
    MibValues values = ValuesOf(mib());
    netsnmp_handler_registration *mibRegistration = netsnmp_create_handler_registration(
        "printerMib", MibHandler, kMib2.data(), kMib2.size(), HANDLER_CAN_RONLY);
    mibRegistration->handler->myvoid = &values;
    netsnmp_register_handler(mibRegistration);
    init_snmp("patmon");
    if (init_master_agent() != 0) {
        *error = "cannot serve SNMP on " + address;
        snmp_shutdown("patmon");
        return false;
    }
    ready();
    while (!stop.load()) {
        // Waits at most a second, so that a stop is seen soon.
        int fds = 0, block = 0;
        fd_set readers;
        FD_ZERO(&readers);
        timeval wait{1, 0};
        snmp_select_info(&fds, &readers, &wait, &block);
        wait = timeval{0, 200000};
        if (select(fds, &readers, nullptr, nullptr, &wait) > 0) {
            values = ValuesOf(mib());  // the printer as it is now
            snmp_read(&readers);
        } else {
            snmp_timeout();
        }
        run_alarms();
    }
    snmp_shutdown("patmon");
    return true;
}

#else

bool ServeDeviceId(const std::string &, const std::function<std::string()> &, const std::atomic<bool> &,
                   const std::function<void()> &, std::string *error) {
    *error = "this build has no SNMP agent";
    return false;
}

bool ServePrinter(const std::string &, const std::function<std::string()> &, const std::function<MibReading()> &,
                  const std::atomic<bool> &, const std::function<void()> &, std::string *error) {
    *error = "this build has no SNMP agent";
    return false;
}

#endif

}  // namespace patmon
