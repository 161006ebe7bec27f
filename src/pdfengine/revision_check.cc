#include "revision_check.hh"

#include "errors.hh"

namespace pdfengine {
namespace {

[[noreturn]] void mismatch(const std::string& what) {
    fail(Failure::write, "the incremental update failed its own check: " + what);
}

std::string describe(QPDFObjGen id) { return "object " + id.unparse(' '); }

const SignatureRecord* find_record(const std::vector<SignatureRecord>& records, const SignatureRecord& wanted) {
    for (const SignatureRecord& record : records) {
        bool same = wanted.value_id.isIndirect() ? record.value_id == wanted.value_id : record.field == wanted.field;
        if (same) return &record;
    }
    return nullptr;
}

long long covered_end(const std::vector<long long>& byte_range) {
    long long end = 0;
    for (std::size_t i = 0; i + 1 < byte_range.size(); i += 2) end = std::max(end, byte_range[i] + byte_range[i + 1]);
    return end;
}

}  // namespace

void check_update(const Document& before, const WrittenUpdate& update,
                  const std::vector<SignatureRecord>& earlier,
                  const std::optional<ExpectedSignature>& added) {
    std::vector<Piece> pieces = before.pieces();
    pieces.push_back(Piece::of_memory(update.bytes));
    std::optional<Document> after;
    try {
        after.emplace(pieces);
    } catch (const Error& error) {
        mismatch(std::string("the output cannot be read back (") + error.what() + ")");
    }
    QPDF& pdf = after->pdf();
    if (after->last_section().offset != update.xref_offset)
        mismatch("the output's startxref does not name the new xref section");
    if (after->last_section().size != update.size) mismatch("the new trailer's /Size is not the one written");

    std::map<QPDFObjGen, QPDFXRefEntry> table = pdf.getXRefTable();
    for (const auto& [id, offset] : update.offsets) {
        auto entry = table.find(id);
        if (entry == table.end() || entry->second.getType() != 1 || entry->second.getOffset() != offset)
            mismatch(describe(id) + " is not found where it was written");
    }

    std::vector<SignatureRecord> now = signatures(pdf);
    for (const SignatureRecord& old : earlier) {
        const SignatureRecord* record = find_record(now, old);
        if (record == nullptr) mismatch("the signature in field '" + old.field + "' is no longer in the document");
        if (record->byte_range != old.byte_range || record->contents != old.contents)
            mismatch("the signature in field '" + old.field + "' no longer has its /ByteRange and /Contents");
        if (covered_end(old.byte_range) > before.length())
            mismatch("the signature in field '" + old.field + "' covers bytes beyond the earlier document");
    }
    std::size_t expected_count = earlier.size() + (added ? 1 : 0);
    if (added) {
        const SignatureRecord* record = nullptr;
        for (const SignatureRecord& candidate : now)
            if (candidate.field == added->field) record = &candidate;
        if (record == nullptr) mismatch("the new signature field '" + added->field + "' cannot be found");
        if (record->byte_range != added->byte_range)
            mismatch("the new signature's /ByteRange is not the one laid out");
    }
    if (now.size() != expected_count) mismatch("the document's signatures changed in number");
}

}  // namespace pdfengine
