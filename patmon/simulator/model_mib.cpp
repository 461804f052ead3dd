#include "simulator/model_mib.h"

#include <algorithm>
#include <map>

namespace patmon {

namespace {

// RFC 3805 values the virtual printer uses.
constexpr int32_t kConsumed = 3, kReceptacle = 4;                        // prtMarkerSuppliesClass
constexpr int32_t kTypeToner = 3, kTypeWasteToner = 4, kTypeOpc = 9;     // prtMarkerSuppliesType
constexpr int32_t kUnitImpressions = 7, kUnitPercent = 19;               // prtMarkerSuppliesSupplyUnit
constexpr int32_t kCritical = 3, kWarning = 4;                           // prtAlertSeverityLevel
constexpr int32_t kTrained = 4, kFieldService = 5;                       // prtAlertTrainingLevel
constexpr int32_t kGroupGeneral = 5, kGroupCover = 6, kGroupInput = 8, kGroupOutput = 9, kGroupSupplies = 11,
                  kGroupMediaPath = 13;                                  // prtAlertGroup
constexpr int32_t kDrumImpressions = 60000;

bool Has(const PrinterModel &printer, uint32_t code) {
    return std::find(printer.statusCodes.begin(), printer.statusCodes.end(), code) != printer.statusCodes.end();
}

struct SupplyKind {
    const char *supply;
    int32_t colorant;  // 0: none
    int32_t supplyClass, type, unit, max;
    const char *description;
};
const SupplyKind kSupplyKinds[] = {
    {"black", 1, kConsumed, kTypeToner, kUnitPercent, 100, "Black Toner Cartridge"},
    {"cyan", 2, kConsumed, kTypeToner, kUnitPercent, 100, "Cyan Toner Cartridge"},
    {"magenta", 3, kConsumed, kTypeToner, kUnitPercent, 100, "Magenta Toner Cartridge"},
    {"yellow", 4, kConsumed, kTypeToner, kUnitPercent, 100, "Yellow Toner Cartridge"},
    {"wasteToner", 0, kReceptacle, kTypeWasteToner, kUnitPercent, 100, "Waste Toner Bottle"},
    {"drum", 0, kConsumed, kTypeOpc, kUnitImpressions, kDrumImpressions, "Photoconductor Unit"},
};

std::string Capitalised(std::string word) {
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

// Paper sizes in micrometres (cross-feed, feed) for the PJL words.
std::pair<int32_t, int32_t> Dimensions(const std::string &size) {
    static const std::map<std::string, std::pair<int32_t, int32_t>> sizes = {
        {"A4SRT", {210000, 297000}}, {"A4", {297000, 210000}},      {"LETTERSRT", {215900, 279400}},
        {"LETTER", {279400, 215900}}, {"LEGAL", {215900, 355600}},  {"A5SRT", {148000, 210000}},
        {"A6", {105000, 148000}},    {"JISB5SRT", {182000, 257000}}, {"EXECUTIVES", {184200, 266700}},
    };
    const auto found = sizes.find(size);
    return found != sizes.end() ? found->second : std::pair<int32_t, int32_t>{-2, -2};
}

}  // namespace

MibReading MibOf(const PrinterModel &printer) {
    MibReading mib;
    mib.printerDevice = 1;
    mib.deviceDescription = printer.maker + " " + printer.model;
    std::string firmware;
    for (const auto &[name, version] : printer.versions) {
        if (name == "FIRMWARE") firmware = version;
    }
    mib.sysDescr = printer.maker + " " + printer.model + (firmware.empty() ? "" : " firmware " + firmware);
    mib.sysName = "virtual-printer";
    mib.serialNumber = printer.serialNumber;
    mib.pageCount = printer.pageCount;
    PrinterErrorFlags &flags = mib.errorFlags;
    auto alert = [&](int32_t severity, int32_t training, int32_t group, int32_t groupIndex, int32_t code,
                     const std::string &description) {
        MibAlert a;
        a.deviceIndex = 1;
        a.index = static_cast<int32_t>(mib.alerts.size()) + 1;
        a.severity = severity;
        a.trainingLevel = training;
        a.group = group;
        a.groupIndex = groupIndex;
        a.location = -1;
        a.code = code;
        a.description = description;
        mib.alerts.push_back(a);
    };

    // Supplies: levels in percent, the drum in impressions left.
    for (size_t i = 0; i < printer.supplies.size(); ++i) {
        const SupplyModel &model = printer.supplies[i];
        const SupplyKind *kind = nullptr;
        for (const SupplyKind &k : kSupplyKinds) {
            if (model.supply == k.supply) kind = &k;
        }
        if (kind == nullptr) continue;
        MibSupply s;
        s.deviceIndex = 1;
        s.index = static_cast<int32_t>(i) + 1;
        s.markerIndex = 1;
        s.colorantIndex = kind->colorant;
        if (kind->colorant != 0) s.colorant = model.supply;
        s.supplyClass = kind->supplyClass;
        s.type = kind->type;
        s.description = kind->description;
        s.unit = kind->unit;
        s.maxCapacity = kind->max;
        const bool known = model.level >= 0;
        const int percent = std::clamp(model.level, 0, 100);
        // A receptacle's level is the space left in it.
        const int left = kind->supplyClass == kReceptacle ? 100 - percent : percent;
        s.level = known ? static_cast<int32_t>(static_cast<int64_t>(left) * kind->max / 100) : model.level;
        mib.supplies.push_back(s);
        if (!known) continue;
        const std::string name = kind->description;
        if (kind->type == kTypeToner) {
            if (percent == 0) {
                flags.noToner = true;
                alert(kCritical, kTrained, kGroupSupplies, s.index, 1101, Capitalised(model.supply) + " toner empty");
            } else if (percent <= 10) {
                flags.lowToner = true;
                alert(kWarning, kTrained, kGroupSupplies, s.index, 1104,
                      Capitalised(model.supply) + " toner almost empty");
            }
        } else if (kind->type == kTypeWasteToner) {
            if (percent >= 100) alert(kCritical, kTrained, kGroupSupplies, s.index, 1109, "Waste toner bottle full");
            else if (percent >= 90) alert(kWarning, kTrained, kGroupSupplies, s.index, 1107, "Waste toner bottle almost full");
        } else if (kind->type == kTypeOpc) {
            if (percent == 0) alert(kCritical, kTrained, kGroupSupplies, s.index, 1112, "Photoconductor unit worn out");
            else if (percent <= 10) alert(kWarning, kTrained, kGroupSupplies, s.index, 1111, "Photoconductor unit nearly worn out");
        }
    }

    // Inputs: every installed tray, its index its place in the model.
    const bool stoppedForPaper = Has(printer, 41213);
    for (size_t i = 0; i < printer.trays.size(); ++i) {
        const TrayModel &tray = printer.trays[i];
        if (!tray.installed) continue;
        const bool bypass = tray.pjlName == "M";
        MibInput in;
        in.deviceIndex = 1;
        in.index = static_cast<int32_t>(i) + 1;
        in.type = bypass ? 4 : 3;  // sheetFeedManual, sheetFeedAutoRemovableTray
        in.dimUnit = 4;            // micrometres
        const auto [xfeed, feed] = Dimensions(tray.size);
        in.mediaFeedDim = feed;
        in.mediaXFeedDim = xfeed;
        in.capacityUnit = 8;  // sheets
        in.maxCapacity = bypass ? 100 : 500;
        in.status = 0;
        in.name = bypass ? "Bypass Tray" : "Tray " + tray.pjlName;
        in.description = bypass ? "Multi-purpose bypass tray" : "Paper tray " + tray.pjlName;
        in.mediaName = tray.media;
        for (char &c : in.mediaName) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        const bool missing = Has(printer, 41300) && tray.pjlName == "2";
        if (missing) {
            in.currentLevel = -2;
            flags.inputTrayMissing = true;
            alert(kCritical, kTrained, kGroupInput, in.index, 801, in.name + " missing");
        } else if (tray.level == "END") {
            in.currentLevel = 0;
            flags.inputTrayEmpty = true;
            alert(stoppedForPaper ? kCritical : kWarning, kTrained, kGroupInput, in.index, 808, in.name + " empty");
        } else if (bypass) {
            in.currentLevel = -3;  // the bypass tray senses paper, not how much
        } else if (tray.level == "FULL") {
            in.currentLevel = *in.maxCapacity;
        } else if (tray.level.size() == 3 && tray.level[1] == '/' && tray.level[0] >= '1' && tray.level[0] <= '4') {
            in.currentLevel = *in.maxCapacity * (tray.level[0] - '0') / 5;
            if (tray.level[0] == '1') flags.lowPaper = true;
        } else {
            in.currentLevel = -2;
        }
        mib.inputs.push_back(in);
    }
    if (stoppedForPaper) flags.noPaper = true;

    MibOutput bin;
    bin.deviceIndex = 1;
    bin.index = 1;
    bin.type = 3;          // removableBin
    bin.capacityUnit = 8;  // sheets
    bin.maxCapacity = 250;
    bin.remainingCapacity = printer.outputBin == "FULL" ? 0 : printer.outputBin == "PAPEREXIST" ? 150 : 250;
    bin.status = 0;
    bin.name = "Upper Output Bin";
    bin.description = "Face-down output bin";
    mib.outputs.push_back(bin);
    if (printer.outputBin == "FULL") {
        flags.outputFull = true;
        alert(kCritical, kTrained, kGroupOutput, 1, 903, "Output bin full");
    }

    if (Has(printer, 40208)) {
        flags.doorOpen = true;
        alert(kCritical, kTrained, kGroupCover, 1, 3, "Top cover open");
    }
    if (Has(printer, 42001)) {
        flags.jammed = true;
        alert(kCritical, kTrained, kGroupMediaPath, 1, 8, "Paper misfeed");
    }
    if (Has(printer, 40800)) {
        flags.serviceRequested = true;
        alert(kCritical, kFieldService, kGroupGeneral, -1, 30, printer.panelText);
    }
    if (Has(printer, 10002)) {
        flags.offline = true;
        alert(kCritical, kTrained, kGroupGeneral, -1, 22, "Offline");
    }
    mib.errorState = EncodeErrorState(flags);

    const bool critical = std::any_of(mib.alerts.begin(), mib.alerts.end(),
                                      [](const MibAlert &a) { return a.severity == kCritical; });
    mib.deviceStatus = critical ? 5 : !mib.alerts.empty() ? 3 : 2;  // down, warning, running
    mib.printerStatus = Has(printer, 10004) ? 5 : critical ? 1 : 3;  // warmup, other, idle
    return mib;
}

}  // namespace patmon
