#include "appearance.hh"

#include "errors.hh"

#include <algorithm>
#include <cmath>
#include <set>

namespace pdfengine {
namespace {

constexpr int kMaxPageTreeNodes = 100000;
constexpr int kMaxInheritanceDepth = 64;
constexpr double kBorderWidth = 1.0;
constexpr double kLeading = 1.2;         // line height, in font sizes
constexpr double kSmallestFontSize = 2.0;
// Helvetica's ascender and descender, in thousandths of the font size.
constexpr double kAscender = 718, kDescender = 207;

// Helvetica's advance widths (thousandths of the font size) by WinAnsiEncoding code.
constexpr std::array<unsigned short, 256> kHelveticaWidths = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 584, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584, 0,
    556, 0, 222, 556, 333, 1000, 556, 556, 333, 1000, 667, 333, 1000, 0, 611, 0,
    0, 222, 222, 333, 333, 350, 556, 1000, 333, 1000, 500, 333, 944, 0, 500, 667,
    278, 333, 556, 556, 556, 556, 260, 556, 333, 737, 370, 556, 584, 333, 737, 333,
    400, 584, 333, 333, 333, 556, 537, 278, 333, 333, 365, 556, 834, 834, 834, 611,
    667, 667, 667, 667, 667, 667, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,
    722, 722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611,
    556, 556, 556, 556, 556, 556, 889, 500, 556, 556, 556, 556, 278, 278, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 584, 611, 556, 556, 556, 556, 500, 556, 500,
};

[[noreturn]] void refuse(const std::string& message) { fail(Failure::layout, message); }

std::string number(double value) { return QUtil::double_to_string(value, 3); }

// A page attribute, looked up through the page's ancestors as the tree lets it be inherited.
QPDFObjectHandle inherited(QPDFObjectHandle page, const std::string& key) {
    std::set<QPDFObjGen> seen;
    for (int depth = 0; page.isDictionary() && depth < kMaxInheritanceDepth; ++depth) {
        if (page.hasKey(key)) return page.getKey(key);
        if (page.isIndirect() && !seen.insert(page.getObjGen()).second) break;
        page = page.getKey("/Parent");
    }
    return QPDFObjectHandle::newNull();
}

std::optional<std::array<double, 4>> rectangle(QPDFObjectHandle value) {
    if (!value.isArray() || value.getArrayNItems() != 4) return std::nullopt;
    std::array<double, 4> corners{};
    for (int i = 0; i < 4; ++i) {
        QPDFObjectHandle item = value.getArrayItem(i);
        if (!item.isNumber()) return std::nullopt;
        corners[static_cast<std::size_t>(i)] = item.getNumericValue();
        if (!std::isfinite(corners[static_cast<std::size_t>(i)])) return std::nullopt;
    }
    return std::array<double, 4>{std::min(corners[0], corners[2]), std::min(corners[1], corners[3]),
                                 std::max(corners[0], corners[2]), std::max(corners[1], corners[3])};
}

// The part of the page a reader sees: the crop box within the media box.
std::array<double, 4> visible_area(QPDFObjectHandle page, int number) {
    std::optional<std::array<double, 4>> media = rectangle(inherited(page, "/MediaBox"));
    if (!media) refuse("page " + std::to_string(number) + " has no readable /MediaBox");
    std::array<double, 4> area = *media;
    if (std::optional<std::array<double, 4>> crop = rectangle(inherited(page, "/CropBox"))) {
        area = {std::max(area[0], (*crop)[0]), std::max(area[1], (*crop)[1]),
                std::min(area[2], (*crop)[2]), std::min(area[3], (*crop)[3])};
    }
    if (area[2] <= area[0] || area[3] <= area[1])
        refuse("page " + std::to_string(number) + " shows nothing: its crop box lies outside its media box");
    return area;
}

int rotation_of(QPDFObjectHandle page, int number) {
    QPDFObjectHandle value = inherited(page, "/Rotate");
    if (value.isNull()) return 0;
    if (!value.isInteger() || value.getIntValue() % 90 != 0)
        refuse("page " + std::to_string(number) + " has a /Rotate that is not a multiple of 90");
    return static_cast<int>(((value.getIntValue() % 360) + 360) % 360);
}

// A point of the page as shown (origin at the lower left of the visible
// area) in default user space: undoes the clockwise display rotation.
std::array<double, 2> user_space(const std::array<double, 4>& area, int rotation, double u, double v) {
    switch (rotation) {
        case 90: return {area[2] - v, area[1] + u};
        case 180: return {area[2] - u, area[3] - v};
        case 270: return {area[0] + v, area[3] - u};
        default: return {area[0] + u, area[1] + v};
    }
}

std::string win_ansi(const std::string& utf8) {
    // qpdf knows the encoding's small tilde (0x98) only as U+0303; people type U+02DC.
    std::string text = utf8;
    for (std::size_t at = text.find("\xCB\x9C"); at != std::string::npos; at = text.find("\xCB\x9C", at))
        text.replace(at, 2, "\xCC\x83");
    std::string encoded;
    bool complete = QUtil::utf8_to_win_ansi(text, encoded, '?');
    bool drawable = std::all_of(encoded.begin(), encoded.end(), [](char c) {
        return kHelveticaWidths[static_cast<unsigned char>(c)] != 0;
    });
    if (!complete || !drawable)
        refuse("the appearance line '" + utf8 + "' has characters that the standard font "
               "(Helvetica, WinAnsiEncoding) cannot show");
    return encoded;
}

double text_width(const std::string& win) {
    double width = 0;
    for (char c : win) width += kHelveticaWidths[static_cast<unsigned char>(c)];
    return width / 1000.0;
}

double padding(const AppearancePlan& plan) { return kBorderWidth + std::min(plan.width, plan.height) * 0.05; }

// Turns the form's upright drawing with the page, so that it reads upright on screen.
std::string rotation_matrix(int rotation) {
    switch (rotation) {
        case 90: return "[0 1 -1 0 0 0]";
        case 180: return "[-1 0 0 -1 0 0]";
        case 270: return "[0 -1 1 0 0 0]";
        default: return "[1 0 0 1 0 0]";
    }
}

std::string drawing(const AppearancePlan& plan) {
    std::string ops = "q 0 G " + number(kBorderWidth) + " w " + number(kBorderWidth / 2) + " " +
                      number(kBorderWidth / 2) + " " + number(plan.width - kBorderWidth) + " " +
                      number(plan.height - kBorderWidth) + " re S\n";
    if (!plan.lines.empty()) {
        double size = plan.font_size, pad = padding(plan);
        double block = kLeading * size * static_cast<double>(plan.lines.size());
        double top = plan.height / 2 + block / 2;
        // Each line's ascender and descender are centred in its line height.
        double baseline_drop = (kLeading * size - (kAscender + kDescender) / 1000 * size) / 2 + kAscender / 1000 * size;
        ops += "BT 0 g /Helv " + number(size) + " Tf " + number(kLeading * size) + " TL " + number(pad) + " " +
               number(top - baseline_drop) + " Td\n";
        for (std::size_t i = 0; i < plan.lines.size(); ++i) {
            if (i > 0) ops += "T* ";
            ops += QPDFObjectHandle::newString(plan.lines[i]).unparse() + " Tj\n";
        }
        ops += "ET\n";
    }
    return ops + "Q\n";
}

}  // namespace

