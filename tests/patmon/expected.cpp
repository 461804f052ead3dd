#include "expected.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <map>

#include "outputs/json_output.h"
#include "support/stored_bitmap.h"
#include "simulator/virtual_transport.h"

namespace patmontest {

namespace {

using Json = nlohmann::json;

// The factory printer's trays: the bypass tray (A4, no level sensor) and
// tray 1 (A4, four fifths full); the feed units' trays 2 (A4) and 3 (letter).
constexpr Tray kBypass{1, 9, 0};
constexpr Tray kTray1{3, 9, 80};
constexpr Tray kTray1Empty{3, 9, 0};
constexpr Tray kTray2{4, 9, 100};
constexpr Tray kTray3Letter{5, 23, 100};
const std::vector<Tray> kFactoryTrays{kBypass, kTray1};

// The base picture, and a marker: its mask ANDed, then the marker ORed in.
const Step kBase{"BM_BASE", 0, 0, "SRCCOPY"};
std::vector<Step> Marker(const std::string &name, int x, int y) {
    return {{name + "_B", x, y, "SRCAND"}, {name, x, y, "SRCPAINT"}};
}
std::vector<Step> Picture(std::initializer_list<std::vector<Step>> parts) {
    std::vector<Step> steps{kBase};
    for (const std::vector<Step> &part : parts) steps.insert(steps.end(), part.begin(), part.end());
    return steps;
}

constexpr uint32_t kNoResponse = 0xFFFFFF02;

// Texts of en.rc 1000-1112 (labels), 2000-2112 (messages) with the names
// of 3000-3012 joined by 3500; ja.rc likewise.
const char kTonerOutEn[] =
    "The following toner has run out. \nOpen the indicated cover, and then replace the Toner Cartridge. \nTop Cover:";
const char kTonerOutJa[] = "ﾂｷﾞﾉ ﾄﾅｰｶﾞ ﾅｸﾅﾘﾏｼﾀ｡\nﾋｮｳｼﾞｻﾚﾃｲﾙ ｶﾊﾞｰｦ ｱｹﾃ､ﾄﾅｰｶｰﾄﾘｯｼﾞｦ ｺｳｶﾝｼﾃｸﾀﾞｻｲ｡\nｳｴｶﾊﾞｰ:";

std::vector<ExpectedScenario> MakeTable() {
    const std::vector<Step> topCover = Picture({Marker("BM_POINT_6", 109, 28)});
    return {
        {"ready", {10001}, kFactoryTrays, "Operational", "Ready", "ｲﾝｻﾂｶﾉｳ", "ｲﾝｻﾂﾃﾞｷﾏｽ｡", Picture({})},
        {"toner-low", {10001, 10072}, kFactoryTrays, "Operational", "The following toner is low: \nBlack",
         "ｲﾝｻﾂｶﾉｳ", "ﾂｷﾞﾉ ﾄﾅｰｶﾞ ｽｸﾅｸﾅｯﾃｲﾏｽ:\nﾌﾞﾗｯｸ", Picture({})},
        {"toner-out", {40012, 40013, 40014, 40015}, kFactoryTrays, "No Toner",
         std::string(kTonerOutEn) + "Black, Cyan, Magenta, Yellow", "ﾄﾅｰｷﾞﾚ",
         std::string(kTonerOutJa) + "ﾌﾞﾗｯｸ､ｼｱﾝ､ﾏｾﾞﾝﾀ､ｲｴﾛｰ", topCover},
        {"toner-out-black", {40012}, kFactoryTrays, "No Toner", std::string(kTonerOutEn) + "Black", "ﾄﾅｰｷﾞﾚ",
         std::string(kTonerOutJa) + "ﾌﾞﾗｯｸ", topCover},
        {"toner-out-cyan", {40013}, kFactoryTrays, "No Toner", std::string(kTonerOutEn) + "Cyan", "ﾄﾅｰｷﾞﾚ",
         std::string(kTonerOutJa) + "ｼｱﾝ", topCover},
        {"toner-out-magenta", {40014}, kFactoryTrays, "No Toner", std::string(kTonerOutEn) + "Magenta", "ﾄﾅｰｷﾞﾚ",
         std::string(kTonerOutJa) + "ﾏｾﾞﾝﾀ", topCover},
        {"toner-out-yellow", {40015}, kFactoryTrays, "No Toner", std::string(kTonerOutEn) + "Yellow", "ﾄﾅｰｷﾞﾚ",
         std::string(kTonerOutJa) + "ｲｴﾛｰ", topCover},
        {"paper-out", {41213}, {kBypass, kTray1Empty}, "No Paper",
         "Load paper in the indicated paper source tray.\nTray 1", "ﾖｳｼｷﾞﾚ",
         "ﾋｮｳｼﾞｻﾚﾃｲﾙ ｷｭｳｼﾄﾚｲﾆ ﾖｳｼｦ ｾｯﾄｼﾃｸﾀﾞｻｲ｡\nﾄﾚｲ1", Picture({Marker("BM_POINT_8", 114, 112)})},
        {"cover-open", {40208}, kFactoryTrays, "Cover Open", "Close the indicated cover.\nTop Cover", "ｶﾊﾞｰ ｵｰﾌﾟﾝ",
         "ﾋｮｳｼﾞｻﾚﾃｲﾙ ｶﾊﾞｰｦ ｼﾒﾃｸﾀﾞｻｲ｡\nｳｴｶﾊﾞｰ", topCover},
        {"paper-jam", {42001}, kFactoryTrays, "Paper Misfeed",
         "Open the indicated cover, and then remove any jammed paper.\nFront Cover Unit", "ｶﾐﾂﾞﾏﾘ",
         "ﾋｮｳｼﾞｻﾚﾃｲﾙ ｶﾊﾞｰｦ ｱｹﾃ､ﾂﾏｯﾀ ﾖｳｼｦ ﾄﾘﾉｿﾞｲﾃｸﾀﾞｻｲ｡\nﾏｴｶﾊﾞｰ ﾕﾆｯﾄ",
         Picture({Marker("BM_POINT_7", 200, 53), Marker("BM_POINT_3", 106, 63)})},
        {"service-call", {40800}, kFactoryTrays, "Call Service Center",
         "Turn the main switch off, then on. \nIf this message appears again, please call your service center. "
         "\nSC 541",
         "ｻｰﾋﾞｽｾﾝﾀｰﾆ ﾚﾝﾗｸｼﾃｸﾀﾞｻｲ",
         "ｼｭﾃﾞﾝｹﾞﾝｽｲｯﾁｦ ｷｯﾃｶﾗ､ﾌﾀﾀﾋﾞ ｲﾚﾃｸﾀﾞｻｲ｡\nｻｲﾄﾞ ｺﾉ ﾒｯｾｰｼﾞｶﾞ ﾋｮｳｼﾞｻﾚﾀ ﾊﾞｱｲﾊ､ｻｰﾋﾞｽｾﾝﾀｰﾆ ﾚﾝﾗｸｼﾃｸﾀﾞｻｲ｡\nSC 541",
         Picture({Marker("BM_SERVICE", 0, 0)})},
        {"waste-toner-full", {40011}, kFactoryTrays, "Waste Toner Bottle Full",
         "The Waste Toner Bottle is full. \nOpen the indicated cover, and then replace the part.\nLeft Cover",
         "ﾊｲﾄﾅｰﾎﾞﾄﾙ ﾌﾙ", "ﾊｲﾄﾅｰﾎﾞﾄﾙｶﾞ ｲｯﾊﾟｲﾃﾞｽ｡\nﾋｮｳｼﾞｻﾚﾃｲﾙ ｶﾊﾞｰｦ ｱｹﾃ､ﾊｲﾄﾅｰﾎﾞﾄﾙｦ ｺｳｶﾝｼﾃｸﾀﾞｻｲ｡\nﾋﾀﾞﾘｶﾊﾞｰ",
         Picture({Marker("BM_POINT_5", 75, 72)})},
        {"tray-missing", {41300}, {kBypass, kTray1, kTray2}, "Tray Not Detected",
         "The selected paper source tray is not installed, or is not installed properly. \nCheck the indicated "
         "tray.\nTray 2",
         "ﾄﾚｲｶﾞ ｹﾝﾁｻﾚﾏｾﾝ", "ｼﾃｲｻﾚﾀ ｷｭｳｼﾄﾚｲｶﾞ ｾｯﾄｻﾚﾃｲﾅｲｶ､ﾀﾀﾞｼｸ ｾｯﾄｻﾚﾃｲﾏｾﾝ｡\nﾋｮｳｼﾞｻﾚﾃｲﾙ ﾄﾚｲｦ ｶｸﾆﾝｼﾃｸﾀﾞｻｲ｡\nﾄﾚｲ2",
         Picture({Marker("BM_TRAY2", 0, 0), Marker("BM_POINT_1", 114, 138)})},
        {"feed-units", {10001}, {kBypass, kTray1, kTray2, kTray3Letter}, "Operational", "Ready", "ｲﾝｻﾂｶﾉｳ",
         "ｲﾝｻﾂﾃﾞｷﾏｽ｡", Picture({Marker("BM_TRAY2", 0, 0), Marker("BM_TRAY3", 0, 0)})},
        {"offline", {10002}, kFactoryTrays, "Offline",
         "Press the Online key on the Operation Panel to enable printing.", "ｵﾌﾗｲﾝ",
         "ｲﾝｻﾂｽﾙﾆﾊ ｿｳｻﾊﾟﾈﾙﾉ ｢ｵﾝﾗｲﾝ｣ｷｰｦ ｵｼﾃｸﾀﾞｻｲ｡", Picture({})},
        {"warming-up", {10004}, kFactoryTrays, "Warming Up...", "Please wait.", "ｳｫｰﾑｱｯﾌﾟﾁｭｳ...",
         "ｼﾊﾞﾗｸ ｵﾏﾁｸﾀﾞｻｲ｡", Picture({})},
        {"no-response", {kNoResponse}, {}, "No Response from Machine",
         "Check the cable, power cord, and main switch.", "ﾌﾟﾘﾝﾀｰｶﾗ ｵｳﾄｳｶﾞ ｱﾘﾏｾﾝ",
         "ｹｰﾌﾞﾙ､ﾃﾞﾝｹﾞﾝｺｰﾄﾞ､ｼｭﾃﾞﾝｹﾞﾝｽｲｯﾁｦ ｶｸﾆﾝｼﾃｸﾀﾞｻｲ｡", Picture({Marker("BM_POWEROFF", 0, 0)})},
    };
}

Json StepsJson(const std::vector<Step> &steps) {
    Json list = Json::array();
    for (const Step &s : steps) list.push_back({{"name", s.name}, {"x", s.x}, {"y", s.y}, {"rop", s.rop}});
    return list;
}

struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG file as 8-bit RGB (libpng).
bool ReadPng(const std::string &path, Png *out, std::string *error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        *error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    out->rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr) == 0) {
        *error = image.message;
        png_image_free(&image);
        return false;
    }
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    return true;
}

