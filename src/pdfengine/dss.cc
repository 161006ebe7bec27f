#include "dss.hh"

#include "errors.hh"
#include "form_fields.hh"
#include "incremental_update.hh"
#include "limits.hh"
#include "revision_check.hh"
#include "stream_decoding.hh"

#include <cctype>
#include <map>
#include <set>

namespace pdfengine {
namespace {

// The streams of one DSS array (/Certs, /OCSPs or /CRLs), by the digest of
// their content. Each existing stream object is decoded once, however often
// the array lists it, and only into a digest.
class StreamArray {
public:
    StreamArray(IncrementalUpdate& update, const Held& dss, const char* key, DecodeBudget& budget)
        : update_(update), dss_(dss), key_(key) {
        array_ = dss.key(key);
        if (!array_.object.isArray()) return;
        std::set<QPDFObjGen> decoded;
        for (QPDFObjectHandle item : array_.object.getArrayAsVector()) {
            if (!item.isIndirect() || !decoded.insert(item.getObjGen()).second) continue;
            // A stream an earlier update of this document added is held as its data.
            if (const std::string* added = update.document().added_stream_data(item.getObjGen())) {
                by_digest_.emplace(sha256(*added), item);
                continue;
            }
            if (!item.isStream()) continue;
            // Data that cannot be decoded is kept as it is, only not matched.
            if (std::optional<std::string> digest = decoded_digest(item, budget))
                by_digest_.emplace(std::move(*digest), item);
        }
    }

    // The stream holding `content`, added to the array when new.
    QPDFObjectHandle stream_for(const std::string& content) {
        std::string digest = sha256(content);
        auto found = by_digest_.find(digest);
        if (found != by_digest_.end()) return found->second;
        if (!array_.object.isArray()) {
            update_.touch(dss_);
            dss_.object.replaceKey(key_, QPDFObjectHandle::newArray());
            array_ = dss_.key(key_);
        }
        QPDFObjectHandle stream = update_.add_stream(content, QPDFObjectHandle::newDictionary());
        update_.touch(array_);
        array_.object.appendItem(stream);
        by_digest_.emplace(std::move(digest), stream);
        return stream;
    }

private:
    IncrementalUpdate& update_;
    Held dss_;
    std::string key_;
    Held array_;
    std::map<std::string, QPDFObjectHandle> by_digest_;
};

QPDFObjectHandle references(StreamArray& array, const std::vector<std::string>& items) {
    QPDFObjectHandle result = QPDFObjectHandle::newArray();
    for (const std::string& item : items) result.appendItem(array.stream_for(item));
    return result;
}

void check_vri_key(const std::string& key) {
    bool hex = !key.empty();
    for (char c : key) hex = hex && (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'));
    if (!hex) fail(Failure::write, "a /VRI key must be upper-case hexadecimal, not '" + key + "'");
}

}  // namespace

std::string append_dss(Document& document, const ValidationData& data, const std::vector<VriEntry>& vri) {
    for (const VriEntry& entry : vri) check_vri_key(entry.key);
    if (data.certs.empty() && data.ocsps.empty() && data.crls.empty() && vri.empty()) return {};
    std::vector<SignatureRecord> earlier = signatures(document.pdf());

    IncrementalUpdate update(document);
    Held catalog = Held::indirect(update.pdf().getRoot());
    Held dss = catalog.key("/DSS");
    if (!dss.object.isDictionary()) {
        QPDFObjectHandle created = update.add(QPDFObjectHandle::newDictionary());
        update.touch(catalog);
        catalog.object.replaceKey("/DSS", created);
        dss = Held::indirect(created);
    }
    DecodeBudget budget(kDecodeBudget, "the validation data already in the document's /DSS");
    StreamArray certs(update, dss, "/Certs", budget);
    StreamArray ocsps(update, dss, "/OCSPs", budget);
    StreamArray crls(update, dss, "/CRLs", budget);
    for (const std::string& item : data.certs) certs.stream_for(item);
    for (const std::string& item : data.ocsps) ocsps.stream_for(item);
    for (const std::string& item : data.crls) crls.stream_for(item);

    if (!vri.empty()) {
        Held entries = dss.key("/VRI");
        if (!entries.object.isDictionary()) {
            update.touch(dss);
            dss.object.replaceKey("/VRI", QPDFObjectHandle::newDictionary());
            entries = dss.key("/VRI");
        }
        for (const VriEntry& entry : vri) {
            QPDFObjectHandle value = QPDFObjectHandle::newDictionary();
            if (!entry.data.certs.empty()) value.replaceKey("/Cert", references(certs, entry.data.certs));
            if (!entry.data.ocsps.empty()) value.replaceKey("/OCSP", references(ocsps, entry.data.ocsps));
            if (!entry.data.crls.empty()) value.replaceKey("/CRL", references(crls, entry.data.crls));
            update.touch(entries);
            entries.object.replaceKey("/" + entry.key, value);
        }
    }

    WrittenUpdate written = update.write();
    if (written.bytes.empty()) return {};
    check_update(document, update.pdf(), written, earlier, std::nullopt);
    document.set_pending(written.pending());
    return std::move(written.bytes);
}

}  // namespace pdfengine