std::optional<Held> page_at(QPDF& pdf, int number) {
    std::set<QPDFObjGen> seen;
    int visited = 0, count = 0;
    std::vector<Held> pending{Held::indirect(pdf.getRoot()).key("/Pages")};
    while (!pending.empty() && ++visited < kMaxPageTreeNodes) {
        Held node = pending.back();
        pending.pop_back();
        if (!node.object.isDictionary()) continue;
        if (node.object.isIndirect() && !seen.insert(node.object.getObjGen()).second) continue;
        Held kids = node.key("/Kids");
        if (node.object.getKey("/Type").isNameAndEquals("/Page") || !kids.object.isArray()) {
            if (++count == number) return node;
            continue;
        }
        for (int i = kids.object.getArrayNItems() - 1; i >= 0; --i) pending.push_back(kids.item(i));
    }
    return std::nullopt;
}

AppearancePlan plan_appearance(QPDF& pdf, const VisibleAppearance& appearance) {
    AppearancePlan plan;
    std::optional<Held> page = appearance.page >= 1 ? page_at(pdf, appearance.page) : std::nullopt;
    if (!page) refuse("the document has no page " + std::to_string(appearance.page) + " for the signature appearance");
    plan.page = *page;
    std::array<double, 4> area = visible_area(page->object, appearance.page);
    plan.rotation = rotation_of(page->object, appearance.page);

    const std::array<double, 4>& box = appearance.box;
    if (!std::all_of(box.begin(), box.end(), [](double v) { return std::isfinite(v); }))
        refuse("the appearance box must be four finite numbers");
    double u1 = std::min(box[0], box[2]), v1 = std::min(box[1], box[3]);
    double u2 = std::max(box[0], box[2]), v2 = std::max(box[1], box[3]);
    plan.width = u2 - u1;
    plan.height = v2 - v1;
    if (plan.width < 4 * kBorderWidth || plan.height < 4 * kBorderWidth)
        refuse("the appearance box is too small (" + number(plan.width) + " x " + number(plan.height) + " points)");
    bool turned = plan.rotation == 90 || plan.rotation == 270;
    double shown_width = turned ? area[3] - area[1] : area[2] - area[0];
    double shown_height = turned ? area[2] - area[0] : area[3] - area[1];
    if (u1 < 0 || v1 < 0 || u2 > shown_width || v2 > shown_height)
        refuse("the appearance box [" + number(u1) + " " + number(v1) + " " + number(u2) + " " + number(v2) +
               "] does not lie within page " + std::to_string(appearance.page) + ", which is shown as " +
               number(shown_width) + " x " + number(shown_height) + " points");
    std::array<double, 2> a = user_space(area, plan.rotation, u1, v1);
    std::array<double, 2> b = user_space(area, plan.rotation, u2, v2);
    plan.rect = {std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[0], b[0]), std::max(a[1], b[1])};

    double widest = 0;
    for (const std::string& line : appearance.lines) {
        plan.lines.push_back(win_ansi(line));
        widest = std::max(widest, text_width(plan.lines.back()));
    }
    if (!plan.lines.empty()) {
        double pad = padding(plan);
        double by_height = (plan.height - 2 * pad) / (kLeading * static_cast<double>(plan.lines.size()));
        double by_width = widest > 0 ? (plan.width - 2 * pad) / widest : by_height;
        plan.font_size = std::min(by_height, by_width);
        if (plan.font_size < kSmallestFontSize)
            refuse("the appearance box is too small for its " + std::to_string(plan.lines.size()) +
                   " line(s) of text: they would be under " + number(kSmallestFontSize) + " points high");
    }
    return plan;
}

void dress_widget(IncrementalUpdate& update, QPDFObjectHandle widget, const AppearancePlan& plan) {
    QPDFObjectHandle font = update.add(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/Helv", font);
    resources.replaceKey("/Font", fonts);
    QPDFObjectHandle form = QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form >>");
    form.replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, plan.width, plan.height)));
    form.replaceKey("/Matrix", QPDFObjectHandle::parse(rotation_matrix(plan.rotation)));
    form.replaceKey("/Resources", resources);
    QPDFObjectHandle stream = update.add_stream(drawing(plan), form);

    QPDFObjectHandle normal = QPDFObjectHandle::newDictionary();
    normal.replaceKey("/N", stream);
    widget.replaceKey("/AP", normal);
    const std::array<double, 4>& rect = plan.rect;
    widget.replaceKey("/Rect", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(rect[0], rect[1], rect[2], rect[3])));
}

}  // namespace pdfengine
