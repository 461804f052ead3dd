#include "outputs/json_output.h"

#include <ctime>

#include <nlohmann/json.hpp>

namespace patmon {

using Json = nlohmann::ordered_json;

namespace {

// A text of the record as the printer or the library wrote it.
Json Text(const char *text) { return text != nullptr ? Json(text) : Json(nullptr); }
Json Text(const char *text, size_t size) { return Json(std::string(text, strnlen(text, size))); }

template <typename Item, typename Fill>
Json List(const Item *head, Fill fill) {
    Json list = Json::array();
    for (const Item *item = head; item != nullptr; item = reinterpret_cast<const Item *>(item->next)) {
        Json entry;
        entry["cbItem"] = item->cbItem;
        fill(*item, entry);
        list.push_back(entry);
    }
    return list;
}

Json PrinterJson(const PrnInfoEx &r) {
    Json j;
    j["dwSize"] = r.dwSize;
    j["nEngineStatus"] = r.nEngineStatus;
    j["pEngineStatus"] = List(r.pEngineStatus, [](const EngineStatusItem &i, Json &e) {
        e["wCode"] = i.wCode;
        e["dwCode"] = i.dwCode;
        e["szText"] = Text(i.szText, sizeof i.szText);
    });
    j["pModelName"] = Text(r.pModelName);
    j["pMakerName"] = Text(r.pMakerName);
    j["pDescription"] = Text(r.pDescription);
    j["pSYSVersion"] = Text(r.pSYSVersion);
    j["pMainProgVersion"] = Text(r.pMainProgVersion);
    j["pVPSVersion"] = Text(r.pVPSVersion);
    j["dwMemorySize"] = r.dwMemorySize;
    j["bState"] = r.bState;
    j["bModelCode"] = r.bModelCode;
    j["bNotState"] = r.bNotState;
    j["bAttention"] = r.bAttention;
    j["bPrinting"] = r.bPrinting;
    j["bNoResponse"] = r.bNoResponse;
    j["dwEmulExtra"] = r.dwEmulExtra;
    j["nLoadedEmul"] = r.nLoadedEmul;
    j["pLoadedEmul"] = List(r.pLoadedEmul, [](const LoadedEmulItem &i, Json &e) {
        e["wEmul"] = i.wEmul;
        e["szVersion"] = Text(i.szVersion, sizeof i.szVersion);
    });
    j["nLoadedFont"] = r.nLoadedFont;
    j["pLoadedFont"] = List(r.pLoadedFont, [](const LoadedFontItem &i, Json &e) { e["wFont"] = i.wFont; });
    j["dwTrayExtra"] = r.dwTrayExtra;
    j["nTrayInfo"] = r.nTrayInfo;
    j["pTrayInfo"] = List(r.pTrayInfo, [](const TrayInfoItem &i, Json &e) {
        e["wTray"] = i.wTray;
        e["wPaperSize"] = i.wPaperSize;
        e["wPaperLevel"] = i.wPaperLevel;
        e["wMediaType"] = i.wMediaType;
        e["dwFlags"] = i.dwFlags;
    });
    j["dwOutBinExtra"] = r.dwOutBinExtra;
    j["nOutBinInfo"] = r.nOutBinInfo;
    j["pOutBinInfo"] = List(r.pOutBinInfo, [](const OutBinInfoItem &i, Json &e) {
        e["wBin"] = i.wBin;
        e["wBinState"] = i.wBinState;
    });
    j["nDeviceInfo"] = r.nDeviceInfo;
    j["pDeviceInfo"] = List(r.pDeviceInfo, [](const DeviceInfoItem &i, Json &e) { e["wDevice"] = i.wDevice; });
    j["nEmulUniqInfo"] = r.nEmulUniqInfo;
    j["pEmulUniqInfo"] = List(r.pEmulUniqInfo, [](const EmulUniqInfoItem &i, Json &e) {
        e["wKind"] = i.wKind;
        e["dwMemoryUsage"] = i.dwMemoryUsage;
        e["szOther"] = Text(i.szOther, sizeof i.szOther);
        e["dwImageRotation"] = i.dwImageRotation;
    });
    j["nCounterInfo"] = r.nCounterInfo;
    j["pCounterInfo"] = List(r.pCounterInfo, [](const CounterInfoItem &i, Json &e) {
        e["wCounter"] = i.wCounter;
        e["dwValue"] = i.dwValue;
    });
    j["nSupplyInfo"] = r.nSupplyInfo;
    j["pSupplyInfo"] = List(r.pSupplyInfo, [](const SupplyInfoItem &i, Json &e) {
        e["wSupply"] = i.wSupply;
        e["dwValue"] = i.dwValue;
    });
    j["nColorCorrection"] = r.nColorCorrection;
    j["nCustomMediaInfo"] = r.nCustomMediaInfo;
    return j;
}

template <size_t N>
Json Codes(const DWORD (&values)[N], DWORD count) {
    Json list = Json::array();
    for (DWORD i = 0; i < count && i < N; ++i) list.push_back(values[i]);
    return list;
}

template <size_t N>
Json Pairs(const PrnInfoPair (&pairs)[N], DWORD count) {
    Json list = Json::array();
    for (DWORD i = 0; i < count && i < N; ++i) list.push_back({{"dwCode", pairs[i].dwCode}, {"dwValue", pairs[i].dwValue}});
    return list;
}

Json ShortJson(const PrnInfo &s) {
    Json j;
    j["dwStatusCode"] = s.dwStatusCode;
    j["dwState"] = s.dwState;
    j["dwTrayExtra"] = s.dwTrayExtra;
    j["dwMemorySize"] = s.dwMemorySize;
    j["szSYSVersion"] = Text(s.szSYSVersion, sizeof s.szSYSVersion);
    j["szMainProgVersion"] = Text(s.szMainProgVersion, sizeof s.szMainProgVersion);
    j["szVPSVersion"] = Text(s.szVPSVersion, sizeof s.szVPSVersion);
    j["dwEmulExtra"] = s.dwEmulExtra;
    j["adwEmul"] = Codes(s.adwEmul, s.nEmul);
    j["nEmul"] = s.nEmul;
    j["adwFont"] = Codes(s.adwFont, s.nFont);
    j["nFont"] = s.nFont;
    j["aTrayPaper"] = Pairs(s.aTrayPaper, s.nTrayPaper);
    j["nTrayPaper"] = s.nTrayPaper;
    j["szModelName"] = Text(s.szModelName, sizeof s.szModelName);
    j["szMakerName"] = Text(s.szMakerName, sizeof s.szMakerName);
    j["szDescription"] = Text(s.szDescription, sizeof s.szDescription);
    j["bModelCode"] = s.bModelCode;
    j["bNotState"] = s.bNotState;
    j["bAttention"] = s.bAttention;
    j["bPrinting"] = s.bPrinting;
    j["dwSize"] = s.dwSize;
    j["aTrayLevel"] = Pairs(s.aTrayLevel, s.nTrayLevel);
    j["nTrayLevel"] = s.nTrayLevel;
    j["aOutBin"] = Pairs(s.aOutBin, s.nOutBin);
    j["nOutBin"] = s.nOutBin;
    j["dwHasDuplex"] = s.dwHasDuplex;
    j["dwHasHardDisk"] = s.dwHasHardDisk;
    j["dwOutBinExtra"] = s.dwOutBinExtra;
    j["adwStatus"] = Codes(s.adwStatus, s.nStatus);
    j["nStatus"] = s.nStatus;
    j["dwNoResponse"] = s.dwNoResponse;
    j["aTrayMedia"] = Pairs(s.aTrayMedia, s.nTrayPaper);
    return j;
}

}  // namespace

std::string Rfc3339(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

namespace {

Json Optional(const std::optional<int> &value) { return value ? Json(*value) : Json(nullptr); }

Json ReadingsStatus(const PollResult &result) {
    Json codes = Json::array();
    for (const PollCode &code : result.readings.codes) {
        codes.push_back({{"code", code.code}, {"text", code.text}, {"severity", code.severity}});
    }
    return {{"label", result.label}, {"message", result.message}, {"codes", codes}};
}

Json ReadingsPrinter(const PrinterFacts &printer) {
    return {{"model", printer.model},
            {"maker", printer.maker},
            {"description", printer.description},
            {"pageCount", printer.pageCount ? Json(*printer.pageCount) : Json(nullptr)},
            {"memoryKB", printer.memoryKB},
            {"firmware", printer.firmware}};
}

Json ReadingsTrays(const std::vector<PollTray> &trays) {
    Json list = Json::array();
    for (const PollTray &t : trays) {
        list.push_back({{"id", t.id},
                        {"name", t.name},
                        {"paper", t.paper},
                        {"media", t.media},
                        {"levelPercent", Optional(t.levelPercent)},
                        {"state", t.state},
                        {"locked", t.locked}});
    }
    return list;
}

Json ReadingsBins(const std::vector<PollBin> &bins) {
    Json list = Json::array();
    for (const PollBin &b : bins) list.push_back({{"id", b.id}, {"name", b.name}, {"state", b.state}});
    return list;
}

// Supplies come from the printer's standard MIB: this family's replies
// report no amounts.
Json ReadingsSupplies(const std::vector<PollSupply> &supplies) {
    Json list = Json::array();
    for (const PollSupply &s : supplies) {
        list.push_back({{"name", s.name},
                        {"colour", s.colour ? Json(*s.colour) : Json(nullptr)},
                        {"kind", s.kind},
                        {"levelPercent", Optional(s.levelPercent)},
                        {"state", s.state}});
    }
    return list;
}

Json ReadingsEmulations(const std::vector<PollEmulation> &emulations) {
    Json list = Json::array();
    for (const PollEmulation &e : emulations) {
        list.push_back({{"code", e.code}, {"name", e.name}, {"version", e.version}});
    }
    return list;
}

}  // namespace

std::string ResultJson(const PollResult &result, const PrinterRecord &record, const PollContext &context,
                       int indent) {
    Json doc;
    doc["schema"] = kPollSchema;
    doc["target"] = context.target;
    if (context.time) doc["time"] = Rfc3339(*context.time);
    doc["responded"] = result.responded;
    doc["error"] = result.responded ? Json(nullptr) : Json(result.problem);
    doc["note"] = result.responded && !result.problem.empty() ? Json(result.problem) : Json(nullptr);
    doc["severity"] = result.readings.severity;
    doc["status"] = ReadingsStatus(result);
    doc["printer"] = ReadingsPrinter(result.readings.printer);
    doc["trays"] = ReadingsTrays(result.readings.trays);
    doc["bins"] = ReadingsBins(result.readings.bins);
    doc["supplies"] = ReadingsSupplies(result.readings.supplies);
    doc["options"] = result.readings.options;
    doc["emulations"] = ReadingsEmulations(result.readings.emulations);
    doc["reasons"] = result.readings.reasons;
    doc["serialNumber"] = result.readings.serialNumber.empty() ? Json(nullptr) : Json(result.readings.serialNumber);
    Json picture = Json::array();
    for (const DrawStep &step : result.picture) {
        picture.push_back({{"name", step.name}, {"x", step.x}, {"y", step.y}, {"rop", RopName(step.rop)}});
    }
    doc["picture"] = picture;
    doc["record"] = {{"PrnInfoEx", PrinterJson(*record.get())}, {"PrnInfo", ShortJson(result.summary)}};
    return doc.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace patmon
