// What a printer's standard MIBs say, as read over SNMP: the Printer MIB
// (RFC 3805) tables of supplies, inputs, outputs and alerts, and the Host
// Resources MIB (RFC 2790) printer and device rows. Plain values with no
// meaning given to them yet (see poll/supplies.h): transports/printer_mib
// fills them from an agent, the virtual printer makes them from its model.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace patmon {

// A row of prtMarkerSuppliesTable (index hrDeviceIndex.prtMarkerSuppliesIndex).
struct MibSupply {
    int32_t deviceIndex = 0;
    int32_t index = 0;
    std::optional<int32_t> markerIndex;
    std::optional<int32_t> colorantIndex;  // 0: no colorant
    std::optional<int32_t> supplyClass;    // 1 other, 3 consumed, 4 receptacle (filled)
    std::optional<int32_t> type;           // PrtMarkerSuppliesTypeTC: 3 toner, 4 wasteToner ...
    std::string description;               // cleaned (see CleanMibText)
    std::optional<int32_t> unit;           // PrtMarkerSuppliesSupplyUnitTC
    std::optional<int32_t> maxCapacity;    // -1 other, -2 unknown
    std::optional<int32_t> level;          // -1 other, -2 unknown, -3 some remaining
    std::optional<std::string> colorant;   // prtMarkerColorantValue of its colorant, cleaned
};

// A row of prtInputTable (index hrDeviceIndex.prtInputIndex).
struct MibInput {
    int32_t deviceIndex = 0;
    int32_t index = 0;
    std::optional<int32_t> type;
    std::optional<int32_t> dimUnit;        // 3 ten-thousandths of inches, 4 micrometres
    std::optional<int32_t> mediaFeedDim;   // prtInputMediaDimFeedDirDeclared
    std::optional<int32_t> mediaXFeedDim;  // prtInputMediaDimXFeedDirDeclared
    std::optional<int32_t> capacityUnit;
    std::optional<int32_t> maxCapacity;
    std::optional<int32_t> currentLevel;
    std::optional<int32_t> status;  // PrtSubUnitStatusTC bits
    std::string mediaName, name, description;
};

// A row of prtOutputTable (index hrDeviceIndex.prtOutputIndex).
struct MibOutput {
    int32_t deviceIndex = 0;
    int32_t index = 0;
    std::optional<int32_t> type;
    std::optional<int32_t> capacityUnit;
    std::optional<int32_t> maxCapacity;
    std::optional<int32_t> remainingCapacity;
    std::optional<int32_t> status;
    std::string name, description;
};

// A row of prtAlertTable (index hrDeviceIndex.prtAlertIndex).
struct MibAlert {
    int32_t deviceIndex = 0;
    int32_t index = 0;
    std::optional<int32_t> severity;  // 1 other, 3 critical, 4 warning, 5 warningBinaryChangeEvent
    std::optional<int32_t> trainingLevel;
    std::optional<int32_t> group;       // PrtAlertGroupTC: 6 cover, 8 input, 9 output, 11 markerSupplies ...
    std::optional<int32_t> groupIndex;  // the row of that group's table; -1 or 0 when none
    std::optional<int32_t> location;
    std::optional<int32_t> code;  // PrtAlertCodeTC
    std::string description;
};

// hrPrinterDetectedErrorState decoded: bit 0 is the first octet's most
// significant bit (RFC 2790; bits 8 to 15 added by RFC 3805).
struct PrinterErrorFlags {
    bool lowPaper = false, noPaper = false, lowToner = false, noToner = false, doorOpen = false, jammed = false,
         offline = false, serviceRequested = false, inputTrayMissing = false, outputTrayMissing = false,
         markerSupplyMissing = false, outputNearFull = false, outputFull = false, inputTrayEmpty = false,
         overduePreventMaint = false;
    bool operator==(const PrinterErrorFlags &) const = default;
};

struct MibReading {
    std::optional<int32_t> printerDevice;  // hrDeviceIndex of the printer (hrPrinterTable's first row)
    std::string deviceDescription;         // hrDeviceDescr, cleaned
    std::optional<int32_t> deviceStatus;   // hrDeviceStatus: 1 unknown, 2 running, 3 warning, 4 testing, 5 down
    std::optional<int32_t> printerStatus;  // hrPrinterStatus: 1 other, 2 unknown, 3 idle, 4 printing, 5 warmup
    std::optional<std::string> errorState;  // hrPrinterDetectedErrorState octets as received
    PrinterErrorFlags errorFlags;           // decoded from errorState
    std::optional<uint32_t> pageCount;      // prtMarkerLifeCount of the first marker
    std::string serialNumber;               // prtGeneralSerialNumber, cleaned
    std::string sysName, sysDescr;          // cleaned
    std::vector<MibSupply> supplies;        // each table in the MIB's index order
    std::vector<MibInput> inputs;
    std::vector<MibOutput> outputs;
    std::vector<MibAlert> alerts;
    bool truncated = false;  // a table or the whole reading was cut at its bound
};

// Every flag of an error state (octets past the second are ignored; a
// missing octet is all clear).
PrinterErrorFlags DecodeErrorState(std::string_view octets);
// The octets of `flags` (two octets, as agents of RFC 3805 send them).
std::string EncodeErrorState(const PrinterErrorFlags &flags);
// The names of the flags that are set, in bit order ("lowPaper", "noToner" ...).
std::vector<std::string> ErrorFlagNames(const PrinterErrorFlags &flags);

// A text from an agent as it can be shown: UTF-8 (bytes that are not
// UTF-8 read as Latin-1), line breaks and tabs as spaces, other control
// characters as U+FFFD, spaces collapsed and trimmed, trailing NULs
// dropped, at most `maxBytes` bytes (cut at a character boundary).
std::string CleanMibText(std::string_view raw, size_t maxBytes = 1024);

}  // namespace patmon
