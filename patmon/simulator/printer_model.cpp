#include "simulator/printer_model.h"

#include <sstream>

namespace patmon {

namespace {

constexpr const char *kUel = "\x1b%-12345X";

TrayModel *Tray(PrinterModel &printer, const char *pjlName) {
    for (TrayModel &tray : printer.trays) {
        if (tray.pjlName == pjlName) return &tray;
    }
    return nullptr;
}

void FitFeedUnits(PrinterModel &p) {
    Tray(p, "2")->installed = true;
    Tray(p, "3")->installed = true;
    Tray(p, "3")->size = "LETTERSRT";
}
void EmptyTray1(PrinterModel &p) { Tray(p, "1")->level = "END"; }
void FitTray2Unit(PrinterModel &p) { Tray(p, "2")->installed = true; }
void NeverAnswer(PrinterModel &p) { p.answers = false; }

SupplyModel *Supply(PrinterModel &printer, const char *name) {
    for (SupplyModel &supply : printer.supplies) {
        if (supply.supply == name) return &supply;
    }
    return nullptr;
}
void BlackLow(PrinterModel &p) { Supply(p, "black")->level = 5; }
void TonersOut(PrinterModel &p) {
    for (const char *colour : {"black", "cyan", "magenta", "yellow"}) Supply(p, colour)->level = 0;
}
void BlackOut(PrinterModel &p) { Supply(p, "black")->level = 0; }
void CyanOut(PrinterModel &p) { Supply(p, "cyan")->level = 0; }
void MagentaOut(PrinterModel &p) { Supply(p, "magenta")->level = 0; }
void YellowOut(PrinterModel &p) { Supply(p, "yellow")->level = 0; }
void WasteFull(PrinterModel &p) { Supply(p, "wasteToner")->level = 100; }

struct ScenarioRow {
    Scenario scenario;
    std::vector<uint32_t> codes;  // engine status codes of the device ID, in order
    int state;
    const char *panelText;
    void (*adjust)(PrinterModel &);  // what else differs from the factory printer
};

// The printer states worth showing; the codes are what a printer of this
// family reports in that state.
const std::vector<ScenarioRow> &Rows() {
    static const std::vector<ScenarioRow> rows = {
        {{"ready", "ready to print"}, {10001}, 1, "READY", nullptr},
        {{"toner-low", "black toner low, still printing"}, {10001, 10072}, 1, "TONER LOW", BlackLow},
        {{"toner-out", "all four toners run out"}, {40012, 40013, 40014, 40015}, 3, "REPLACE TONER", TonersOut},
        {{"toner-out-black", "black toner run out"}, {40012}, 3, "REPLACE BLACK TONER", BlackOut},
        {{"toner-out-cyan", "cyan toner run out"}, {40013}, 3, "REPLACE CYAN TONER", CyanOut},
        {{"toner-out-magenta", "magenta toner run out"}, {40014}, 3, "REPLACE MAGENTA TONER", MagentaOut},
        {{"toner-out-yellow", "yellow toner run out"}, {40015}, 3, "REPLACE YELLOW TONER", YellowOut},
        {{"paper-out", "tray 1 is empty"}, {41213}, 3, "ADD PAPER TO TRAY 1", EmptyTray1},
        {{"cover-open", "top cover open"}, {40208}, 3, "CLOSE TOP COVER", nullptr},
        {{"paper-jam", "paper misfeed behind the front cover"}, {42001}, 3, "PAPER MISFEED", nullptr},
        {{"service-call", "service call with service code SC 541"}, {40800}, 3, "SERVICE CALL SC 541", nullptr},
        {{"waste-toner-full", "waste toner bottle full"}, {40011}, 3, "REPLACE WASTE TONER", WasteFull},
        {{"tray-missing", "tray 2 unit fitted, its tray not detected"}, {41300}, 3, "SET TRAY 2", FitTray2Unit},
        {{"feed-units", "tray 2 and tray 3 units fitted, ready"}, {10001}, 1, "READY", FitFeedUnits},
        {{"offline", "offline"}, {10002}, 2, "OFFLINE", nullptr},
        {{"warming-up", "warming up"}, {10004}, 2, "WARMING UP", nullptr},
        {{"no-response", "the printer never answers"}, {10001}, 1, "READY", NeverAnswer},
    };
    return rows;
}

void AppendReply(std::ostringstream &out, const std::string &echo, const std::string &body) {
    out << echo << "\r\n" << body << '\f';
}

std::string ConfigReply(const PrinterModel &printer) {
    std::ostringstream body;
    // Trays as the configuration lists them; the multi-purpose tray is
    // INTRAYMANUAL there.
    std::vector<std::string> trays;
    for (const TrayModel &tray : printer.trays) {
        if (tray.installed) trays.push_back(tray.pjlName == "M" ? "INTRAYMANUAL" : "INTRAY" + tray.pjlName);
    }
    body << "IN TRAYS [" << trays.size() << " ENUMERATED]\r\n";
    for (const std::string &tray : trays) body << '\t' << tray << "\r\n";
    body << "OUT TRAYS [1 ENUMERATED]\r\n\tUPPER\r\n";
    if (printer.duplex) body << "DUPLEX\r\n";
    if (printer.disk) body << "DISK\r\n";
    body << "MEMORY=" << printer.memoryBytes << "\r\n";
    body << "VERSION [" << printer.versions.size() << " ENUMERATED]\r\n";
    for (const auto &[name, version] : printer.versions) body << '\t' << name << '=' << version << "\r\n";
    body << "LANGUAGES [3 ENUMERATED]\r\n\tPCL\r\n\tPOSTSCRIPT\r\n\tTOLV\r\n";
    return body.str();
}

// The value of an INQUIRE variable, or "?" for one this printer lacks.
std::string InquiryValue(const PrinterModel &printer, const std::string &variable) {
    if (variable == "FRONTCOVERPRINTTRAY") return printer.frontCoverTray;
    const std::string prefix = "INTRAY";
    if (variable.compare(0, prefix.size(), prefix) != 0 || variable.size() == prefix.size()) return "?";
    const std::string rest = variable.substr(prefix.size());
    // INTRAYMULTI is the multi-purpose tray's lock state.
    const std::string name = rest == "MULTI" ? "M" : rest.substr(0, 1);
    const std::string what = rest == "MULTI" ? "" : rest.substr(1);
    for (const TrayModel &tray : printer.trays) {
        if (tray.pjlName != name || !tray.installed) continue;
        if (what.empty()) return tray.locked ? "LOCKED" : "UNLOCKED";
        if (what == "SIZE") return tray.size;
        if (what == "QUANT" && name != "M") return tray.level;
        if (what == "MEDIA") return tray.media;
    }
    return "?";
}

}  // namespace

PrinterModel DefaultPrinter() {
    PrinterModel printer;
    printer.trays = {
        {"M", true, "A4SRT", "FULL", "PLAIN", false},
        {"1", true, "A4SRT", "4/5", "PLAIN", false},
        {"2", false, "A4SRT", "FULL", "PLAIN", false},
        {"3", false, "A4SRT", "FULL", "PLAIN", false},
    };
    printer.supplies = {{"black", 80}, {"cyan", 65}, {"magenta", 70}, {"yellow", 75}, {"wasteToner", 20}, {"drum", 60}};
    printer.versions = {{"FIRMWARE", "1.20"}, {"WENK", "2.05"}, {"POSTSCRIPT", "3.10"}, {"PCL", "1.07"}};
    return printer;
}

const std::vector<Scenario> &BuiltInScenarios() {
    static const std::vector<Scenario> scenarios = [] {
        std::vector<Scenario> list;
        for (const ScenarioRow &row : Rows()) list.push_back(row.scenario);
        return list;
    }();
    return scenarios;
}

std::optional<PrinterModel> ScenarioPrinter(const std::string &name) {
    for (const ScenarioRow &row : Rows()) {
        if (name != row.scenario.name) continue;
        PrinterModel printer = DefaultPrinter();
        printer.statusCodes = row.codes;
        printer.state = row.state;
        printer.panelText = row.panelText;
        if (row.adjust != nullptr) row.adjust(printer);
        return printer;
    }
    return std::nullopt;
}

std::string DeviceIdOf(const PrinterModel &printer) {
    std::ostringstream id;
    id << "MFG:" << printer.maker << ";CMD:PJL,PCL,POSTSCRIPT;MDL:" << printer.model
       << ";CLS:PRINTER;DES:" << printer.description << ";STS:";
    for (size_t i = 0; i < printer.statusCodes.size(); ++i) id << (i != 0 ? "/" : "") << printer.statusCodes[i];
    id << ',' << printer.state << ',' << printer.panelText << ";KWZ:" << printer.pageCount << "/85,70,64,91;";
    return id.str();
}

std::string RepliesTo(const PrinterModel &printer, const std::string &pjl) {
    std::string text = pjl;
    for (size_t at; (at = text.find(kUel)) != std::string::npos;) text.replace(at, 9, "\n");
    std::ostringstream out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        std::istringstream words(line);
        std::string prefix, command, category;
        words >> prefix >> command >> category;
        // ECHO: the printer answers the line itself once it has read
        // everything before it (a job's sender waits for it).
        if (prefix == "@PJL" && command == "ECHO") out << line << "\r\n\f";
        if (prefix != "@PJL" || category.empty()) continue;
        if (command == "INFO") {
            if (category == "CONFIG") {
                AppendReply(out, line, ConfigReply(printer));
            } else if (category == "OUTBINSTATUS") {
                AppendReply(out, line, "UPPER=" + printer.outputBin + "\r\n");
            } else if (category == "TOLV") {
                AppendReply(out, line, "MEMORYUSAGE=PAGE\r\nOTHER=\"Default settings\"\r\nIMAGEROTATION=POSSIBLE\r\n");
            } else {
                AppendReply(out, line, "");
            }
        } else if (command == "INQUIRE") {
            AppendReply(out, line, InquiryValue(printer, category) + "\r\n");
        }
    }
    return out.str();
}

}  // namespace patmon
