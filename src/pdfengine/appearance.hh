// The visible form of a signature widget: where it sits on its page, as the
// reader sees the page (crop box, rotation), and the appearance stream that
// draws a border and lines of text in Helvetica (WinAnsiEncoding).
#pragma once

#include "incremental_update.hh"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace pdfengine {

struct VisibleAppearance {
    int page = 1;                    // 1-based
    std::array<double, 4> box{};     // x1 y1 x2 y2 on the page as shown
    std::vector<std::string> lines;  // UTF-8
};

// Everything needed to draw the appearance, worked out before anything is written.
struct AppearancePlan {
    Held page;
    std::array<double, 4> rect{};        // the widget's /Rect in default user space
    int rotation = 0;                    // the page's /Rotate: 0, 90, 180 or 270
    double width = 0, height = 0;        // of the box as shown
    std::vector<std::string> lines;      // in WinAnsiEncoding
    double font_size = 0;
};

// Page `number` (1-based) of the document, or nothing when it has fewer pages.
std::optional<Held> page_at(QPDF& pdf, int number);

// Refuses (Failure::layout) a page out of range, a box that is degenerate or
// not on the page, text the font cannot show, or a box too small for it.
AppearancePlan plan_appearance(QPDF& pdf, const VisibleAppearance& appearance);

// Sets the widget's /Rect and /AP (a new form XObject and its font).
void dress_widget(IncrementalUpdate& update, QPDFObjectHandle widget, const AppearancePlan& plan);

}  // namespace pdfengine
