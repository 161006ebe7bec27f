#include "incremental_update.hh"

#include "errors.hh"
#include "limits.hh"

#include <algorithm>
#include <cstdio>

namespace pdfengine {
namespace {

// New objects are numbered from the trailer's /Size up, but never more than
// this far above the highest object number in use.
constexpr int kMaxReservedGap = 4096;

std::string object_header(QPDFObjGen id) {
    return std::to_string(id.getObj()) + " " + std::to_string(id.getGen()) + " obj\n";
}

void append_big_endian(std::string& out, unsigned long long value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xff));
}

int bytes_needed(unsigned long long value) {
    int width = 1;
    while (width < 8 && (value >> (width * 8)) != 0) ++width;
    return width;
}

// Runs of consecutive object numbers, for contiguous xref subsections.
std::vector<std::pair<long long, long long>> subsections(const std::map<QPDFObjGen, qpdf_offset_t>& offsets) {
    std::vector<std::pair<long long, long long>> runs;  // (first, count)
    for (const auto& entry : offsets) {
        long long number = entry.first.getObj();
        if (!runs.empty() && runs.back().first + runs.back().second == number) ++runs.back().second;
        else runs.emplace_back(number, 1);
    }
    return runs;
}

std::string random_id() {
    unsigned char bytes[16];
    QUtil::initializeWithRandomBytes(bytes, sizeof bytes);
    return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

}  // namespace

PendingUpdate WrittenUpdate::pending() const {
    PendingUpdate result{bytes, xref_offset, size, 0, stream_data};
    for (const auto& entry : offsets) result.highest_object = std::max<long long>(result.highest_object, entry.first.getObj());
    return result;
}

Held Held::key(const std::string& name) const {
    QPDFObjectHandle value = object.isDictionary() ? object.getKey(name) : QPDFObjectHandle::newNull();
    return Held{value, value.isIndirect() ? value : holder};
}

Held Held::item(int index) const {
    QPDFObjectHandle value = object.isArray() ? object.getArrayItem(index) : QPDFObjectHandle::newNull();
    return Held{value, value.isIndirect() ? value : holder};
}

IncrementalUpdate::IncrementalUpdate(Document& document)
    : document_(document), pdf_(document.pdf_for_change()), encryption_(Encryption::of(pdf_)) {
    // New objects take numbers from the trailer's /Size up, never a number an
    // earlier revision freed below it. The update numbers them itself: qpdf's
    // own numbering parses every object of the document first.
    long long highest = document.highest_object();
    long long floor = std::min(document.last_section().size, highest + 1 + kMaxReservedGap);
    long long next = std::max(highest + 1, floor);
    // Refused here, by name: the update's own check would only find objects
    // that no reader can number.
    if (next > kMaxObjectNumber)
        fail(Failure::write, "the document already uses object number " + std::to_string(next - 1) +
                                 ": an update needs new objects, and PDF numbers objects only up to " +
                                 std::to_string(kMaxObjectNumber));
    next_number_ = static_cast<int>(next);
}

QPDFObjectHandle IncrementalUpdate::add(QPDFObjectHandle direct_object) {
    // The xref stream takes one more number after all added objects.
    if (next_number_ >= kMaxObjectNumber)
        fail(Failure::write, "the update needs more new objects than PDF object numbers are left (up to " +
                                 std::to_string(kMaxObjectNumber) + ")");
    QPDFObjGen id(next_number_++, 0);
    pdf_.replaceObject(id, direct_object);
    added_.insert(id);
    return pdf_.getObject(id);
}

QPDFObjectHandle IncrementalUpdate::add_stream(const std::string& data, QPDFObjectHandle dictionary) {
    // Held as its dictionary until written: body_of() writes the data after it.
    QPDFObjectHandle stream = add(dictionary);
    stream_data_[stream.getObjGen()] = data;
    return stream;
}

void IncrementalUpdate::touch(const Held& held) {
    QPDFObjectHandle holder = held.holder;
    if (!holder.isIndirect()) throw std::logic_error("a changed object must have an indirect holder");
    QPDFObjGen id = holder.getObjGen();
    if (added_.count(id) || snapshots_.count(id)) return;
    if (holder.isStream()) throw std::logic_error("the engine never rewrites an existing stream");
    snapshots_[id] = holder.unparseResolved();
}

void IncrementalUpdate::set_body(QPDFObjectHandle object, std::string body) {
    bodies_[object.getObjGen()] = std::move(body);
}

std::string IncrementalUpdate::string_token(QPDFObjectHandle owner, const std::string& bytes) const {
    if (encryption_) return encryption_->string_token(owner.getObjGen(), bytes);
    return QPDFObjectHandle::newString(bytes).unparse();
}

std::string IncrementalUpdate::body_of(QPDFObjectHandle object) {
    QPDFObjGen id = object.getObjGen();
    auto body = bodies_.find(id);
    if (body != bodies_.end()) return body->second;
    auto data = stream_data_.find(id);
    if (data != stream_data_.end()) {
        std::string written = encryption_ ? encryption_->encrypt_stream(id, data->second) : data->second;
        QPDFObjectHandle dict = object.shallowCopy();
        dict.removeKey("/Filter");
        dict.removeKey("/DecodeParms");
        dict.replaceKey("/Length", QPDFObjectHandle::newInteger(static_cast<long long>(written.size())));
        std::string entries = encryption_ ? encryption_->unparse(dict, id) : dict.unparseResolved();
        return entries + "\nstream\n" + written + "\nendstream";
    }
    return encryption_ ? encryption_->unparse(object, id) : object.unparseResolved();
}