// One channel after a raster operation.
uint8_t Apply(const std::string &rop, uint8_t destination, uint8_t source) {
    if (rop == "SRCAND") return destination & source;
    if (rop == "SRCPAINT") return destination | source;
    return source;
}

}  // namespace

const std::vector<ExpectedScenario> &ExpectedScenarios() {
    static const std::vector<ExpectedScenario> table = MakeTable();
    return table;
}

const ExpectedScenario &Expected(const std::string &name) {
    for (const ExpectedScenario &e : ExpectedScenarios()) {
        if (e.name == name) return e;
    }
    ADD_FAILURE() << "no expected scenario " << name;
    return ExpectedScenarios().front();
}

std::string Nfkc(const std::string &utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfkc = unorm2_getNFKCInstance(&status);
    std::u16string wide(utf8.size() + 1, u'\0'), normal(utf8.size() * 3 + 8, u'\0');
    int32_t length = 0;
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &length, utf8.data(),
                  static_cast<int32_t>(utf8.size()), &status);
    length = unorm2_normalize(nfkc, wide.data(), length, normal.data(), static_cast<int32_t>(normal.size()), &status);
    std::string out(normal.size() * 3, '\0');
    int32_t outLength = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, normal.data(), length, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<size_t>(outLength));
    return out;
}

