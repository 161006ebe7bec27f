// The signature dictionaries of a document's signed fields, whole, for
// reports that need more of them than the signing code does (/M, /Name,
// /Reason, /Location ...).
#pragma once

#include "qpdf.hh"

#include <string>
#include <vector>

namespace pdfengine {

struct SignatureValue {
    std::string field;  // fully qualified field name
    std::string json;   // the signature dictionary in qpdf's JSON (version 2)
};

// In the order of Document::signatures().
std::vector<SignatureValue> signature_values(QPDF& pdf);

}  // namespace pdfengine
