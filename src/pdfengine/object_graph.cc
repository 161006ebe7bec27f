#include "object_graph.hh"

#include <deque>
#include <map>
#include <set>

namespace pdfengine {
namespace {

constexpr std::size_t kMaxReferrers = 8;
const QPDFObjGen kTrailer(0, 0);

bool same_entry(const QPDFXRefEntry& a, const QPDFXRefEntry& b) {
    if (a.getType() != b.getType()) return false;
    if (a.getType() == 1) return a.getOffset() == b.getOffset();
    return a.getObjStreamNumber() == b.getObjStreamNumber() && a.getObjStreamIndex() == b.getObjStreamIndex();
}

std::string raw_data(QPDFObjectHandle stream) {
    std::shared_ptr<Buffer> data = stream.getRawStreamData();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// One revision's cross-reference data, and what a reference resolves to in it.
class Revision {
public:
    explicit Revision(QPDF& pdf) : pdf_(pdf), table_(pdf.getXRefTable()) {
        std::map<int, int> seen;
        for (const auto& [id, entry] : table_)
            if (++seen[id.getObj()] == 2) conflicts_.insert(id.getObj());
    }

    QPDF& pdf() { return pdf_; }
    bool conflict(int number) const { return conflicts_.count(number) > 0; }

    // The entry `id` resolves to, or none.
    const QPDFXRefEntry* entry(QPDFObjGen id) const {
        if (conflict(id.getObj())) return nullptr;
        auto found = table_.find(id);
        return found == table_.end() ? nullptr : &found->second;
    }

    // The object `id` resolves to; none when it resolves to nothing or to null.
    std::optional<QPDFObjectHandle> object(QPDFObjGen id) {
        if (entry(id) == nullptr) return std::nullopt;
        QPDFObjectHandle object = pdf_.getObject(id);
        if (object.isNull()) return std::nullopt;
        return object;
    }

    // The entries of every generation of `number`, to compare conflicts.
    std::vector<std::pair<QPDFObjGen, QPDFXRefEntry>> entries_of(int number) const {
        std::vector<std::pair<QPDFObjGen, QPDFXRefEntry>> result;
        for (auto it = table_.lower_bound(QPDFObjGen(number, 0)); it != table_.end() && it->first.getObj() == number;
             ++it)
            result.emplace_back(*it);
        return result;
    }

private:
    QPDF& pdf_;
    std::map<QPDFObjGen, QPDFXRefEntry> table_;
    std::set<int> conflicts_;
};

// Whether `id` is the very same object in both revisions.
bool same_object(const Revision& earlier, const Revision& later, QPDFObjGen id) {
    bool conflict_before = earlier.conflict(id.getObj()), conflict_after = later.conflict(id.getObj());
    if (conflict_before || conflict_after) {
        if (conflict_before != conflict_after) return false;
        auto before = earlier.entries_of(id.getObj()), after = later.entries_of(id.getObj());
        if (before.size() != after.size()) return false;
        for (std::size_t i = 0; i < before.size(); ++i)
            if (before[i].first != after[i].first || !same_entry(before[i].second, after[i].second)) return false;
        return true;
    }
    const QPDFXRefEntry* before = earlier.entry(id);
    const QPDFXRefEntry* after = later.entry(id);
    if (before == nullptr || after == nullptr) return before == after;
    if (!same_entry(*before, *after)) return false;
    // A compressed object is only the same when its object stream was not written again.
    if (before->getType() != 2) return true;
    QPDFObjGen stream(before->getObjStreamNumber(), 0);
    const QPDFXRefEntry* stream_before = earlier.entry(stream);
    const QPDFXRefEntry* stream_after = later.entry(stream);
    return stream_before != nullptr && stream_after != nullptr && stream_before->getType() == 1 &&
           same_entry(*stream_before, *stream_after);
}

// A breadth-first walk over the objects reachable from one revision's trailer.
class Walk {
public:
    Walk(Revision& revision, Revision* shared_with, const Revision* as_of)
        : revision_(revision), shared_with_(shared_with), as_of_(as_of) {}

    std::map<QPDFObjGen, Reach>& reached() { return reached_; }

    void run() {
        QPDFObjectHandle trailer = revision_.pdf().getTrailer();
        QPDFObjectHandle root = trailer.getKey("/Root");
        root_ = root.isIndirect() ? root.getObjGen() : QPDFObjGen();
        scan(kTrailer, trailer, "", false);
        drain(false);
        // The catalog's /DSS is walked last, so that what content also reaches stays content.
        if (root.isDictionary()) {
            QPDFObjectHandle dss = root.getKey("/DSS");
            scan(root.isIndirect() ? root.getObjGen() : kTrailer, dss, "/DSS", true);
            drain(true);
        }
    }

private:
    void drain(bool validation_data) {
        while (!pending_.empty()) {
            QPDFObjGen id = pending_.front();
            pending_.pop_front();
            std::optional<QPDFObjectHandle> object = resolve(id);
            if (!object) continue;
            QPDFObjectHandle value = object->isStream() ? object->getDict() : *object;
            scan(id, value, "", validation_data);
        }
    }

    // Reads shared objects from the later revision, whose objects are parsed anyway.
    std::optional<QPDFObjectHandle> resolve(QPDFObjGen id) {
        if (shared_with_ != nullptr && as_of_ != nullptr && same_object(*as_of_, *shared_with_, id) &&
            !shared_with_->conflict(id.getObj()))
            return shared_with_->object(id);
        return revision_.object(id);
    }

    void reach(QPDFObjGen from, QPDFObjGen id, const std::string& path, bool validation_data) {
        auto [it, inserted] = reached_.try_emplace(id);
        Reach& reach = it->second;
        if (reach.referrers.size() < kMaxReferrers) reach.referrers.push_back(Referrer{from, path});
        bool& flag = validation_data ? reach.validation_data : reach.content;
        if (inserted) pending_.push_back(id);
        flag = true;
    }

    // Every reference inside the direct value `value` of object `from`.
    void scan(QPDFObjGen from, QPDFObjectHandle value, const std::string& path, bool validation_data) {
        if (value.isIndirect() && !path.empty()) {
            reach(from, value.getObjGen(), path, validation_data);
            return;
        }
        if (value.isDictionary()) {
            bool catalog = from == root_ && path.empty() && !validation_data;
            // Every entry, also those whose value resolves to null, which the key
            // list leaves out: a reference to nothing is part of what was signed.
            for (const auto& [key, item] : value.getDictAsMap()) {
                if (catalog && key == "/DSS") continue;
                if (from == kTrailer && path.empty() && (key == "/Prev" || key == "/XRefStm")) continue;
                scan(from, item, path + key, validation_data);
            }
        } else if (value.isArray()) {
            int count = value.getArrayNItems();
            for (int i = 0; i < count; ++i)
                scan(from, value.getArrayItem(i), path + "[" + std::to_string(i) + "]", validation_data);
        }
    }

    Revision& revision_;
    Revision* shared_with_;
    const Revision* as_of_;
    QPDFObjGen root_;
    std::map<QPDFObjGen, Reach> reached_;
    std::deque<QPDFObjGen> pending_;
};

std::string json_of(QPDFObjectHandle object) { return object.getJSON(2, true).unparse(); }

}  // namespace

std::vector<GraphDifference> graph_differences(Document& earlier_document, Document& later_document) {
    Revision earlier(earlier_document.pdf()), later(later_document.pdf());
    Walk later_walk(later, nullptr, nullptr);
    later_walk.run();
    Walk earlier_walk(earlier, &later, &earlier);
    earlier_walk.run();

    std::map<QPDFObjGen, std::pair<const Reach*, const Reach*>> reached;
    for (const auto& [id, reach] : earlier_walk.reached()) reached[id].first = &reach;
    for (const auto& [id, reach] : later_walk.reached()) reached[id].second = &reach;

    static const Reach nowhere;
    std::vector<GraphDifference> differences;
    for (const auto& [id, reaches] : reached) {
        const Reach& before_reach = reaches.first ? *reaches.first : nowhere;
        const Reach& after_reach = reaches.second ? *reaches.second : nowhere;
        bool same = same_object(earlier, later, id);
        bool same_reach = before_reach.content == after_reach.content &&
                          before_reach.validation_data == after_reach.validation_data;
        if (same && same_reach) continue;
        GraphDifference difference;
        difference.id = id;
        difference.earlier = before_reach;
        difference.later = after_reach;
        difference.generation_conflict = later.conflict(id.getObj());
        std::optional<QPDFObjectHandle> now = later.object(id);
        if (now) difference.after = json_of(*now);
        if (same) {
            difference.same = true;
            difference.before = difference.after;
        } else {
            std::optional<QPDFObjectHandle> was = earlier.object(id);
            if (was) difference.before = json_of(*was);
            if (was && now && was->isStream() && now->isStream()) difference.data_changed = raw_data(*was) != raw_data(*now);
            // Written again unchanged: the same object after all.
            difference.same = difference.before == difference.after && !difference.data_changed &&
                              !difference.generation_conflict;
            if (difference.same && same_reach) continue;
        }
        differences.push_back(std::move(difference));
    }
    return differences;
}

}  // namespace pdfengine
