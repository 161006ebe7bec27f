#include "joined_pieces.hh"

#include "errors.hh"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>

namespace pdfengine {
namespace {

constexpr std::uintptr_t kPage = 4096;
// Below this size the page faults are few and the advice costs more than it saves.
constexpr std::size_t kPrefaultFrom = 4 << 20;
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older kernels refuse it with EINVAL
#endif

// Fresh memory is mapped a page at a time as it is first written; asking the
// kernel for all of it at once costs less than a fault per page. Only an
// optimisation: a refusal leaves the faults to the copy.
void prefault(char* start, std::size_t length) {
    if (length < kPrefaultFrom) return;
    std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(start) + kPage - 1) & ~(kPage - 1);
    std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + length) & ~(kPage - 1);
    if (first < end) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

}  // namespace

std::size_t joined_length(const std::vector<Piece>& pieces, std::size_t limit) {
    std::size_t total = 0;
    for (const Piece& piece : pieces) {
        qpdf_offset_t size = piece.size();
        if (size < 0 || static_cast<std::uint64_t>(size) > limit - total)
            fail(Failure::write, "the document's pieces are too large to join in memory");
        total += static_cast<std::size_t>(size);
    }
    return total;
}

void copy_pieces(const std::vector<Piece>& pieces, char* destination) {
    std::size_t total = 0;
    for (const Piece& piece : pieces) total += static_cast<std::size_t>(piece.size());
    prefault(destination, total);
    for (const Piece& piece : pieces) {
        std::size_t size = static_cast<std::size_t>(piece.size());
        if (piece.file) piece.file->read_exactly(destination, size, 0);
        else if (size) std::memcpy(destination, piece.memory.data(), size);
        destination += size;
    }
}

}  // namespace pdfengine
