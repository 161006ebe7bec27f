#include "revisions.hh"

#include "errors.hh"
#include "limits.hh"

#include <cctype>
#include <set>
#include <string>

namespace pdfengine {
namespace {

constexpr std::string_view kEndMarker = "%%EOF";
constexpr std::string_view kStartXref = "startxref";
// Scanned in windows; the overlap keeps a marker across a window border whole.
constexpr std::size_t kWindow = 1 << 20;
// "startxref", an offset of up to 18 digits and the spaces around it.
constexpr std::size_t kLookBack = 64;

bool is_pdf_space(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

// The offset that "startxref <offset>" right before a %%EOF at `marker` names, or -1.
qpdf_offset_t named_section(const PieceSource& source, qpdf_offset_t marker) {
    qpdf_offset_t from = marker > static_cast<qpdf_offset_t>(kLookBack) ? marker - kLookBack : 0;
    std::string before = source.slice(from, static_cast<std::size_t>(marker - from));
    std::size_t at = before.size();
    while (at > 0 && is_pdf_space(before[at - 1])) --at;
    std::size_t digits_end = at;
    while (at > 0 && std::isdigit(static_cast<unsigned char>(before[at - 1]))) --at;
    if (at == digits_end || digits_end - at > 18) return -1;
    std::size_t digits_start = at;
    while (at > 0 && is_pdf_space(before[at - 1])) --at;
    if (at == digits_start || at < kStartXref.size() ||
        before.compare(at - kStartXref.size(), kStartXref.size(), kStartXref) != 0)
        return -1;
    qpdf_offset_t offset = std::stoll(before.substr(digits_start, digits_end - digits_start));
    qpdf_offset_t keyword = from + static_cast<qpdf_offset_t>(at - kStartXref.size());
    return offset > 0 && offset < keyword ? offset : -1;
}

// Just after the marker at `marker` and one line end (CR, LF or CR LF), which
// some writers precede with spaces; just after the marker when no line end follows.
qpdf_offset_t end_after(const PieceSource& source, qpdf_offset_t marker) {
    qpdf_offset_t end = marker + static_cast<qpdf_offset_t>(kEndMarker.size());
    constexpr std::size_t kLook = 16;
    std::string next = source.slice(end, kLook);
    std::size_t at = next.find_first_not_of(" \t");
    if (at == std::string::npos) return end;
    if (next.compare(at, 2, "\r\n") == 0) return end + static_cast<qpdf_offset_t>(at + 2);
    if (next[at] == '\r' || next[at] == '\n') return end + static_cast<qpdf_offset_t>(at + 1);
    return end;
}

bool reads_as_document(const Document& document, qpdf_offset_t end, qpdf_offset_t xref_offset) {
    try {
        Document earlier(leading_pieces(document, end));
        return earlier.last_section().offset == xref_offset;
    } catch (const std::exception&) {
        // A %%EOF inside a stream or a damaged section is not a revision end.
        return false;
    }
}

}  // namespace

std::vector<Piece> leading_pieces(const Document& document, qpdf_offset_t end) {
    std::vector<Piece> result;
    qpdf_offset_t start = 0;
    for (const Piece& piece : document.pieces()) {
        if (start >= end) break;
        result.push_back(piece.leading(end - start));
        start += piece.size();
    }
    return result;
}

std::vector<Revision> revisions(const Document& document) {
    const PieceSource& source = document.source();
    qpdf_offset_t size = source.size();
    std::vector<Revision> found;
    std::set<qpdf_offset_t> tried;
    qpdf_offset_t window_start = 0;
    while (window_start < size) {
        std::string window = source.slice(window_start, kWindow + kEndMarker.size() - 1);
        for (std::size_t at = window.find(kEndMarker); at != std::string::npos && at < kWindow;
             at = window.find(kEndMarker, at + 1)) {
            qpdf_offset_t marker = window_start + static_cast<qpdf_offset_t>(at);
            qpdf_offset_t xref_offset = named_section(source, marker);
            if (xref_offset < 0) continue;
            qpdf_offset_t end = end_after(source, marker);
            if (!found.empty() && xref_offset <= found.back().xref_offset) continue;
            // Each parse reads the whole chain of sections before it: parse an
            // offset once however many markers name it, and only so many.
            if (!tried.insert(xref_offset).second) continue;
            if (static_cast<int>(tried.size()) > kMaxRevisions)
                fail(Failure::read, "the PDF document has more than " + std::to_string(kMaxRevisions) +
                                        " revisions (incremental updates or markers that end one): too many to "
                                        "tell apart");
            if (reads_as_document(document, end, xref_offset)) found.push_back(Revision{xref_offset, end});
        }
        window_start += static_cast<qpdf_offset_t>(kWindow);
    }
    if (found.empty() || found.back().xref_offset != document.last_section().offset)
        found.push_back(Revision{document.last_section().offset, size});
    return found;
}

}  // namespace pdfengine
