// The objects a viewer reaches from the trailer of two revisions of one file
// (an earlier one and a later one), and the ones that differ between them.
//
// A reference resolves the way a viewer that indexes objects by number does:
// to the object when the cross-reference data holds exactly that number and
// generation and no other generation of the same number; otherwise to
// nothing (missing, free, null, or a generation conflict that readers settle
// differently). Both revisions are read under these same rules.
#pragma once

#include "document.hh"

#include <optional>
#include <string>
#include <vector>

namespace pdfengine {

// Where an object is reached from: the referring object ((0, 0) for the
// trailer) and the key path inside it, e.g. "/Resources/XObject/Im1" or "/Kids[2]".
struct Referrer {
    QPDFObjGen from;
    std::string path;
};

struct Reach {
    bool content = false;            // from the trailer without passing the catalog's /DSS
    bool validation_data = false;    // from the catalog's /DSS
    std::vector<Referrer> referrers;  // the first is the one a breadth-first walk took (capped)
};

struct GraphDifference {
    QPDFObjGen id;
    std::optional<std::string> before;  // JSON where it resolves in the earlier revision
    std::optional<std::string> after;   // JSON where it resolves in the later revision
    bool same = false;           // resolves to the same object in both (only its reach differs)
    bool data_changed = false;   // a stream in both whose raw data differs
    bool generation_conflict = false;  // the later revision holds several generations of its number
    Reach earlier;
    Reach later;
};

// Every object reached in either revision that resolves differently in the
// two, or is reached differently (content / validation data) in the two.
// `later` must be `earlier` followed by more revisions: an object whose
// cross-reference entry is the same in both is the same object.
std::vector<GraphDifference> graph_differences(Document& earlier, Document& later);

}  // namespace pdfengine
