#include "piece_source.hh"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pdfengine {
namespace {

constexpr qpdf_offset_t kFileBlock = 64 * 1024;

}  // namespace

PieceSource::PieceSource(std::string name, std::vector<Piece> pieces) : name_(std::move(name)) {
    for (Piece& piece : pieces) {
        if (piece.size() == 0) continue;
        starts_.push_back(size_);
        size_ += piece.size();
        pieces_.push_back(std::move(piece));
    }
}

void PieceSource::append(const Piece& piece) {
    if (piece.size() == 0) return;
    starts_.push_back(size_);
    size_ += piece.size();
    pieces_.push_back(piece);
}

std::size_t PieceSource::piece_of(qpdf_offset_t offset) const {
    auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

std::string_view PieceSource::span_at(qpdf_offset_t offset) const {
    std::size_t index = piece_of(offset);
    const Piece& piece = pieces_[index];
    qpdf_offset_t within = offset - starts_[index];
    if (!piece.file) return piece.memory.substr(static_cast<std::size_t>(within));
    qpdf_offset_t block = within / kFileBlock * kFileBlock;
    if (block_piece_ != index || block_start_ != starts_[index] + block) {
        block_start_ = -1;
        block_.resize(static_cast<std::size_t>(std::min(kFileBlock, piece.size() - block)));
        piece.file->read_exactly(block_.data(), block_.size(), block);
        block_piece_ = index;
        block_start_ = starts_[index] + block;
    }
    return std::string_view(block_).substr(static_cast<std::size_t>(offset - block_start_));
}

char PieceSource::at(qpdf_offset_t offset) const {
    if (offset < 0 || offset >= size_) throw std::out_of_range("offset outside the document");
    return span_at(offset)[0];
}

std::string PieceSource::slice(qpdf_offset_t offset, std::size_t length) const {
    std::string result;
    if (offset < 0 || offset >= size_) return result;
    length = std::min<std::size_t>(length, static_cast<std::size_t>(size_ - offset));
    result.reserve(length);
    while (result.size() < length) {
        std::string_view span = span_at(offset + static_cast<qpdf_offset_t>(result.size()));
        result.append(span.substr(0, length - result.size()));
    }
    return result;
}

qpdf_offset_t PieceSource::findAndSkipNextEOL() {
    // As qpdf's own buffer source: returns the offset of the next end-of-line
    // and leaves the position after the whole run of EOL characters.
    auto is_eol = [](char c) { return c == '\r' || c == '\n'; };
    qpdf_offset_t offset = position_;
    for (;;) {
        if (offset >= size_) {
            last_offset = size_;
            position_ = size_;
            return size_;
        }
        std::string_view span = span_at(offset);
        auto found = std::find_if(span.begin(), span.end(), is_eol);
        offset += found - span.begin();
        if (found != span.end()) break;
    }
    qpdf_offset_t result = offset;
    position_ = offset + 1;
    while (position_ < size_ && is_eol(at(position_))) ++position_;
    return result;
}

void PieceSource::seek(qpdf_offset_t offset, int whence) {
    qpdf_offset_t base = 0;
    if (whence == SEEK_CUR) base = position_;
    else if (whence == SEEK_END) base = size_;
    else if (whence != SEEK_SET) throw std::logic_error("invalid argument to seek");
    // Offsets come from the document (a /Length, an xref row): any value at all.
    qpdf_offset_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        throw std::runtime_error(name_ + ": seek to an offset far beyond the end of the document");
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
    while (done < total) {
        qpdf_offset_t offset = position_ + static_cast<qpdf_offset_t>(done);
        std::size_t index = piece_of(offset);
        const Piece& piece = pieces_[index];
        qpdf_offset_t within = offset - starts_[index];
        std::size_t in_piece = static_cast<std::size_t>(piece.size() - within);
        if (piece.file && std::min(total - done, in_piece) >= static_cast<std::size_t>(kFileBlock)) {
            // Large reads go straight from the file into the caller's buffer.
            std::size_t take = std::min(total - done, in_piece);
            piece.file->read_exactly(buffer + done, take, within);
            done += take;
            continue;
        }
        std::string_view span = span_at(offset);
        std::size_t take = std::min(total - done, span.size());
        std::memcpy(buffer + done, span.data(), take);
        done += take;
    }
    position_ += static_cast<qpdf_offset_t>(total);
    return total;
}

void PieceSource::unreadCh(char) {
    if (position_ > 0) --position_;
}

}  // namespace pdfengine
