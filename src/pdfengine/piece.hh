// The parts a document is read from: bytes in memory, or the leading bytes of
// an open file, read on demand so that a large input is never copied whole.
#pragma once

#include "qpdf.hh"

#include <algorithm>
#include <memory>
#include <string_view>

namespace pdfengine {

// A file the engine reads with pread through its own descriptor, so the
// caller may close theirs; closed with the last piece that reads it.
class InputFile {
public:
    // Duplicates `descriptor`; the file must be a regular file.
    explicit InputFile(int descriptor);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Its size when it was opened: the bytes the document consists of.
    qpdf_offset_t size() const noexcept { return size_; }
    // Fills `buffer` with `length` bytes from `offset`; raises a read failure
    // when the file has become shorter since it was opened.
    void read_exactly(char* buffer, std::size_t length, qpdf_offset_t offset) const;

private:
    int descriptor_ = -1;
    qpdf_offset_t size_ = 0;
};

struct Piece {
    std::string_view memory;                 // the bytes, for a piece in memory
    std::shared_ptr<const InputFile> file;   // or the file whose leading bytes it is,
    qpdf_offset_t file_length = 0;           // this many

    static Piece of_memory(std::string_view bytes) { return Piece{bytes, nullptr, 0}; }
    static Piece of_file(std::shared_ptr<const InputFile> file) {
        qpdf_offset_t length = file->size();
        return Piece{{}, std::move(file), length};
    }

    qpdf_offset_t size() const noexcept { return file ? file_length : static_cast<qpdf_offset_t>(memory.size()); }
    // Its first `length` bytes (at most all of them).
    Piece leading(qpdf_offset_t length) const {
        Piece result = *this;
        if (file) result.file_length = std::min(file_length, length);
        else result.memory = memory.substr(0, static_cast<std::size_t>(std::min(size(), length)));
        return result;
    }
};

}  // namespace pdfengine
