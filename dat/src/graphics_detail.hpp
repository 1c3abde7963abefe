#pragma once
// In-place readers behind the graphics records, for decoders that embed them.

#include "dat/graphics.hpp"

namespace dat::detail {

// CVertexArray::read, filling an existing record. g++ 12 misreads the destruction of an
// expected that holds a map and warns, so embedding decoders fill their member directly.
ReadResult<void> read_vertex_array_into(RecordCursor& cur, CVertexArray& out);

}  // namespace dat::detail
