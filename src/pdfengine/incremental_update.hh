// One incremental update of a document: the objects it adds or changes,
// written after the document's last byte with a cross-reference section of
// the same kind as the document's last one and a trailer chained by /Prev.
#pragma once

#include "document.hh"
#include "encryption.hh"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace pdfengine {

struct WrittenUpdate {
    std::string bytes;                             // to append after the document
    std::map<QPDFObjGen, qpdf_offset_t> offsets;   // absolute offset of every object written
    qpdf_offset_t xref_offset = 0;                 // absolute offset of its xref section
    long long size = 0;                            // its trailer's /Size
    std::map<QPDFObjGen, std::string> stream_data; // data of the streams it adds, unencrypted

    // What the document keeps of it until it is made the document's next revision.
    PendingUpdate pending() const;
};

// An object and the indirect object whose serialisation contains it: a
// change to the object means writing that holder again.
struct Held {
    mutable QPDFObjectHandle object;  // qpdf's accessors are not const
    mutable QPDFObjectHandle holder;

    static Held indirect(QPDFObjectHandle object) { return Held{object, object}; }
    // The value under `key` of this dictionary.
    Held key(const std::string& key) const;
    // Item `index` of this array.
    Held item(int index) const;
};

class IncrementalUpdate {
public:
    // Works on `document.pdf_for_change()`.
    explicit IncrementalUpdate(Document& document);

    QPDF& pdf() noexcept { return pdf_; }
    const Document& document() const noexcept { return document_; }

    // A new indirect object holding `direct_object`.
    QPDFObjectHandle add(QPDFObjectHandle direct_object);
    // A new indirect stream with `data` (written unfiltered) and `dictionary`
    // entries; until written, the object is its dictionary.
    QPDFObjectHandle add_stream(const std::string& data, QPDFObjectHandle dictionary);
    // Declares that the holder of `held` is about to change.
    void touch(const Held& held);
    // Writes the object's body as `body`, verbatim, instead of qpdf's serialisation.
    void set_body(QPDFObjectHandle object, std::string body);
    // The string `bytes` as a token for a verbatim body of `owner`: encrypted
    // with the document's key when the document is encrypted.
    std::string string_token(QPDFObjectHandle owner, const std::string& bytes) const;

    // Serialises every new object and every touched object whose content
    // really changed. Nothing is written (empty bytes) when nothing changed.
    WrittenUpdate write();

private:
    std::string body_of(QPDFObjectHandle object);
    void write_classic_xref(WrittenUpdate& update);
    void write_xref_stream(WrittenUpdate& update);
    std::string trailer_entries(long long size);

    Document& document_;
    QPDF& pdf_;
    std::optional<Encryption> encryption_;
    std::set<QPDFObjGen> added_;
    std::map<QPDFObjGen, std::string> snapshots_;   // touched objects as they were
    std::map<QPDFObjGen, std::string> bodies_;
    std::map<QPDFObjGen, std::string> stream_data_;
    int next_number_ = 1;   // of the next new object
};

}  // namespace pdfengine
