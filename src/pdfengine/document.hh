// A PDF document read by qpdf from one or more pieces (in memory or a file), plus the
// facts about its last cross-reference section that an incremental update
// must chain to.
#pragma once

#include "piece_source.hh"
#include "qpdf.hh"

#include <memory>
#include <vector>

namespace pdfengine {

// The cross-reference section that the file's final `startxref` names.
struct LastSection {
    qpdf_offset_t offset = 0;  // value of the final startxref: the next /Prev
    bool is_stream = false;    // xref stream, or classic table (also for hybrid files)
    long long size = 0;        // /Size of its trailer
};

class Document {
public:
    // The pieces must stay alive and unchanged as long as the document.
    explicit Document(std::vector<Piece> pieces);

    const std::vector<Piece>& pieces() const noexcept { return pieces_; }
    qpdf_offset_t length() const noexcept { return source_->size(); }
    const LastSection& last_section() const noexcept { return last_section_; }
    const PieceSource& source() const noexcept { return *source_; }

    // The parsed document, for reading.
    QPDF& pdf();
    // The parsed document, for an operation that changes it in memory; the
    // next use reads the pieces afresh, so no change leaks into another one.
    QPDF& pdf_for_change();

private:
    void check_header() const;
    void find_last_section();
    std::unique_ptr<QPDF> parse() const;

    std::vector<Piece> pieces_;
    std::shared_ptr<PieceSource> source_;
    std::unique_ptr<QPDF> pdf_;
    bool changed_ = false;
    LastSection last_section_;
};

}  // namespace pdfengine
