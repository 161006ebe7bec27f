// The document security store: validation data (certificates, OCSP
// responses, CRLs) added to the catalog's /DSS in one incremental update.
#pragma once

#include "document.hh"

#include <string>
#include <vector>

namespace pdfengine {

struct ValidationData {
    std::vector<std::string> certs;  // DER
    std::vector<std::string> ocsps;  // DER OCSPResponse
    std::vector<std::string> crls;   // DER
};

// One /VRI entry: the data that validates one signature.
struct VriEntry {
    std::string key;  // upper-case hex SHA-1 of the signature's /Contents
    ValidationData data;
};

// Merges `data` (and `vri`, when not empty) into the document's DSS, creating
// it when missing; an item already present (same bytes) is not added again.
// Returns the update to append, or an empty string when nothing is new.
std::string append_dss(Document& document, const ValidationData& data, const std::vector<VriEntry>& vri);

}  // namespace pdfengine
