// The interactive form of a document as the signing code needs it: every field
// with its fully qualified name and inherited type and value, and the
// signatures those fields carry.
#pragma once

#include "qpdf.hh"

#include <set>

#include <string>
#include <vector>

namespace pdfengine {

struct FormField {
    std::string name;         // fully qualified ("parent.child")
    QPDFObjectHandle dict;    // the field dictionary
    QPDFObjectHandle holder;  // the indirect object whose serialisation contains it
    std::string type;         // inherited /FT ("/Sig", "/Tx", ...), empty when none
    QPDFObjectHandle value;   // inherited /V, null when none
    QPDFObjGen value_source;  // the indirect object the value is read from (it, or its holder)
    bool terminal = true;     // no child fields
};

// Fields reachable from the catalog's /AcroForm /Fields, parents before kids.
std::vector<FormField> form_fields(QPDF& pdf);

struct SignatureRecord {
    std::string field;
    QPDFObjGen value_id;               // the signature dictionary, when indirect
    std::string type;                  // /Type of the value: "/Sig", "/DocTimeStamp" or ""
    std::string subfilter;             // empty when absent
    std::vector<long long> byte_range; // empty when absent or malformed
    std::string contents;              // the /Contents string's bytes
};

// Keeps what a walk of the form copies out in proportion to the document:
// an object listed under many fields counts in full each time, and the total
// may exceed twice the distinct objects' size only by a fixed allowance.
class SharedOutputBudget {
public:
    explicit SharedOutputBudget(const char* what) : what_(what) {}
    // Counts `size` bytes copied from `source` (an indirect object, or none).
    void add(QPDFObjGen source, std::size_t size);

private:
    const char* what_;
    std::set<QPDFObjGen> distinct_sources_;
    std::size_t distinct_ = 0;
    std::size_t total_ = 0;
};

// The signed signature fields of the document.
std::vector<SignatureRecord> signatures(QPDF& pdf);

// /P of the DocMDP transform that certifies the document (2 when the
// transform gives none), or 0 when the document is not certified.
int certification_permission(QPDF& pdf);

}  // namespace pdfengine
