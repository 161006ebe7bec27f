// A qpdf input source over a document held in several pieces (the original
// bytes, in memory or in a file, followed by incremental updates), read in
// place: no piece is copied into one buffer, and of a file only the blocks
// qpdf asks for are read.
#pragma once

#include "piece.hh"
#include "qpdf.hh"

#include <string>
#include <string_view>
#include <vector>

namespace pdfengine {

class PieceSource : public InputSource {
public:
    PieceSource(std::string name, std::vector<Piece> pieces);

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const& getName() const override { return name_; }
    qpdf_offset_t tell() override { return position_; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { position_ = 0; }
    size_t read(char* buffer, size_t length) override;
    void unreadCh(char) override;

    qpdf_offset_t size() const noexcept { return size_; }
    // Adds `piece` after the last byte; earlier offsets read as before.
    void append(const Piece& piece);
    // The byte at `offset`, which must lie inside the document.
    char at(qpdf_offset_t offset) const;
    // Up to `length` bytes from `offset`, copied.
    std::string slice(qpdf_offset_t offset, std::size_t length) const;

private:
    // Index of the piece holding `offset` (< size_).
    std::size_t piece_of(qpdf_offset_t offset) const;
    // The bytes from `offset` (< size_) on that can be read in one go: up to
    // the end of its piece in memory, or of the file block read around it.
    std::string_view span_at(qpdf_offset_t offset) const;

    std::string name_;
    std::vector<Piece> pieces_;
    std::vector<qpdf_offset_t> starts_;
    qpdf_offset_t size_ = 0;
    qpdf_offset_t position_ = 0;
    // The file block read last: qpdf reads objects a few bytes at a time.
    mutable std::string block_;
    mutable std::size_t block_piece_ = 0;
    mutable qpdf_offset_t block_start_ = -1;  // offset in the document
};

}  // namespace pdfengine
