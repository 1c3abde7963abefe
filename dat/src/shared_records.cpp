#include "dat/shared_records.hpp"

#include "dat/graphics.hpp"

namespace dat {

ReadResult<common::Vector3> read_vector3(RecordCursor& cur) {
  common::Vector3 v;
  DAT_TRY_SET(v.x, in_field(cur.read_f32(), "x", "Vector3"));
  DAT_TRY_SET(v.y, in_field(cur.read_f32(), "y", "Vector3"));
  DAT_TRY_SET(v.z, in_field(cur.read_f32(), "z", "Vector3"));
  return v;
}

ReadResult<common::Quaternion> read_quaternion(RecordCursor& cur) {
  common::Quaternion q;
  DAT_TRY_SET(q.w, in_field(cur.read_f32(), "w", "Quaternion"));
  DAT_TRY_SET(q.x, in_field(cur.read_f32(), "x", "Quaternion"));
  DAT_TRY_SET(q.y, in_field(cur.read_f32(), "y", "Quaternion"));
  DAT_TRY_SET(q.z, in_field(cur.read_f32(), "z", "Quaternion"));
  return q;
}

ReadResult<common::Plane> read_plane(RecordCursor& cur) {
  common::Plane p;
  DAT_TRY_SET(p.normal, in_field(read_vector3(cur), "normal", "Plane"));
  DAT_TRY_SET(p.d, in_field(cur.read_f32(), "d", "Plane"));
  return p;
}

ReadResult<common::Sphere> read_sphere(RecordCursor& cur) {
  common::Sphere s;
  DAT_TRY_SET(s.center, in_field(read_vector3(cur), "center", "Sphere"));
  DAT_TRY_SET(s.radius, in_field(cur.read_f32(), "radius", "Sphere"));
  return s;
}

ReadResult<Frame> read_frame(RecordCursor& cur) {
  Frame f;
  DAT_TRY_SET(f.origin, in_field(read_vector3(cur), "origin", "Frame"));
  DAT_TRY_SET(f.orientation, in_field(read_quaternion(cur), "orientation", "Frame"));
  return f;
}

}  // namespace dat
