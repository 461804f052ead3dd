#include "simulator/snmp_agent.h"

#ifdef PATMON_HAVE_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

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

}  // namespace

bool ServeDeviceId(const std::string &address, const std::function<std::string()> &deviceId,
                   const std::atomic<bool> &stop, const std::function<void()> &ready, std::string *error) {
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

#endif

}  // namespace patmon
