// A qpdf input source over a document held in several pieces of memory (the
// original bytes followed by incremental updates), read in place: no piece is
// copied into one buffer.
#pragma once

#include "qpdf.hh"

#include <string>
#include <string_view>
#include <vector>

namespace pdfengine {

class PieceSource : public InputSource {
public:
    PieceSource(std::string name, std::vector<std::string_view> pieces);

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const& getName() const override { return name_; }
    qpdf_offset_t tell() override { return position_; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { position_ = 0; }
    size_t read(char* buffer, size_t length) override;
    void unreadCh(char) override;

    qpdf_offset_t size() const noexcept { return size_; }
    // The byte at `offset`, which must lie inside the document.
    char at(qpdf_offset_t offset) const;
    // Up to `length` bytes from `offset`, copied.
    std::string slice(qpdf_offset_t offset, std::size_t length) const;

private:
    // Index of the piece holding `offset` (< size_).
    std::size_t piece_of(qpdf_offset_t offset) const;

    std::string name_;
    std::vector<std::string_view> pieces_;
    std::vector<qpdf_offset_t> starts_;
    qpdf_offset_t size_ = 0;
    qpdf_offset_t position_ = 0;
};

}  // namespace pdfengine
