// Reads a document back with its new update appended and checks that qpdf
// finds what was written, and that every earlier signature still covers
// exactly the bytes it covered before.
#pragma once

#include "document.hh"
#include "form_fields.hh"
#include "incremental_update.hh"

#include <optional>
#include <string>
#include <vector>

namespace pdfengine {

struct ExpectedSignature {
    std::string field;
    std::vector<long long> byte_range;
};

// `earlier` are the signatures of `before`, read before the update was built.
// Throws Failure::write when anything differs.
void check_update(const Document& before, const WrittenUpdate& update,
                  const std::vector<SignatureRecord>& earlier,
                  const std::optional<ExpectedSignature>& added);

}  // namespace pdfengine
