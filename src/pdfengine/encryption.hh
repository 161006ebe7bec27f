// The security handler of an encrypted document, as an incremental update
// needs it: every string and stream the update writes is encrypted with the
// document's own key, so the whole file stays readable with the password it
// had. Only the standard handler's RC4, AES-128 and AES-256 methods are
// written; anything else is refused.
#pragma once

#include "qpdf.hh"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pdfengine {

class Encryption {
public:
    // The document's encryption, or nothing for a document that is not
    // encrypted. Refuses (Failure::encrypted) a method the engine cannot
    // write, and permissions that forbid filling in form fields.
    static std::optional<Encryption> of(QPDF& pdf);

    std::string encrypt_string(QPDFObjGen owner, std::string_view plain) const;
    std::string encrypt_stream(QPDFObjGen owner, std::string_view plain) const;

    // A string as it is written inside object `owner`: hex, encrypted.
    std::string string_token(QPDFObjGen owner, std::string_view plain) const;
    // `object` serialised with each of its strings encrypted for `owner`,
    // except the /Contents of signature dictionaries, which stay plain.
    std::string unparse(QPDFObjectHandle object, QPDFObjGen owner) const;

private:
    Encryption() = default;
    std::string unparse_value(QPDFObjectHandle object, QPDFObjGen owner, bool top) const;
    std::string encrypt(QPDF::encryption_method_e method, QPDFObjGen owner, std::string_view plain) const;

    std::string key_;
    int v_ = 0;
    int r_ = 0;
    QPDF::encryption_method_e strings_ = QPDF::e_none;
    QPDF::encryption_method_e streams_ = QPDF::e_none;
};

}  // namespace pdfengine
