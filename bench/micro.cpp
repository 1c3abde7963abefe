#include "micro.hpp"

#include <benchmark/benchmark.h>
#include <squish.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "dat/database.hpp"
#include "dat/file_type/dxt.hpp"
#include "dat/file_type/texture.hpp"
#include "dat/surface_classify.hpp"
#include "dat/utils.hpp"
#include "floors.hpp"
#include "synth.hpp"
#include "writer/lrs.hpp"
#include "writer/model_records.hpp"

namespace bench {

namespace {

constexpr std::uint32_t kSide = 512;
constexpr std::uint64_t kPixels = std::uint64_t{kSide} * kSide;
constexpr double kOutputBytes = static_cast<double>(kPixels * 4);

// Collects every repetition's CPU time per iteration; prints nothing.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
    }
  }
  std::map<std::string, std::vector<double>> times;
};

TextureRecipe recipe_for(TexKind kind, std::uint64_t seed) {
  TextureRecipe recipe;
  recipe.kind = kind;
  recipe.width = kSide;
  recipe.height = kSide;
  recipe.seed = seed;
  recipe.material = materials()[seed % materials().size()];
  return recipe;
}

struct Inputs {
  std::map<std::string, std::vector<std::uint8_t>> dxt;  // by "dxt1" etc.
  std::map<std::string, dat::Texture> textures;          // raw and paletted, by format name
  std::map<std::string, dat::Palette> palettes;
  std::vector<std::uint8_t> memcpy_in, memcpy_out;
  std::vector<std::uint8_t> image;  // a decoded 512 x 512 DXT5 texture
  std::vector<std::uint8_t> lrs;    // an LRS-compressed run of mesh records
  std::size_t lrs_out = 0;
  std::unique_ptr<dat::DatDatabase> portal, chains;
  std::uint32_t portal_offset = 0, portal_size = 0, chain_offset = 0, chain_size = 0;
};

std::vector<std::uint8_t> mesh_run(std::size_t bytes) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t i = 1; out.size() < bytes; ++i) {
    std::vector<std::uint32_t> surfaces;
    for (std::uint32_t s = 0; s < 1 + i % 6; ++s) surfaces.push_back(0x08000000 + (i * 7 + s * 131) % 14000);
    const auto mesh = writer::encode_gfx_obj(writer::simple_mesh(0x01000000 + i, surfaces));
    out.insert(out.end(), mesh.begin(), mesh.end());
  }
  out.resize(bytes);
  return out;
}

std::unique_ptr<Inputs> make_inputs(const MicroOptions& options) {
  auto in = std::make_unique<Inputs>();
  in->dxt["dxt1"] = synth_source_data(recipe_for(TexKind::Dxt1, 11));
  in->dxt["dxt3"] = synth_source_data(recipe_for(TexKind::Dxt3, 13));
  in->dxt["dxt5"] = synth_source_data(recipe_for(TexKind::Dxt5, 15));
  std::uint64_t seed = 100;
  for (const TexKind kind : kAllTexKinds) {
    if (kind == TexKind::Dxt1 || kind == TexKind::Dxt3 || kind == TexKind::Dxt5) continue;
    const TextureRecipe recipe = recipe_for(kind, ++seed);
    dat::Texture t;
    t.id = 0x06000000 + static_cast<std::uint32_t>(seed);
    t.width = kSide;
    t.height = kSide;
    t.format_raw = format_code(kind);
    t.source_data = synth_source_data(recipe);
    const std::string name(kind_name(kind));
    if (is_paletted(kind)) {
      t.default_palette_id = 0x04000000 + static_cast<std::uint32_t>(seed);
      in->palettes[name] = dat::Palette{*t.default_palette_id,
                                        synth_palette(seed, recipe.material, palette_size_for(kind))};
    }
    in->textures[name] = std::move(t);
  }
  in->memcpy_in.assign(static_cast<std::size_t>(kOutputBytes), 0x5A);
  in->memcpy_out.assign(static_cast<std::size_t>(kOutputBytes), 0);
  in->image = dat::decompress_dxt5(in->dxt["dxt5"], kSide, kSide);
  const std::vector<std::uint8_t> plain = mesh_run(256 * 1024);
  in->lrs = writer::compress_lrs(plain);
  in->lrs_out = plain.size();

  auto open = [](const std::filesystem::path& path) {
    auto db = dat::DatDatabase::open(path);
    if (!db) throw std::runtime_error("cannot open " + path.string() + ": " + db.error().message());
    return std::make_unique<dat::DatDatabase>(std::move(*db));
  };
  in->portal = open(options.portal);
  for (const auto& [id, e] : in->portal->files) {
    if (e.size > in->portal_size) {
      in->portal_size = e.size;
      in->portal_offset = e.offset;
    }
  }
  in->chains = open(options.chains);
  const dat::DatFileEntry& chain = in->chains->files.find(1)->second;
  in->chain_offset = chain.offset;
  in->chain_size = chain.size;
  return in;
}

