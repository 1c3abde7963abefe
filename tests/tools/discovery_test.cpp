#include <gtest/gtest.h>

#include <map>

#include "dat/database.hpp"
#include "discovery.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_builder.hpp"
#include "writer/cell_records.hpp"
#include "writer/model_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Ids = std::vector<std::uint32_t>;

Bytes mesh(std::uint32_t id, Ids surfaces) {
  return writer::encode_gfx_obj(writer::simple_mesh(id, std::move(surfaces)));
}
Bytes setup(std::uint32_t id, Ids parts) {
  return writer::encode_setup_model(writer::simple_setup(id, std::move(parts)));
}
Bytes cell(std::vector<std::uint16_t> surfaces, Ids stabs = {}) {
  dat::EnvCell c;
  c.surfaces = std::move(surfaces);
  for (const auto id : stabs) c.stabs.push_back(dat::env_cell::Stab{id, {}});
  if (!c.stabs.empty()) c.flags = 2;
  return writer::encode_env_cell(c);
}
Bytes landblock(Ids objects, Ids buildings) {
  writer::LandblockInfoDesc d;
  for (const auto id : objects) d.objects.push_back(dat::Stab{id, {}});
  for (const auto id : buildings) {
    dat::BuildInfo b;
    b.model_id = id;
    d.buildings.push_back(b);
  }
  return writer::encode_landblock_info(d);
}

struct World {
  test_support::TempDir dir;
  std::optional<dat::DatDatabase> portal, cell;

  World(std::map<std::uint32_t, Bytes> portal_files, std::map<std::uint32_t, Bytes> cell_files) {
    auto build = [&](const char* name, std::map<std::uint32_t, Bytes>& files, std::uint32_t block) {
      std::vector<writer::ArchiveFile> list;
      bool compress = false;
      for (auto& [id, data] : files) {
        list.push_back({id, std::move(data), compress, 0});
        compress = !compress;  // every other file stored compressed
      }
      const auto path = dir.write(name, writer::build_archive(std::move(list), {.block_size = block}));
      auto db = dat::DatDatabase::open(path);
      EXPECT_TRUE(db.has_value());
      return std::move(*db);
    };
    portal.emplace(build("portal.dat", portal_files, 1024));
    cell.emplace(build("cell.dat", cell_files, 256));
  }

  std::pair<Ids, std::string> discover(std::uint16_t key) {
    testing::internal::CaptureStderr();
    const auto set = tools::discover_surfaces(*cell, *portal, key);
    const std::string err = testing::internal::GetCapturedStderr();
    return {Ids(set.begin(), set.end()), err};
  }
};

std::map<std::uint32_t, Bytes> portal_models() {
  return {
      {0x01000001, mesh(0x01000001, {0x08000011, 0x08000010})},
      {0x01000002, mesh(0x01000002, {0x08000020, 0})},
      {0x01000003, mesh(0x01000003, {0x08000030})},
      {0x01000004, mesh(0x01000004, {0x08000040})},
      // A valid mesh under an id of another kind: never fetched, so never counted.
      {0x03000001, mesh(0x03000001, {0x08000099})},
      // Mesh twice, a missing part, a part that fails as a mesh, and a part under a setup id
      // that holds a mesh record (parts are read as meshes whatever their high byte).
      {0x02000001,
       setup(0x02000001, {0x01000001, 0x01000099, 0x01000001, 0x02000003, 0x02000004})},
      {0x02000002, setup(0x02000002, {0x01000003})},
      {0x02000003, Bytes{1, 2, 3}},  // unreadable as a setup or as a mesh
      {0x02000004, mesh(0x02000004, {0x08000044})},
  };
}

TEST(Discovery, ObjectsBuildingsAndCells) {
  World w(portal_models(),
          {
              {0x1234FFFE, landblock({0x02000001, 0x01000002, 0x03000001, 0x02000003, 0x01000777},
                                     {0x01000003, 0x02000002})},
              {0x12340001, cell({0x0000, 0x0123}, {0x01000004})},
              {0x1234FFFD, cell({0x0FFF})},
              {0x12340002, Bytes{9, 9}},  // unreadable cell: skipped
              {0x12340000, cell({0x0AAA})},  // never read as a cell
              {0x1234FFFF, cell({0x0BBB})},  // never read as a cell
              {0x12350001, cell({0x0CCC})},  // a neighbouring landblock
              {0x12330001, cell({0x0DDD})},
          });
  const auto [ids, err] = w.discover(0x1234);
  EXPECT_EQ(ids, (Ids{0x08000000, 0x08000010, 0x08000011, 0x08000020, 0x08000030, 0x08000040,
                      0x08000044, 0x08000123, 0x08000FFF}));
  EXPECT_EQ(err, "  found 9 unique surface DIDs\n");
}

TEST(Discovery, MissingLandblockRecordStillReadsCells) {
  World w(portal_models(), {{0x0001FFFF, cell({0x0001})}, {0x00010005, cell({0x0005}, {0x02000001})}});
  const auto [ids, err] = w.discover(0x0001);
  EXPECT_EQ(ids, (Ids{0x08000005, 0x08000010, 0x08000011, 0x08000044}));
  EXPECT_EQ(err, "  found 4 unique surface DIDs\n");
}

TEST(Discovery, UnreadableLandblockAndNoCellsGiveEmptySet) {
  World w(portal_models(), {{0xA9B4FFFE, Bytes{1, 0, 0, 0}}, {0xA9B50001, cell({0x0001})}});
  const auto [ids, err] = w.discover(0xA9B4);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(err, "  found 0 unique surface DIDs\n");
}

TEST(Discovery, ModelHelpersKeepOrderAndDuplicates) {
  World w(portal_models(), {});
  EXPECT_EQ(tools::surfaces_for_setup_or_gfx(*w.portal, 0x02000001),
            (Ids{0x08000011, 0x08000010, 0x08000011, 0x08000010, 0x08000044}));
  EXPECT_EQ(tools::surfaces_for_setup_or_gfx(*w.portal, 0x01000002), (Ids{0x08000020, 0}));
  EXPECT_TRUE(tools::surfaces_for_setup_or_gfx(*w.portal, 0x03000001).empty());
  EXPECT_EQ(tools::surfaces_for_gfx(*w.portal, 0x02000004), (Ids{0x08000044}));
  EXPECT_TRUE(tools::surfaces_for_gfx(*w.portal, 0x02000003).empty());
  EXPECT_TRUE(tools::surfaces_for_gfx(*w.portal, 0x01000999).empty());
}

}  // namespace
