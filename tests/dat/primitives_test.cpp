#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dat/cursor.hpp"
#include "dat/error.hpp"
#include "dat/graphics.hpp"
#include "dat/shared_records.hpp"
#include "dat/utils.hpp"
#include "writer/byte_writer.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> frames(const dat::ReadError& e) {
  std::vector<std::string> out;
  for (const auto& f : e.context) out.push_back(f.message);
  return out;
}

TEST(CompressedU32, DecodesEachLength) {
  struct Case {
    Bytes in;
    std::uint32_t value;
    std::uint64_t consumed;
  };
  const Case cases[] = {
      {{0x7F}, 127, 1},
      {{0x80, 0x80}, 0x80, 2},
      {{0xBF, 0xFF}, 0x3FFF, 2},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0x3FFFFFFF, 4},
      {{0xC1, 0x23, 0x45, 0x67}, 0x01236745, 4},
      {{0x80, 0x05}, 5, 2},
      {{0xC0, 0x00, 0x05, 0x00}, 5, 4},
  };
  for (const auto& c : cases) {
    dat::RecordCursor cur(c.in);
    auto v = dat::read_compressed_u32(cur);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, c.value);
    EXPECT_EQ(cur.position(), c.consumed);
  }
}

TEST(CompressedU32, ShortDataFails) {
  for (const Bytes& in : {Bytes{}, Bytes{0x80}, Bytes{0xC1, 0x23, 0x45}}) {
    dat::RecordCursor cur(in);
    auto v = dat::read_compressed_u32(cur);
    ASSERT_FALSE(v.has_value());
    EXPECT_EQ(v.error().text(), "failed to fill whole buffer");
  }
}

TEST(SmartVec, ReadsCountThenValues) {
  const Bytes two{0x02, 1, 0, 0, 0, 2, 0, 0, 0};
  dat::RecordCursor cur(two);
  auto v = dat::read_smart_vec(cur);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(*v, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(cur.position(), 9u);

  const Bytes none{0x00};
  dat::RecordCursor cur0(none);
  auto v0 = dat::read_smart_vec(cur0);
  ASSERT_TRUE(v0.has_value());
  EXPECT_TRUE(v0->empty());
  EXPECT_EQ(cur0.position(), 1u);
}

TEST(SmartVec, HugeCountFailsAtEndOfData) {
  Bytes in{0xC0, 0x10, 0x00, 0x00};
  in.resize(in.size() + 8, 0xAB);
  dat::RecordCursor cur(in);
  auto v = dat::read_smart_vec(cur);
  ASSERT_FALSE(v.has_value());
  EXPECT_EQ(v.error().kind, dat::ReadErrorKind::EndOfData);
  EXPECT_EQ(cur.position(), 12u);  // two elements were read before the data ran out
}

TEST(SharedRecords, QuaternionReadsScalarFirst) {
  writer::ByteWriter w;
  w.f32(1.0f).f32(0.0f).f32(0.0f).f32(0.0f);
  dat::RecordCursor cur(w.view());
  auto q = dat::read_quaternion(cur);
  ASSERT_TRUE(q.has_value());
  EXPECT_EQ(q->w, 1.0f);
  EXPECT_EQ(q->x, 0.0f);
  EXPECT_EQ(q->y, 0.0f);
  EXPECT_EQ(q->z, 0.0f);
}

TEST(SharedRecords, FramesCollectInnermostFirst) {
  const Bytes fourteen(14, 0), six(6, 0), ten(10, 0);
  {
    dat::RecordCursor cur(fourteen);
    auto s = dat::read_sphere(cur);
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(frames(s.error()), (std::vector<std::string>{"While parsing field 'radius' in Sphere"}));
  }
  {
    dat::RecordCursor cur(six);
    auto s = dat::read_sphere(cur);
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(frames(s.error()), (std::vector<std::string>{"While parsing field 'y' in Vector3",
                                                           "While parsing field 'center' in Sphere"}));
  }
  {
    dat::RecordCursor cur(ten);
    auto f = dat::read_frame(cur);
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().text(),
              "failed to fill whole buffer\nWhile parsing field 'z' in Vector3\n"
              "While parsing field 'origin' in Frame");
  }
}

