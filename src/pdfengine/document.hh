// A PDF document read by qpdf from one or more pieces (in memory or a file), plus the
// facts about its last cross-reference section that an incremental update
// must chain to.
#pragma once

#include "piece_source.hh"
#include "qpdf.hh"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pdfengine {

// The cross-reference section that the file's final `startxref` names.
struct LastSection {
    qpdf_offset_t offset = 0;  // value of the final startxref: the next /Prev
    bool is_stream = false;    // xref stream, or classic table (also for hybrid files)
    long long size = 0;        // /Size of its trailer
};

// An update an operation built for the document, kept until the caller
// appends it to the document's bytes and says so (Document::extend).
struct PendingUpdate {
    std::string bytes;
    qpdf_offset_t xref_offset = 0;                    // absolute offset of its xref section
    long long size = 0;                               // its trailer's /Size
    long long highest_object = 0;                     // largest object number it writes
    std::map<QPDFObjGen, std::string> stream_data;    // data of the streams it adds
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
    // The parsed document, for an operation that changes it in memory; unless
    // the change is made the document's next revision (extend), the next use
    // reads the pieces afresh, so no change leaks into another one.
    QPDF& pdf_for_change();

    // Largest object number the document uses, its updates included (read
    // from qpdf's table when first needed: only updates need it).
    long long highest_object();
    // Data of a stream an extension added (held in memory as its
    // dictionary), or nullptr.
    const std::string* added_stream_data(QPDFObjGen id) const;

    // Records the update an operation just built on pdf_for_change(), whose
    // in-memory objects now are that update's; it replaces any earlier one.
    void set_pending(PendingUpdate update);
    // Makes the pending update, whose bytes are `bytes`, the document's last
    // revision: its objects are already in memory and every earlier offset is
    // unchanged, so nothing is read again.
    void extend(std::string_view bytes);

private:
    void check_header() const;
    void find_last_section();
    std::unique_ptr<QPDF> parse() const;

    std::vector<Piece> pieces_;
    std::shared_ptr<PieceSource> source_;
    std::unique_ptr<QPDF> pdf_;
    bool changed_ = false;
    LastSection last_section_;
    std::optional<long long> parsed_highest_;   // of the parsed revisions
    long long extended_highest_ = 0;            // of the updates extend() added since
    std::optional<PendingUpdate> pending_;
    std::vector<std::unique_ptr<const std::string>> extensions_;   // bytes of committed updates
    std::map<QPDFObjGen, std::string> added_streams_;
};

}  // namespace pdfengine
