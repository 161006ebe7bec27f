#include "document.hh"

#include "errors.hh"
#include "limits.hh"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

namespace pdfengine {
namespace {

constexpr std::size_t kHeaderWindow = 1024;
constexpr std::size_t kTailWindow = 1024;

bool is_pdf_space(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

}  // namespace

Document::Document(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {
    source_ = std::make_shared<PieceSource>("input PDF", pieces_);
    if (source_->size() == 0) fail(Failure::read, "the input is empty, not a PDF document");
    check_header();
    find_last_section();
    pdf_ = parse();
    QPDFObjectHandle trailer = pdf_->getTrailer();
    QPDFObjectHandle size = trailer.getKey("/Size");
    if (!size.isInteger() || size.getIntValue() < 1)
        fail(Failure::read, "the document's trailer has no valid /Size");
    // New objects are numbered from /Size up: a /Size past the largest object
    // number PDF allows would give an update no reader can follow.
    if (size.getIntValue() > kMaxObjectNumber + 1)
        fail(Failure::read, "the document's trailer /Size " + std::to_string(size.getIntValue()) +
                                " is beyond the largest object number a PDF document can have (" +
                                std::to_string(kMaxObjectNumber) + "): its trailer is damaged");
    last_section_.size = size.getIntValue();
    // The catalog must be an object of its own: an update rewrites it by number.
    if (!trailer.getKey("/Root").isIndirect() && trailer.getKey("/Root").isDictionary())
        fail(Failure::read, "the document's trailer holds its /Root catalog directly instead of referring to "
                            "it: the trailer is damaged");
    if (!trailer.getKey("/Root").isDictionary())
        fail(Failure::read, "the document's trailer has no /Root catalog dictionary: "
                            "its cross-reference table is damaged or the file is not a PDF document");
}

void Document::check_header() const {
    std::string head = source_->slice(0, kHeaderWindow);
    if (head.find("%PDF-") == std::string::npos)
        fail(Failure::read, "the input is not a PDF document: no %PDF- header at its start");
}

void Document::find_last_section() {
    qpdf_offset_t size = source_->size();
    qpdf_offset_t tail_start = size > static_cast<qpdf_offset_t>(kTailWindow) ? size - kTailWindow : 0;
    std::string tail = source_->slice(tail_start, kTailWindow);
    std::size_t keyword = tail.rfind("startxref");
    if (keyword == std::string::npos)
        fail(Failure::read,
             "the PDF document has no startxref at its end: the file is truncated or damaged");
    std::size_t at = keyword + 9;
    while (at < tail.size() && is_pdf_space(tail[at])) ++at;
    std::size_t digits = at;
    while (at < tail.size() && std::isdigit(static_cast<unsigned char>(tail[at]))) ++at;
    if (digits == at || at - digits > 18)
        fail(Failure::read, "the PDF document's startxref gives no offset: the file is truncated");
    qpdf_offset_t offset = std::stoll(tail.substr(digits, at - digits));
    if (offset <= 0 || offset >= size)
        fail(Failure::read, "the PDF document's startxref points outside the file: it is truncated or damaged");
    last_section_.offset = offset;

    std::string section = source_->slice(offset, 32);
    std::size_t start = 0;
    while (start < section.size() && is_pdf_space(section[start])) ++start;
    last_section_.is_stream = section.compare(start, 4, "xref") != 0;
}

std::unique_ptr<QPDF> Document::parse() const {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    // A damaged cross-reference table cannot be chained to: refuse it rather
    // than append an update whose /Prev leads nowhere.
    pdf->setAttemptRecovery(false);
    try {
        source_->rewind();
        pdf->processInputSource(source_);
    } catch (const QPDFExc& error) {
        std::string message = error.what();
        bool about_encryption = message.find("encrypt") != std::string::npos;
        if (error.getErrorCode() == qpdf_e_password)
            fail(Failure::encrypted, "the PDF document is encrypted with a user password (" +
                                         error.getMessageDetail() +
                                         "): documents that need a password to open cannot be signed");
        if (error.getErrorCode() == qpdf_e_unsupported && about_encryption)
            fail(Failure::encrypted, "the PDF document is encrypted in a way that cannot be read (" +
                                         error.getMessageDetail() + "); it cannot be signed");
        fail(Failure::read, std::string("the PDF document cannot be read: ") + error.what());
    } catch (const std::exception& error) {
        fail(Failure::read, std::string("the PDF document cannot be read: ") + error.what());
    }
    QPDFObjectHandle trailer = pdf->getTrailer();
    if (!last_section_.is_stream && trailer.getKey("/Type").isNameAndEquals("/XRef"))
        fail(Failure::read, "the PDF document's final startxref does not point at its last xref section");
    return pdf;
}

long long Document::highest_object() {
    if (!parsed_highest_) {
        // qpdf hands out a copy of its table: read once per parse.
        std::map<QPDFObjGen, QPDFXRefEntry> table = pdf_->getXRefTable();
        parsed_highest_ = table.empty() ? 0 : table.rbegin()->first.getObj();
    }
    return std::max(*parsed_highest_, extended_highest_);
}

QPDF& Document::pdf() {
    if (changed_) {
        pending_.reset();
        pdf_ = parse();
        parsed_highest_.reset();
        changed_ = false;
    }
    return *pdf_;
}

QPDF& Document::pdf_for_change() {
    QPDF& pdf = this->pdf();
    pending_.reset();
    changed_ = true;
    return pdf;
}

const std::string* Document::added_stream_data(QPDFObjGen id) const {
    auto found = added_streams_.find(id);
    return found == added_streams_.end() ? nullptr : &found->second;
}

void Document::set_pending(PendingUpdate update) {
    if (!changed_) throw std::logic_error("an update is pending only after a change in memory");
    pending_ = std::move(update);
}

void Document::extend(std::string_view bytes) {
    if (!pending_ || pending_->bytes != bytes)
        fail(Failure::write, "the update to add is not the one last prepared for this document "
                             "(prepare_signature or append_dss), or the document was used since");
    extensions_.push_back(std::make_unique<const std::string>(std::move(pending_->bytes)));
    Piece piece = Piece::of_memory(*extensions_.back());
    pieces_.push_back(piece);
    source_->append(piece);
    last_section_.offset = pending_->xref_offset;
    last_section_.size = pending_->size;
    extended_highest_ = std::max(extended_highest_, pending_->highest_object);
    added_streams_.merge(pending_->stream_data);
    pending_.reset();
    changed_ = false;
}

}  // namespace pdfengine