void CheckResultJson(const Json &doc, const ExpectedScenario &e, const std::string &language) {
    SCOPED_TRACE(e.name + " in " + language);
    ASSERT_TRUE(doc.is_object());
    const bool answers = !e.trays.empty();
    EXPECT_EQ(doc.value("responded", !answers), answers);
    const Json &status = doc.at("status");
    std::vector<uint32_t> codes;
    for (const Json &code : status.at("codes")) codes.push_back(code.at("code").get<uint32_t>());
    EXPECT_EQ(codes, e.codes);
    // The library's half-width katakana come out full-width (NFKC).
    EXPECT_EQ(status.at("label").get<std::string>(), language == "JP" ? Nfkc(e.labelJa) : e.labelEn);
    EXPECT_EQ(status.at("message").get<std::string>(), language == "JP" ? Nfkc(e.messageJa) : e.messageEn);
    EXPECT_EQ(doc.at("picture"), StepsJson(e.picture));

    const Json &printer = doc.at("record").at("PrnInfoEx");
    const Json &summary = doc.at("record").at("PrnInfo");
    EXPECT_EQ(printer.at("bNoResponse"), answers ? 0 : 1);
    EXPECT_EQ(summary.at("dwNoResponse"), answers ? 0 : 1);
    Json trays = Json::array(), expectedTrays = Json::array();
    for (const Json &t : printer.at("pTrayInfo")) trays.push_back({t.at("wTray"), t.at("wPaperSize"), t.at("wPaperLevel")});
    for (const Tray &t : e.trays) expectedTrays.push_back({t.code, t.size, t.level});
    EXPECT_EQ(trays, expectedTrays);
    EXPECT_EQ(printer.at("nTrayInfo"), e.trays.size());
    if (!answers) {
        EXPECT_EQ(printer.at("pEngineStatus"), Json::array());
        return;
    }
    std::vector<uint32_t> recordCodes;
    for (const Json &item : printer.at("pEngineStatus")) recordCodes.push_back(item.at("dwCode").get<uint32_t>());
    EXPECT_EQ(recordCodes, e.codes);
    // The device ID's model and maker, the configuration's 256 MB, the
    // page counter of the device ID.
    EXPECT_EQ(printer.at("pModelName"), "Colour Laser 500");
    EXPECT_EQ(printer.at("pMakerName"), "Patprn");
    EXPECT_EQ(printer.at("dwMemorySize"), 262144);
    EXPECT_EQ(printer.at("pCounterInfo"), Json::parse(R"([{"cbItem": 24, "wCounter": 1, "dwValue": 18324}])"));
    EXPECT_EQ(summary.at("szModelName"), "Colour Laser 500");
    EXPECT_EQ(summary.at("dwHasDuplex"), 1);
    if (e.codes.size() == 1) {
        EXPECT_EQ(summary.at("dwStatusCode"), e.codes[0] & 0xFFFF);
    } else {
        EXPECT_EQ(summary.at("adwStatus").get<std::vector<uint32_t>>(), e.codes);
    }
}

