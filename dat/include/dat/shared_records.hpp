#pragma once
// Readers of the small geometric records that every format embeds, field by field.

#include "common/math.hpp"
#include "dat/cursor.hpp"

namespace dat {

ReadResult<common::Vector3> read_vector3(RecordCursor& cur);
ReadResult<common::Quaternion> read_quaternion(RecordCursor& cur);
ReadResult<common::Plane> read_plane(RecordCursor& cur);
ReadResult<common::Sphere> read_sphere(RecordCursor& cur);

}  // namespace dat