std::string IncrementalUpdate::trailer_entries(long long size) {
    QPDFObjectHandle trailer = pdf_.getTrailer();
    std::string entries = "/Size " + std::to_string(size);
    entries += " /Root " + trailer.getKey("/Root").unparse();
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (info.isIndirect()) entries += " /Info " + info.unparse();
    // The first identifier stays the document's; the second names this revision.
    QPDFObjectHandle id = trailer.getKey("/ID");
    std::string fresh = random_id();
    std::string first = fresh;
    if (id.isArray() && id.getArrayNItems() == 2 && id.getArrayItem(0).isString())
        first = id.getArrayItem(0).getStringValue();
    entries += " /ID [" + QPDFObjectHandle::newString(first).unparse() + " " +
               QPDFObjectHandle::newString(fresh).unparse() + "]";
    // An encrypted document stays encrypted: every revision names the same handler.
    QPDFObjectHandle encrypt = trailer.getKey("/Encrypt");
    if (!encrypt.isNull()) entries += " /Encrypt " + (encrypt.isIndirect() ? encrypt.unparse() : encrypt.unparseResolved());
    entries += " /Prev " + std::to_string(document_.last_section().offset);
    return entries;
}

WrittenUpdate IncrementalUpdate::write() {
    std::set<QPDFObjGen> written = added_;
    for (const auto& [id, before] : snapshots_) {
        if (pdf_.getObject(id).unparseResolved() != before) written.insert(id);
    }
    WrittenUpdate update;
    if (written.empty()) return update;

    qpdf_offset_t base = document_.length();
    char last = document_.source().at(base - 1);
    if (last != '\n' && last != '\r') update.bytes += '\n';
    for (QPDFObjGen id : written) {
        auto data = stream_data_.find(id);
        if (data != stream_data_.end()) update.stream_data.emplace(id, data->second);
        update.offsets[id] = base + static_cast<qpdf_offset_t>(update.bytes.size());
        update.bytes += object_header(id);
        update.bytes += body_of(pdf_.getObject(id));
        update.bytes += "\nendobj\n";
    }
    if (document_.last_section().is_stream) write_xref_stream(update);
    else write_classic_xref(update);
    return update;
}

void IncrementalUpdate::write_classic_xref(WrittenUpdate& update) {
    qpdf_offset_t base = document_.length();
    long long size = document_.last_section().size;
    for (const auto& entry : update.offsets) size = std::max<long long>(size, entry.first.getObj() + 1LL);
    update.size = size;
    update.xref_offset = base + static_cast<qpdf_offset_t>(update.bytes.size());
    std::string& out = update.bytes;
    out += "xref\n";
    auto position = update.offsets.begin();
    for (auto [first, count] : subsections(update.offsets)) {
        out += std::to_string(first) + " " + std::to_string(count) + "\n";
        for (long long i = 0; i < count; ++i, ++position) {
            // A row is exactly 20 bytes: an offset of eleven digits would shift every later one.
            if (position->second > kMaxClassicXrefOffset)
                fail(Failure::write, "the update would put object " + position->first.unparse(' ') + " at offset " +
                                         std::to_string(position->second) +
                                         ", past the ten digits a classic cross-reference table can hold "
                                         "(the document is larger than 10 GB)");
            char line[32];
            std::snprintf(line, sizeof line, "%010lld %05d n\r\n", static_cast<long long>(position->second),
                          position->first.getGen());
            out += line;
        }
    }
    out += "trailer\n<< " + trailer_entries(size) + " >>\nstartxref\n" + std::to_string(update.xref_offset) +
           "\n%%EOF\n";
}

void IncrementalUpdate::write_xref_stream(WrittenUpdate& update) {
    qpdf_offset_t base = document_.length();
    // The xref stream is an object of the update too, numbered after all others.
    int stream_number = next_number_;
    for (const auto& entry : update.offsets) stream_number = std::max(stream_number, entry.first.getObj() + 1);
    stream_number = static_cast<int>(std::max<long long>(stream_number, document_.last_section().size));
    QPDFObjGen stream_id(stream_number, 0);
    update.xref_offset = base + static_cast<qpdf_offset_t>(update.bytes.size());
    update.offsets[stream_id] = update.xref_offset;
    long long size = stream_number + 1LL;
    update.size = size;

    unsigned long long largest = 0;
    int largest_generation = 0;
    for (const auto& [id, offset] : update.offsets) {
        largest = std::max(largest, static_cast<unsigned long long>(offset));
        largest_generation = std::max(largest_generation, id.getGen());
    }
    int offset_width = std::max(4, bytes_needed(largest));
    int generation_width = std::max(2, bytes_needed(static_cast<unsigned long long>(largest_generation)));
    std::string data;
    std::string index;
    auto position = update.offsets.begin();
    for (auto [first, count] : subsections(update.offsets)) {
        index += (index.empty() ? "" : " ") + std::to_string(first) + " " + std::to_string(count);
        for (long long i = 0; i < count; ++i, ++position) {
            append_big_endian(data, 1, 1);
            append_big_endian(data, static_cast<unsigned long long>(position->second), offset_width);
            append_big_endian(data, static_cast<unsigned long long>(position->first.getGen()), generation_width);
        }
    }
    std::string& out = update.bytes;
    out += object_header(stream_id);
    out += "<< /Type /XRef " + trailer_entries(size) + " /Index [" + index + "] /W [1 " +
           std::to_string(offset_width) + " " + std::to_string(generation_width) + "] /Length " +
           std::to_string(data.size()) + " >>\nstream\n";
    out += data;
    out += "\nendstream\nendobj\nstartxref\n" + std::to_string(update.xref_offset) + "\n%%EOF\n";
}

}  // namespace pdfengine
