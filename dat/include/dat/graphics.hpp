#pragma once
// Records of the graphics module shared by several formats.

#include "common/math.hpp"
#include "dat/cursor.hpp"

namespace dat {

// A position plus an orientation, 28 bytes on disk.
struct Frame {
  common::Vector3 origin;
  common::Quaternion orientation;
};

ReadResult<Frame> read_frame(RecordCursor& cur);

}  // namespace dat
