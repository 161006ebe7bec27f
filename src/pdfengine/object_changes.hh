// What a later revision did to the objects of an earlier one, described in
// qpdf's JSON (version 2) so that a policy can judge each change key by key.
#pragma once

#include "document.hh"

#include <optional>
#include <string>
#include <vector>

namespace pdfengine {

struct ObjectChange {
    QPDFObjGen id;
    std::optional<std::string> before;  // JSON of the object in the earlier revision; none when new
    std::optional<std::string> after;   // JSON of the object in the later revision; none when freed
    bool data_changed = false;          // a stream whose raw data differs
};

// The objects that differ between `before` and `after`, where `after` is
// `before` followed by more revisions: new ones, freed ones, and those written
// again with other content (an object written again unchanged is left out).
std::vector<ObjectChange> changed_objects(Document& before, Document& after);

// JSON of the object `id` (dereferenced), or none when the document has no such object.
std::optional<std::string> object_json(QPDF& pdf, QPDFObjGen id);

}  // namespace pdfengine