void CheckPicture(const std::string &pngPath, const Json &doc) {
    Png png;
    std::string error;
    ASSERT_TRUE(ReadPng(pngPath, &png, &error)) << pngPath << ": " << error;
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 200);

    struct Layer {
        const pattest::StoredBitmap *bitmap;
        int x, y;
        std::string rop;
    };
    std::map<std::string, pattest::StoredBitmap> bitmaps;
    std::vector<Layer> layers;
    for (const Json &step : doc.at("picture")) {
        const std::string name = step.at("name").get<std::string>();
        auto found = bitmaps.find(name);
        if (found == bitmaps.end()) found = bitmaps.emplace(name, pattest::ReadStoredBitmap(PATPRN_SOURCE_DIR, name)).first;
        ASSERT_GT(found->second.width, 0) << "resources/bitmaps/" << name << ".bmp";
        layers.push_back({&found->second, step.at("x").get<int>(), step.at("y").get<int>(), step.at("rop").get<std::string>()});
    }
    ASSERT_FALSE(layers.empty());

    // Each pixel: white, then every layer that covers it, in list order.
    int wrong = 0;
    for (int y = 0; y < png.height; ++y) {
        for (int x = 0; x < png.width; ++x) {
            uint8_t expected[3] = {0xFF, 0xFF, 0xFF};
            for (const Layer &layer : layers) {
                const int bx = x - layer.x, by = y - layer.y;
                if (bx < 0 || by < 0 || bx >= layer.bitmap->width || by >= layer.bitmap->height) continue;
                const pattest::Rgb source = layer.bitmap->At(bx, by);
                expected[0] = Apply(layer.rop, expected[0], source.red);
                expected[1] = Apply(layer.rop, expected[1], source.green);
                expected[2] = Apply(layer.rop, expected[2], source.blue);
            }
            const uint8_t *actual = png.rgb.data() + (static_cast<size_t>(y) * png.width + x) * 3;
            if (actual[0] == expected[0] && actual[1] == expected[1] && actual[2] == expected[2]) continue;
            if (++wrong <= 3) {
                ADD_FAILURE() << pngPath << " at (" << x << ", " << y << "): " << int{actual[0]} << "," << int{actual[1]}
                              << "," << int{actual[2]} << " instead of " << int{expected[0]} << ","
                              << int{expected[1]} << "," << int{expected[2]};
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ from the composed draw list";
}

Json PollInProcess(const std::string &scenario, const std::string &language, patmon::PollResult *out) {
    EXPECT_TRUE(PatSetLocale(language.c_str()));
    const std::optional<patmon::PrinterModel> printer = patmon::ScenarioPrinter(scenario);
    if (!printer) {
        ADD_FAILURE() << "no built-in scenario " << scenario;
        return Json();
    }
    const std::unique_ptr<patmon::Transport> transport = patmon::VirtualTransport(*printer);
    patmon::PrinterRecord record;
    patmon::PollResult result = patmon::Poll(*transport, record, patmon::PollOptions{}, language);
    Json doc = Json::parse(patmon::ResultJson(result, record));
    if (out != nullptr) *out = std::move(result);
    return doc;
}

std::string ScenarioTestName(const testing::TestParamInfo<ExpectedScenario> &info) {
    std::string name = info.param.name;
    for (char &c : name) {
        if (c == '-') c = '_';
    }
    return name;
}

}  // namespace patmontest