double blocks_of(std::uint32_t size, std::uint32_t block_size) {
  const std::uint32_t payload = block_size - 4;
  return static_cast<double>((size + payload - 1) / payload);
}

}  // namespace

std::map<std::string, MicroCase> run_micro(const MicroOptions& options) {
  std::shared_ptr<Inputs> in = make_inputs(options);
  std::map<std::string, MicroCase> cases;
  const auto add = [&](const std::string& name, double work, const std::string& unit, auto fn) {
    benchmark::RegisterBenchmark(name.c_str(), [in, fn](benchmark::State& state) {
      for (auto _ : state) fn(*in);
    })->Unit(benchmark::kNanosecond);
    cases[name] = MicroCase{{}, work, unit};
  };

  using DxtFn = std::vector<std::uint8_t> (*)(std::span<const std::uint8_t>, std::uint32_t,
                                              std::uint32_t);
  const std::pair<const char*, DxtFn> decoders[] = {
      {"dxt1", dat::decompress_dxt1}, {"dxt3", dat::decompress_dxt3}, {"dxt5", dat::decompress_dxt5}};
  const std::pair<const char*, int> squish_flags[] = {
      {"dxt1", squish::kDxt1}, {"dxt3", squish::kDxt3}, {"dxt5", squish::kDxt5}};
  for (const auto& [name, fn] : decoders) {
    const std::string key = name;
    add("decompress_" + key, kOutputBytes, "bytes", [key, fn = fn](Inputs& i) {
      auto out = fn(i.dxt[key], kSide, kSide);
      benchmark::DoNotOptimize(out.data());
    });
  }
  for (const auto& [name, flags] : squish_flags) {
    const std::string key = name;
    add("squish_" + key, kOutputBytes, "bytes", [key, flags = flags](Inputs& i) {
      squish::DecompressImage(i.memcpy_out.data(), kSide, kSide, i.dxt[key].data(), flags);
      benchmark::DoNotOptimize(i.memcpy_out.data());
    });
  }
  for (const auto& [name, texture] : in->textures) {
    add("to_rgba8/" + name, static_cast<double>(kPixels), "pixels", [name = name](Inputs& i) {
      const dat::Texture& t = i.textures.at(name);
      auto out = t.to_rgba8([&i, &name](std::uint32_t) -> std::expected<dat::Palette, std::string> {
        return i.palettes.at(name);
      });
      benchmark::DoNotOptimize(out->data());
    });
  }
  add("memcpy_output", static_cast<double>(kPixels), "pixels", [](Inputs& i) {
    floor_memcpy(i.memcpy_in, i.memcpy_out);
    benchmark::DoNotOptimize(i.memcpy_out.data());
    benchmark::ClobberMemory();
  });
  add("compute_stats", static_cast<double>(kPixels), "pixels", [](Inputs& i) {
    auto s = dat::compute_stats(i.image, kSide, kSide);
    benchmark::DoNotOptimize(s);
  });
  add("stats_floor", static_cast<double>(kPixels), "pixels", [](Inputs& i) {
    double v = floor_stats(i.image, kPixels);
    benchmark::DoNotOptimize(v);
  });
  add("decompress_lrs", static_cast<double>(in->lrs_out), "bytes", [](Inputs& i) {
    auto out = dat::decompress_lrs(i.lrs);
    benchmark::DoNotOptimize(out.data());
  });
  add("read_file_data/portal", blocks_of(in->portal_size, in->portal->header.block_size), "blocks",
      [](Inputs& i) {
        auto out = i.portal->read_file_data(i.portal_offset, i.portal_size);
        benchmark::DoNotOptimize(out->data());
      });
  add("read_file_data/chains", blocks_of(in->chain_size, in->chains->header.block_size), "blocks",
      [](Inputs& i) {
        auto out = i.chains->read_file_data(i.chain_offset, i.chain_size);
        benchmark::DoNotOptimize(out->data());
      });

  const std::string reps = "--benchmark_repetitions=" + std::to_string(options.repetitions);
  const std::string min_time = "--benchmark_min_time=" + std::to_string(options.min_time);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  char arg0[] = "qv-bench";
  std::string filter = "--benchmark_filter=" + (options.filter.empty() ? std::string(".") : options.filter);
  std::vector<char*> argv = {arg0, const_cast<char*>(reps.c_str()), const_cast<char*>(min_time.c_str()),
                             interleave.data(), filter.data(), nullptr};
  int argc = static_cast<int>(argv.size()) - 1;
  benchmark::Initialize(&argc, argv.data());
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::ClearRegisteredBenchmarks();
  for (auto it = cases.begin(); it != cases.end();) {
    auto times = collector.times.find(it->first);
    if (times == collector.times.end()) {
      it = cases.erase(it);  // filtered out
      continue;
    }
    it->second.ns = summarize(times->second);
    ++it;
  }
  return cases;
}

}  // namespace bench
