#pragma once
// Small geometric records shared by every record format. Values are kept exactly
// as read; nothing here does arithmetic on them.

namespace common {

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// The scalar part comes first, as on disk.
struct Quaternion {
  float w = 0.0f;
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct Plane {
  Vector3 normal;
  float d = 0.0f;
};

struct Sphere {
  Vector3 center;
  float radius = 0.0f;
};

}  // namespace common
