#include "transports/mib_poll.h"

#include "poll/supplies.h"

namespace patmon {

PrinterMibSource MibSourceOf(const SnmpSource &source) {
    PrinterMibSource mib;
    mib.host = source.host;
    mib.port = source.port;
    mib.community = source.community;
    mib.version = source.version == 1 ? SnmpVersion::kV1 : source.version == 3 ? SnmpVersion::kV3 : SnmpVersion::kV2c;
    auto split = [](const std::string &setting, std::string *protocol, std::string *pass) {
        const size_t colon = setting.find(':');
        if (colon == std::string::npos) return;
        *protocol = setting.substr(0, colon);
        *pass = setting.substr(colon + 1);
    };
    mib.v3.user = source.user;
    split(source.auth, &mib.v3.authProtocol, &mib.v3.authPass);
    split(source.priv, &mib.v3.privProtocol, &mib.v3.privPass);
    return mib;
}

void AddPrinterMib(const SnmpSource &source, std::chrono::steady_clock::time_point deadline, PollResult &result) {
    if (!result.responded) return;
    std::string error;
    const std::optional<MibReading> mib = ReadPrinterMib(MibSourceOf(source), deadline, &error);
    if (!mib) {
        const std::string note = "no supplies: the Printer MIB could not be read (" + error + ")";
        result.problem += (result.problem.empty() ? "" : "; ") + note;
        return;
    }
    MergeMib(result.readings, InterpretMib(*mib));
}

PollResult PollPrinterMib(const SnmpSource &source, std::chrono::milliseconds timeout) {
    std::string error;
    const std::optional<MibReading> mib =
        ReadPrinterMib(MibSourceOf(source), std::chrono::steady_clock::now() + timeout, &error);
    return ResultOfMib(mib, error);
}

PollResult ResultOfMib(const std::optional<MibReading> &mib, const std::string &error) {
    PollResult result;
    if (!mib) {
        result.label = "Not responding";
        result.message = error;
        result.problem = error;
        return result;
    }
    const MibReadings readings = InterpretMib(*mib);
    result.responded = true;
    result.label = readings.state.label;
    result.message = readings.state.message;
    const std::string model = !mib->deviceDescription.empty() ? mib->deviceDescription : mib->sysDescr;
    result.readings = ReadingsOfMib(readings, model, mib->sysDescr);
    return result;
}

}  // namespace patmon
