#include "revision_check.hh"

#include "errors.hh"

#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>

namespace pdfengine {
namespace {

[[noreturn]] void mismatch(const std::string& what) {
    fail(Failure::write, "the incremental update failed its own check: " + what);
}

std::string describe(QPDFObjGen id) { return "object " + id.unparse(' '); }

// Reads the update's bytes at absolute offsets of the resulting file.
class UpdateReader {
public:
    UpdateReader(const WrittenUpdate& update, qpdf_offset_t base)
        : base_(base), end_(base + static_cast<qpdf_offset_t>(update.bytes.size())),
          source_(std::make_shared<PieceSource>("the new update", std::vector<Piece>{Piece::of_memory(update.bytes)})) {
        scratch_.emptyPDF();
    }

    void seek(qpdf_offset_t offset, const std::string& what) {
        if (offset < base_ || offset >= end_) mismatch(what + " lies outside the update");
        source_->seek(offset - base_, SEEK_SET);
    }
    qpdf_offset_t tell() { return source_->tell() + base_; }

    long long integer(const std::string& what) {
        QPDFTokenizer::Token token = tokenizer_.readToken(source_, "the new update");
        if (token.getType() != QPDFTokenizer::tt_integer) mismatch(what + " is not a number");
        return QUtil::string_to_ll(token.getValue().c_str());
    }
    bool word_is(const std::string& expected) {
        QPDFTokenizer::Token token = tokenizer_.readToken(source_, "the new update");
        return token.getType() == QPDFTokenizer::tt_word && token.getValue() == expected;
    }
    void word(const std::string& expected, const std::string& what) {
        if (!word_is(expected)) mismatch(what + " lacks '" + expected + "'");
    }
    QPDFObjectHandle object(const std::string& what) {
        bool empty = false;
        QPDFObjectHandle result;
        try {
            // References resolve in a scratch document: only the syntax is read here.
            result = QPDFObjectHandle::parse(source_, what, tokenizer_, empty, nullptr, &scratch_);
        } catch (const std::exception& error) {
            mismatch(what + " cannot be parsed (" + error.what() + ")");
        }
        if (empty) mismatch(what + " is empty");
        return result;
    }
    // The header "N G obj", the object, and what closes it; returns the
    // object (a stream's dictionary) and, for a stream, its data.
    QPDFObjectHandle indirect_object(QPDFObjGen id, qpdf_offset_t offset, std::string* data = nullptr) {
        std::string what = describe(id);
        seek(offset, what);
        if (integer(what) != id.getObj() || integer(what) != id.getGen()) mismatch(what + " is not found where it was written");
        word("obj", what);
        QPDFObjectHandle body = object(what);
        QPDFTokenizer::Token after = tokenizer_.readToken(source_, "the new update");
        if (after.getType() == QPDFTokenizer::tt_word && after.getValue() == "stream") {
            QPDFObjectHandle length = body.isDictionary() ? body.getKey("/Length") : QPDFObjectHandle::newNull();
            if (!length.isInteger() || length.getIntValue() < 0) mismatch(what + " is a stream without a /Length");
            qpdf_offset_t start = tell() + 1;  // after the end of line that follows "stream"
            if (start + length.getIntValue() > end_) mismatch(what + " has a stream longer than the update");
            if (data != nullptr)
                *data = source_->slice(start - base_, static_cast<std::size_t>(length.getIntValue()));
            seek(start + length.getIntValue(), what);
            word("endstream", what);
            word("endobj", what);
        } else if (after.getType() != QPDFTokenizer::tt_word || after.getValue() != "endobj") {
            mismatch(what + " is not closed by endobj");
        }
        return body;
    }

private:
    qpdf_offset_t base_;
    qpdf_offset_t end_;
    std::shared_ptr<PieceSource> source_;
    QPDFTokenizer tokenizer_;
    QPDF scratch_;
};

using Offsets = std::map<QPDFObjGen, qpdf_offset_t>;

// The rows of a classic xref section, and the trailer after them.
QPDFObjectHandle read_classic_xref(UpdateReader& reader, qpdf_offset_t at, Offsets& rows) {
    reader.seek(at, "the xref section");
    reader.word("xref", "the xref section");
    for (;;) {
        qpdf_offset_t subsection = reader.tell();
        if (reader.word_is("trailer")) break;
        reader.seek(subsection, "the xref section");
        long long first = reader.integer("an xref subsection");
        long long count = reader.integer("an xref subsection");
        for (long long i = 0; i < count; ++i) {
            long long offset = reader.integer("an xref row");
            long long generation = reader.integer("an xref row");
            reader.word("n", "an xref row");
            rows[QPDFObjGen(static_cast<int>(first + i), static_cast<int>(generation))] = offset;
        }
    }
    return reader.object("the trailer");
}

long long big_endian(const std::string& data, std::size_t at, long long width) {
    long long value = 0;
    for (long long i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return value;
}

// The rows of an xref stream; returns its dictionary, the trailer.
QPDFObjectHandle read_xref_stream(UpdateReader& reader, QPDFObjGen id, qpdf_offset_t at, Offsets& rows) {
    std::string data;
    QPDFObjectHandle dict = reader.indirect_object(id, at, &data);
    QPDFObjectHandle widths = dict.getKey("/W");
    QPDFObjectHandle index = dict.getKey("/Index");
    if (!dict.getKey("/Type").isNameAndEquals("/XRef") || !widths.isArray() || widths.getArrayNItems() != 3 ||
        !index.isArray() || index.getArrayNItems() % 2 != 0)
        mismatch("the xref stream lacks /Type /XRef, /W or /Index");
    long long width[3];
    for (int i = 0; i < 3; ++i) {
        if (!widths.getArrayItem(i).isInteger()) mismatch("the xref stream's /W is not numbers");
        width[i] = widths.getArrayItem(i).getIntValue();
        if (width[i] < 0 || width[i] > 8) mismatch("the xref stream's /W is out of range");
    }
    std::size_t row = static_cast<std::size_t>(width[0] + width[1] + width[2]);
    std::size_t at_row = 0;
    for (int i = 0; i < index.getArrayNItems(); i += 2) {
        long long first = index.getArrayItem(i).getIntValue();
        long long count = index.getArrayItem(i + 1).getIntValue();
        for (long long j = 0; j < count; ++j, at_row += row) {
            if (at_row + row > data.size()) mismatch("the xref stream has fewer rows than its /Index names");
            if (big_endian(data, at_row, width[0]) != 1) mismatch("the xref stream has a row that is not an object");
            long long offset = big_endian(data, at_row + static_cast<std::size_t>(width[0]), width[1]);
            long long generation = big_endian(data, at_row + static_cast<std::size_t>(width[0] + width[1]), width[2]);
            rows[QPDFObjGen(static_cast<int>(first + j), static_cast<int>(generation))] = offset;
        }
    }
    if (at_row != data.size()) mismatch("the xref stream has more rows than its /Index names");
    return dict;
}

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

void check_structure(const Document& before, QPDF& pdf, const WrittenUpdate& update) {
    UpdateReader reader(update, before.length());
    Offsets rows;
    QPDFObjectHandle trailer;
    if (before.last_section().is_stream) {
        auto stream = std::find_if(update.offsets.begin(), update.offsets.end(),
                                   [&](const auto& entry) { return entry.second == update.xref_offset; });
        if (stream == update.offsets.end()) mismatch("the xref stream is not among the objects written");
        trailer = read_xref_stream(reader, stream->first, update.xref_offset, rows);
    } else {
        trailer = read_classic_xref(reader, update.xref_offset, rows);
    }
    reader.word("startxref", "the end of the update");
    if (reader.integer("startxref") != update.xref_offset)
        mismatch("the output's startxref does not name the new xref section");
    if (rows != update.offsets) mismatch("the new xref section does not list the objects where they were written");
    for (const auto& [id, offset] : update.offsets)
        if (offset != update.xref_offset) reader.indirect_object(id, offset);

    QPDFObjectHandle size = trailer.getKey("/Size");
    if (!size.isInteger() || size.getIntValue() != update.size) mismatch("the new trailer's /Size is not the one written");
    QPDFObjectHandle prev = trailer.getKey("/Prev");
    if (!prev.isInteger() || prev.getIntValue() != before.last_section().offset)
        mismatch("the new trailer's /Prev does not name the document's last xref section");
    QPDFObjectHandle root = trailer.getKey("/Root");
    if (!root.isIndirect() || root.getObjGen() != pdf.getTrailer().getKey("/Root").getObjGen())
        mismatch("the new trailer's /Root is not the document's catalog");
    for (const auto& [id, offset] : update.offsets)
        if (id.getObj() >= update.size) mismatch(describe(id) + " lies beyond the new trailer's /Size");
}

}  // namespace

void check_update(const Document& before, QPDF& pdf, const WrittenUpdate& update,
                  const std::vector<SignatureRecord>& earlier,
                  const std::optional<ExpectedSignature>& added) {
    check_structure(before, pdf, update);

    std::vector<SignatureRecord> now = signatures(pdf);
    for (const SignatureRecord& old : earlier) {
        const SignatureRecord* record = find_record(now, old);
        if (record == nullptr) mismatch("the signature in field '" + old.field + "' is no longer in the document");
        if (old.value_id.isIndirect() && update.offsets.count(old.value_id))
            mismatch("the update rewrites the signature in field '" + old.field + "'");
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
        if (!record->value_id.isIndirect() || !update.offsets.count(record->value_id))
            mismatch("the new signature's dictionary is not written in the update");
    }
    if (now.size() != expected_count) mismatch("the document's signatures changed in number");
}

}  // namespace pdfengine
