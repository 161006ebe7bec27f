// A document's pieces copied, in order, into one buffer of the caller's: the
// bytes in memory with memcpy, a file's bytes with pread straight into place.
// Runs without the interpreter lock (it touches no Python object), so a
// large document costs other threads nothing but the memory bandwidth.
#pragma once

#include "piece.hh"

#include <cstddef>
#include <vector>

namespace pdfengine {

// The length of the pieces joined; raises a write failure when it does not
// fit in `limit` bytes.
std::size_t joined_length(const std::vector<Piece>& pieces, std::size_t limit);

// Fills `destination` (joined_length(pieces) bytes) with the pieces. A file
// that has become shorter than its piece is a read failure.
void copy_pieces(const std::vector<Piece>& pieces, char* destination);

}  // namespace pdfengine