TEST(ReadErrorText, InvalidDataShowsLowerHexPosition) {
  EXPECT_EQ(dat::ReadError::invalid_data("bad", 0).text(), "bad at 0x0");
  EXPECT_EQ(dat::ReadError::invalid_data("bad", 420).text(), "bad at 0x1a4");
  EXPECT_EQ(dat::ReadError::not_enough_bytes().text(), "not enough bytes in reader");
}

TEST(Cursor, RawBytesRunShortUsesItsOwnText) {
  const Bytes in{1, 2, 3};
  dat::RecordCursor cur(in);
  auto b = cur.read_bytes(4);
  ASSERT_FALSE(b.has_value());
  EXPECT_EQ(b.error().text(), "not enough bytes in reader");
  auto ok = cur.read_bytes(3);
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(*ok, in);
  cur.skip(5);
  EXPECT_EQ(cur.remaining(), 0u);
  EXPECT_FALSE(cur.read_u8().has_value());
}

TEST(DatErrorText, MessagesAndCauses) {
  using E = dat::DatError;
  EXPECT_EQ(E(E::NotFound{0xA9B4FFFE}).message(), "File ID A9B4FFFE not found in provider");
  EXPECT_EQ(E(E::NotFound{0x2A}).message(), "File ID 0000002A not found in provider");
  EXPECT_FALSE(E(E::NotFound{0x2A}).cause().has_value());
  EXPECT_EQ(E(E::DuplicateId{0x10}).message(), "Duplicate File ID 00000010 detected");
  EXPECT_EQ(E(E::DuplicateNamespacedId{"portal", 0x1234}).message(),
            "Duplicate namespaced file portal:00001234 detected");
  EXPECT_EQ(E(E::InvalidMagic{"dat"}).message(), "Invalid magic for format: dat");
  EXPECT_EQ(E(E::UnsupportedVersion{17}).message(), "Unsupported version: 17");
  EXPECT_EQ(E(E::InvalidNamespace{"x"}).message(), "Invalid namespace: x");
  EXPECT_EQ(E(E::Corruption{"bad"}).message(), "Corruption detected: bad");
  EXPECT_EQ(E(E::DecompressionFailed{0xFF}).message(), "Failed to recover compressed file 000000FF");
  EXPECT_EQ(E(E::Other{"x"}).message(), "Other error: x");

  const E path(E::PathError{"/no/such", dat::IoError::from_errno(ENOENT)});
  EXPECT_EQ(path.message(), "Failed to open file at /no/such: No such file or directory");
  EXPECT_EQ(path.cause(), "No such file or directory");

  const E io(dat::IoError::unexpected_eof());
  EXPECT_EQ(io.message(), "IO error: failed to fill whole buffer");
  EXPECT_EQ(io.cause(), "failed to fill whole buffer");

  dat::ReadError re = dat::ReadError::end_of_data();
  re.add_context("magic", "DatHeader");
  const E bin(re);
  EXPECT_EQ(bin.message(),
            "Binary read error: failed to fill whole buffer\nWhile parsing field 'magic' in DatHeader");
  EXPECT_EQ(bin.cause(), "failed to fill whole buffer\nWhile parsing field 'magic' in DatHeader");
}

TEST(DisplayPath, ReplacesEachMaximalInvalidSubpart) {
  struct Case {
    std::string in, out;
  };
  const std::string r = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"plain/ascii.dat", "plain/ascii.dat"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"a\xFF" "b", "a" + r + "b"},
      {"a\xE2\x82" "b", "a" + r + "b"},        // truncated 3-byte sequence: one replacement
      {"a\xF0\x80\x80" "b", "a" + r + r + r + "b"},  // 0x80 not allowed after F0
      {"\xC0\xAF", r + r},
      {"\xED\xA0\x80", r + r + r},             // surrogate
      {"end\xF0\x9F\x98", "end" + r},
  };
  for (const auto& c : cases) EXPECT_EQ(dat::display_path(c.in), c.out) << c.in;
}

}  // namespace
