// The English texts the library must deliver, written out here apart
// from the resource file so that the two can be compared: the message table
// by distinct text (keys with their short label and detailed message),
// the two message-key lists that give the string numbers, the alternate
// set's own messages, and the short groups by number.
#include "english_reference.h"

namespace strings_test {

// Message keys of the primary set in catalogue order: the n-th key owns
// label 999 + n and message 1999 + n.
const uint32_t kPrimaryKeys[120] = {
    10001, 0xFFFFFF02u, 10002, 10033, 10023, 10047, 10035, 10003, 10036, 10037, 10004, 50101, 50102, 50115, 50108,
    50110, 50111, 50112, 50113, 50109, 50105, 50114, 30136, 30608, 30617, 30616, 30330, 13200, 13300, 13400, 12201,
    12301, 12401, 30428, 30427, 30440, 30429, 30426, 30405, 10075, 10074, 10073, 10072, 30991, 30992, 30993, 30994,
    10032, 30610, 30607, 30400, 30409, 30407, 30403, 30015, 30014, 30013, 30609, 40979, 40991, 40992, 40993, 40994,
    46100, 46200, 46300, 46400, 47100, 47200, 47300, 47400, 48100, 48200, 48300, 48400, 45000, 41100, 41200, 41300,
    41400, 1041100, 1041200, 1041300, 1041400, 40300, 40015, 40014, 40013, 40012, 40028, 40020, 40041, 40042, 40011,
    40903, 40208, 40206, 40159, 40135, 40134, 40133, 40132, 40155, 40154, 40153, 40152, 40141, 40100, 42000, 42001,
    42004, 42009, 40800, 1030400, 1030409, 1040141, 1040100, 30619, 30620, 30621,
};

// Message keys of the alternate set in catalogue order: the n-th key owns
// label 1499 + n and message 2499 + n; the first (ready) owns the empty
// slots 1500 and 2500.
const uint32_t kAlternateKeys[41] = {
    10001, 0xFFFFFF02u, 50101, 50102, 50115, 50108, 50112, 50113, 50109, 50105, 50114, 30428, 30427, 30440, 10075,
    10074, 10073, 10072, 10032, 30610, 30607, 30400, 30409, 30015, 30014, 30013, 30609, 40015, 40014, 40013, 40012,
    40028, 40020, 40011, 40141, 40100, 40800, 1030400, 1030409, 1040141, 1040100,
};

// One row per distinct pair of label and message; a null message is one the
// documentation only describes.
const MessageRow kMessageRows[] = {
    {{10001}, "Operational", "Ready"},
    {{0xFFFFFF02u}, "No Response from Machine", "Check the cable, power cord, and main switch."},
    {{10002}, "Offline", "Press the Online key on the Operation Panel to enable printing."},
    {{10033}, "Operational", "Standby in Energy Saver Mode 2"},
    {{10023}, "Operational", "Printing..."},
    {{10047}, "Jobs Suspended", "Please wait."},
    {{10035}, "Hex Dump Mode", "For normal printing, exit Hex Dump Mode from the Operation Panel."},
    {{10003, 10036, 10037, 10004}, "Warming Up...", "Please wait."},
    {{50101}, "Operational",
     "Some functions are currently unavailable due to an option RAM error. \n"
     "Please call your service center to fix this error."},
    {{50102}, "Operational",
     "Some functions are currently unavailable due to a parallel interface error. \n"
     "Please call your service center to fix this error."},
    {{50115}, "Operational",
     "Some functions are currently unavailable due to optional font error. \n"
     "Please call your service center to fix this error."},
    {{50108}, "Operational",
     "Some functions are currently unavailable due to an Ethernet board error. \n"
     "Please call your service center to fix this error."},
    {{50110, 50111}, "Operational",
     "A wireless I/F card error occurred. \n"
     "Check that the wireless I/F card is set correctly. "
     "Turn off the main switch first before securing or reinserting the card."},
    {{50112}, "Operational",
     "A wireless I/F card related error occurred. \n"
     "Turn off the main switch first before securing or reinserting the card.\n"
     "If this message appears again, please call your service center."},
    {{50113}, "Operational",
     "A wireless I/F board related error occurred. \n"
     "Turn off the main switch first before securing or reinserting the board.\n"
     "If this message appears again, please call your service center."},
    {{50109}, "Operational",
     "Some functions are currently unavailable due to an IEEE 1394 error. \n"
     "Please call your service center to fix this error."},
    {{50105}, "Operational",
     "Some functions are currently unavailable due to an HDD error. \n"
     "Please call your service center to fix this error."},
    {{50114}, "Operational",
     "Some functions are currently unavailable due to an USB interface error.\n"
     "Please call your service center to fix this error."},
    {{30136}, "Operational", "Independent-supplier toner has been set."},
    {{30608}, "Operational", nullptr},
    {{30617}, "Operational",
     "Proxy rejected to connect through by authentication error.\n"
     "Please confirm the proxy user name or password."},
    {{30616}, "Operational",
     "The remote diagnostics center could not be connected.\n"
     "Please confirm the proxy settings.\n"
     "If this message appears again, please call your service center."},
    {{30330}, "Operational", "The following paper output tray(s) is full: \n%s"},
    {{13200, 13300, 13400, 30991, 30992, 30993, 30994}, "Operational",
     "The following paper source tray(s) is empty: \n"
     "%s"},
    {{12201, 12301, 12401}, "Operational",
     "The following paper source tray(s) is not installed, or is not installed properly: \n"
     "%s"},
    {{30428}, "Operational", "The Transfer Unit becomes close to recommended replacing period."},
    {{30427}, "Operational", "The Fusing Unit becomes close to recommended replacing period."},
    {{30440}, "Operational", "The Maintenance Kit becomes close to recommended replacing period."},
    {{30429}, "Operational", "The Color PCU becomes close to recommended replacing period."},
    {{30426}, "Operational", "The Black PCU becomes close to recommended replacing period."},
    {{30405}, "Operational", "The Fusing Unit is better to be replaced.\nCall service center."},
    {{10075, 10074, 10073, 10072}, "Operational", "The following toner is low: \n%s"},
    {{10032}, "Operational", "The Waste Toner Bottle is almost full."},
    {{30610}, "Operational", "Remote Certificate renewal could not be completed.\nPlease call your service center."},
    {{30607}, "Operational",
     "SD Card authentication has failed.\n"
     "Turn off the main switch and then on.\n"
     "If this message appears again, please call your service center."},
    {{30400}, "Operational",
     "The Maintenance Kit needs to be replaced.\n"
     "Call service center.\n"
     "Please keep a spare Maintenance Kit handy."},
    {{30409}, "Operational", "The Transfer Unit needs to be replaced.\nPlease call your service center."},
    {{30407, 40042}, "Operational", "Replace the Black PCU."},
    {{30403, 40041}, "Operational", "Replace the Color PCU."},
    {{30015, 30014, 30013}, "Operational", "The following toner has run out. \nReplace the Toner. \n%s"},
    {{30609}, "Operational", "Supplies order has failed.\nPlease call your service center."},
    {{40979}, "PDL Error", "An error is occurring. \nPlease check the Operation Panel."},
    {{40991, 40992, 40993, 40994, 41100, 41200, 41300, 41400}, "No Paper",
     "Load paper in the indicated paper source tray.\n"
     "%s"},
    {{46100, 46200, 46300, 46400}, "Paper Type Mismatch",
     "Paper of the selected type is not loaded in the indicated paper source tray. \n"
     "Check the indicated tray.\n"
     "%s"},
    {{47100, 47200, 47300, 47400}, "Paper Size Mismatch",
     "Paper of the selected paper size is not loaded in the indicated paper source tray. \n"
     "Check the indicated tray.\n"
     "%s"},
    {{48100, 48200, 48300, 48400}, "Paper Size and Type Mismatch",
     "Paper of the selected paper type and size is not loaded in the indicated paper source tray. \n"
     "Check the indicated tray.\n"
     "%s"},
    {{45000}, "Paper Size and Type Mismatch",
     "Paper of the selected paper type and size is not loaded in the paper source tray. \n"
     "Check the tray."},
    {{1041100, 1041200, 1041300, 1041400}, "Tray Not Detected",
     "The selected paper source tray is not installed, or is not installed properly. \n"
     "Check the indicated tray.\n"
     "%s"},
    {{40300}, "Output Tray Full", "The indicated paper output tray is full. \nRemove the prints.\n%s"},
    {{40015, 40014, 40013, 40012}, "No Toner",
     "The following toner has run out. \n"
     "Open the indicated cover, and then replace the Toner Cartridge. \n"
     "%s:%s"},
    {{40028, 1030409}, "Operational", "Replace the Transfer Unit."},
    {{40020}, "Operational", "Replace the Maintenance Kit."},
    {{40011}, "Waste Toner Bottle Full",
     "The Waste Toner Bottle is full. \n"
     "Open the indicated cover, and then replace the part.\n"
     "%s"},
    {{40903}, "Operational", "Remove the remaining paper on the Bypass Tray."},
    {{40208, 40206}, "Cover Open", "Close the indicated cover.\n%s"},
    {{40159}, "Unit Not Detected",
     "The Waste Toner Bottle is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the part.\n"
     "%s"},
    {{40135, 40134, 40133, 40132}, "No Toner or Toner Not Detected",
     "Toner has run out, or is not set properly. \n"
     "Open the indicated cover, and then check the Toner Cartridge.\n"
     "%s:%s"},
    {{40155}, "Unit Not Detected",
     "The Yellow PCU is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the PCU.\n"
     "%s"},
    {{40154}, "Unit Not Detected",
     "The Magenta PCU is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the PCU.\n"
     "%s"},
    {{40153}, "Unit Not Detected",
     "The Cyan PCU is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the PCU.\n"
     "%s"},
    {{40152}, "Unit Not Detected",
     "The Black PCU is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the PCU.\n"
     "%s"},
    {{40141}, "Unit Not Detected",
     "The Transfer Unit is not installed, or is not installed properly. \n"
     "Please call your service center."},
    {{40100}, "Unit Not Detected",
     "The Fusing Unit is not installed, or is not installed properly. \n"
     "Please call your service center."},
    {{42000, 42001, 42004, 42009}, "Paper Misfeed", "Open the indicated cover, and then remove any jammed paper.\n%s"},
    {{40800}, "Call Service Center",
     "Turn the main switch off, then on. \n"
     "If this message appears again, please call your service center. \n"},
    {{1030400}, "Operational", "The Maintenance Kit needs to be replaced.\nReplace the parts in the kit."},
    {{1040141}, "Unit Not Detected",
     "The Transfer Unit is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the part.\n"
     "%s"},
    {{1040100}, "Unit Not Detected",
     "The Fusing Unit is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the unit.\n"
     "%s"},
    {{30619}, "Operational", "Log data capacity is nearly full.\nPlease check the settings with the server."},
    {{30620}, "Operational", "Log data capacity is full.\nPlease check the settings with the server."},
    {{30621}, "Operational", "Log Data Transfer failed.\nPlease check the settings with the server."},
};
const size_t kMessageRowCount = sizeof kMessageRows / sizeof kMessageRows[0];

// Messages that differ in the alternate set (every other key shares the
// primary text).
const KeyedText kAlternateMessages[] = {
    {30440, "The Maintenance Kit is better to be replaced soon.\n"
            "Please keep a spare Maintenance Kit handy."},
    {10075, "The following toner is low.\nPlease keep a spare Toner Cartridge handy. \n%s"},
    {10074, "The following toner is low.\nPlease keep a spare Toner Cartridge handy. \n%s"},
    {10073, "The following toner is low.\nPlease keep a spare Toner Cartridge handy. \n%s"},
    {10072, "The following toner is low.\nPlease keep a spare Toner Cartridge handy. \n%s"},
    {10032, "The Waste Toner Bottle is almost full.\n"
            "Please keep a spare Waste Toner Bottle handy."},
};
const size_t kAlternateMessageCount = sizeof kAlternateMessages / sizeof kAlternateMessages[0];

// Item, device and tray names and the separator, by string number.
const NumberedText kShortGroups[] = {
    {3000, "Tray 1"},
    {3001, "Tray 2"},
    {3002, "Tray 3"},
    {3003, "Bypass Tray"},
    {3004, "Standard Tray"},
    {3005, "Front Cover Unit"},
    {3006, "Front Cover Shell"},
    {3007, "Top Cover"},
    {3008, "Left Cover"},
    {3009, "Black"},
    {3010, "Cyan"},
    {3011, "Magenta"},
    {3012, "Yellow"},
    {3500, ", "},
    {4000, "Tray 2"},
    {4001, "Tray 3"},
    {4002, "Duplex Unit"},
    {4003, "Hard Disk Unit"},
    {4004, "NVRAM"},
    {4005, "IEEE1284 Board"},
    {4006, "Wireless Comm. Card"},
    {4007, "Bluetooth Interface"},
    {4008, "USB Board"},
    {4009, "Gigabit Ethernet Board"},
    {5000, "Tray 1"},
    {5001, "Tray 2"},
    {5002, "Tray 3"},
    {5003, "Bypass Tray"},
    {5010, "Standard Tray"},
};
const size_t kShortGroupCount = sizeof kShortGroups / sizeof kShortGroups[0];

// Strings the documentation names by number in its worked examples: a check
// of the key lists' numbering that does not go through the key lists.
const NumberedText kNamedNumbers[] = {
    {2076, "Load paper in the indicated paper source tray.\n%s"},
    {2081,
     "The selected paper source tray is not installed, or is not installed properly. \n"
     "Check the indicated tray.\n"
     "%s"},
    {2088,
     "The following toner has run out. \n"
     "Open the indicated cover, and then replace the Toner Cartridge. \n"
     "%s:%s"},
    {2106,
     "The Transfer Unit is not installed, or is not installed properly. \n"
     "Please call your service center."},
    {2110, "Open the indicated cover, and then remove any jammed paper.\n%s"},
    {2112,
     "Turn the main switch off, then on. \n"
     "If this message appears again, please call your service center. \n"},
    {2115,
     "The Transfer Unit is not installed, or is not installed properly. \n"
     "Open the indicated cover, and then check the part.\n"
     "%s"},
    {1500, ""},
    {2500, ""},
};
const size_t kNamedNumberCount = sizeof kNamedNumbers / sizeof kNamedNumbers[0];

}  // namespace strings_test
