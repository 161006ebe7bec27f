#include "object_changes.hh"

#include <map>

namespace pdfengine {
namespace {

bool same_entry(const QPDFXRefEntry& a, const QPDFXRefEntry& b) {
    if (a.getType() != b.getType()) return false;
    if (a.getType() == 1) return a.getOffset() == b.getOffset();
    return a.getObjStreamNumber() == b.getObjStreamNumber() && a.getObjStreamIndex() == b.getObjStreamIndex();
}

std::string json_of(QPDFObjectHandle object) { return object.getJSON(2, true).unparse(); }

std::string raw_data(QPDFObjectHandle stream) {
    std::shared_ptr<Buffer> data = stream.getRawStreamData();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

}  // namespace

std::optional<std::string> object_json(QPDF& pdf, QPDFObjGen id) {
    QPDFObjectHandle object = pdf.getObject(id);
    if (object.isNull()) return std::nullopt;
    return json_of(object);
}

std::vector<ObjectChange> changed_objects(Document& before, Document& after) {
    QPDF& old_pdf = before.pdf();
    QPDF& new_pdf = after.pdf();
    std::map<QPDFObjGen, QPDFXRefEntry> old_table = old_pdf.getXRefTable();
    std::map<QPDFObjGen, QPDFXRefEntry> new_table = new_pdf.getXRefTable();
    std::vector<ObjectChange> changes;
    for (const auto& [id, entry] : new_table) {
        auto old_entry = old_table.find(id);
        // The earlier bytes are shared, so an entry that still points at them is the same object.
        if (old_entry != old_table.end() && same_entry(old_entry->second, entry)) continue;
        ObjectChange change;
        change.id = id;
        QPDFObjectHandle now = new_pdf.getObject(id);
        change.after = json_of(now);
        if (old_entry != old_table.end()) {
            QPDFObjectHandle was = old_pdf.getObject(id);
            change.before = json_of(was);
            if (was.isStream() && now.isStream()) change.data_changed = raw_data(was) != raw_data(now);
            if (change.before == change.after && !change.data_changed) continue;
        }
        changes.push_back(std::move(change));
    }
    for (const auto& [id, entry] : old_table) {
        if (new_table.count(id)) continue;
        ObjectChange change;
        change.id = id;
        change.before = json_of(old_pdf.getObject(id));
        changes.push_back(std::move(change));
    }
    return changes;
}

}  // namespace pdfengine
