// Checks a new incremental update before anyone gets it: its objects and
// cross-reference section are read back with qpdf's parser where the update
// says they are, its trailer chains to the document, and every earlier
// signature still covers exactly the bytes it covered before. The earlier
// revisions are not read again: the update only appends to them, and the
// document's parsed state already holds the update's objects.
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

// `pdf` is the state the update was built on (IncrementalUpdate::pdf());
// `earlier` are the signatures of `before`, read before the update was built.
// Throws Failure::write when anything differs.
void check_update(const Document& before, QPDF& pdf, const WrittenUpdate& update,
                  const std::vector<SignatureRecord>& earlier,
                  const std::optional<ExpectedSignature>& added);

}  // namespace pdfengine
