#include "piece_source.hh"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pdfengine {

PieceSource::PieceSource(std::string name, std::vector<std::string_view> pieces)
    : name_(std::move(name)) {
    for (std::string_view piece : pieces) {
        if (piece.empty()) continue;
        starts_.push_back(size_);
        pieces_.push_back(piece);
        size_ += static_cast<qpdf_offset_t>(piece.size());
    }
}

std::size_t PieceSource::piece_of(qpdf_offset_t offset) const {
    auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

char PieceSource::at(qpdf_offset_t offset) const {
    if (offset < 0 || offset >= size_) throw std::out_of_range("offset outside the document");
    std::size_t index = piece_of(offset);
    return pieces_[index][static_cast<std::size_t>(offset - starts_[index])];
}

std::string PieceSource::slice(qpdf_offset_t offset, std::size_t length) const {
    std::string result;
    if (offset < 0 || offset >= size_) return result;
    length = std::min<std::size_t>(length, static_cast<std::size_t>(size_ - offset));
    result.reserve(length);
    std::size_t index = piece_of(offset);
    std::size_t within = static_cast<std::size_t>(offset - starts_[index]);
    while (result.size() < length) {
        std::string_view piece = pieces_[index++];
        std::size_t take = std::min(length - result.size(), piece.size() - within);
        result.append(piece.data() + within, take);
        within = 0;
    }
    return result;
}

qpdf_offset_t PieceSource::findAndSkipNextEOL() {
    // As qpdf's own buffer source: returns the offset of the next end-of-line
    // and leaves the position after the whole run of EOL characters.
    auto is_eol = [](char c) { return c == '\r' || c == '\n'; };
    if (position_ >= size_) {
        last_offset = size_;
        position_ = size_;
        return size_;
    }
    std::size_t index = piece_of(position_);
    qpdf_offset_t offset = position_;
    for (;;) {
        std::string_view piece = pieces_[index];
        std::size_t within = static_cast<std::size_t>(offset - starts_[index]);
        const char* begin = piece.data() + within;
        const char* end = piece.data() + piece.size();
        const char* found = std::find_if(begin, end, is_eol);
        if (found != end) {
            offset += found - begin;
            break;
        }
        offset += end - begin;
        if (++index == pieces_.size()) {
            position_ = size_;
            return size_;
        }
    }
    qpdf_offset_t result = offset;
    position_ = offset + 1;
    while (position_ < size_ && is_eol(at(position_))) ++position_;
    return result;
}

void PieceSource::seek(qpdf_offset_t offset, int whence) {
    qpdf_offset_t target = offset;
    if (whence == SEEK_CUR) target = position_ + offset;
    else if (whence == SEEK_END) target = size_ + offset;
    else if (whence != SEEK_SET) throw std::logic_error("invalid argument to seek");
    if (target < 0) throw std::runtime_error(name_ + ": seek before beginning of document");
    position_ = target;
}

size_t PieceSource::read(char* buffer, size_t length) {
    if (position_ >= size_) {
        last_offset = size_;
        return 0;
    }
    last_offset = position_;
    std::size_t total = std::min<std::size_t>(length, static_cast<std::size_t>(size_ - position_));
    std::size_t done = 0;
    std::size_t index = piece_of(position_);
    std::size_t within = static_cast<std::size_t>(position_ - starts_[index]);
    while (done < total) {
        std::string_view piece = pieces_[index++];
        std::size_t take = std::min(total - done, piece.size() - within);
        std::memcpy(buffer + done, piece.data() + within, take);
        done += take;
        within = 0;
    }
    position_ += static_cast<qpdf_offset_t>(total);
    return total;
}

void PieceSource::unreadCh(char) {
    if (position_ > 0) --position_;
}

}  // namespace pdfengine
