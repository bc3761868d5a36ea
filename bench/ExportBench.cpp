// The report export on the large generated log (about 1,000,000 lines, a few hundred players)
// with an image source that hands out ready-made images, so the figures are the engine's own
// time: the whole export, and its parts (one player's seven pages, the PNG encoding of one
// figure and one chart image, plain and with drawing-like content); and the file prefixes of
// many names that share one prefix; and the publishing of a staged report.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SiteLists.h"
#include "app/Workspace.h"
#include "bench/BenchLog.h"
#include "report/AtomicFile.h"
#include "report/ImageSource.h"
#include "report/PageWriter.h"
#include "report/PngWriter.h"
#include "report/ReportFiles.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

// A figure-like picture: a light background with a filled body shape, bars and small
// blocks of "text" dots, so deflate has something to do. `plain` gives one solid colour.
RgbImage MakeImage(int width, int height, bool plain) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.stride = static_cast<size_t>(width) * 3 + 1;  // padded rows, as a toolkit gives them
  image.pixels.assign(image.stride * static_cast<size_t>(height), 0xF0);
  if (plain) return image;
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p =
          &image.pixels[static_cast<size_t>(y) * image.stride + static_cast<size_t>(x) * 3];
      const int dx = x - width / 2;
      const int dy = y - height / 3;
      if (dx * dx * 4 + dy * dy < width * width / 2) {  // the body
        p[0] = 0;
        p[1] = 255;
        p[2] = 0;
      }
      if (y % 40 < 12 && x % 80 < 60) {  // value labels: dots of text
        noise = noise * 1103515245u + 12345u;
        if ((noise >> 16) % 3 == 0) p[0] = p[1] = p[2] = 0;
      }
      if (y % 40 >= 14 && y % 40 < 22 && x % 80 < 30) {  // bars
        p[0] = 0;
        p[1] = 0;
        p[2] = 255;
      }
    }
  }
  return image;
}

class ReadyImages : public ImageSource {
 public:
  explicit ReadyImages(bool plain)
      : figure_(MakeImage(233, 355, plain)), chart_(MakeImage(691, 357, plain)) {}
  RgbImage Render(ReportImage which) override {
    return which == ReportImage::RatioChart ? chart_ : figure_;
  }

 private:
  RgbImage figure_;
  RgbImage chart_;
};

Workspace& Analysed() {
  static Workspace* ws = [] {
    auto* w = new Workspace;
    w->RunAnalysis(BenchLogPath());
    // The build copies the default templates beside the programs.
    w->template_folder = fs::read_symlink("/proc/self/exe").parent_path().string();
    w->options().dest_dir =
        (fs::temp_directory_path() / ("barvik-bench-report-" + std::to_string(getpid()))).string();
    return w;
  }();
  return *ws;
}

size_t PlayerCount(const Workspace& ws) {
  size_t n = 0;
  for (const Row& r : ws.List(ListId::Players).rows) n += r.caption != kTotalRowCaption;
  return n;
}

// The whole export: global pages, the one pass for every player, each player loaded, his
// seven pages and three images.
void BM_Export(benchmark::State& state) {
  Workspace& ws = Analysed();
  ReadyImages images(state.range(0) != 0);
  for (auto _ : state) ws.ButtonHTMLClick(images);
  state.counters["players"] = static_cast<double>(PlayerCount(ws));
  fs::remove_all(ws.options().dest_dir);
}
BENCHMARK(BM_Export)->ArgName("plain_images")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One loaded player's seven pages, as the export writes them: the templates read for every
// page (shared_templates 0) or once for the run (1, as the export does).
void BM_PlayerPages(benchmark::State& state) {
  Workspace& ws = Analysed();
  ws.SelectPlayerRow(static_cast<int>(ws.List(ListId::Players).rows.size() / 2));
  ws.ListViewPlayersDblClick();
  const std::string folder = ws.options().dest_dir;
  fs::create_directories(folder);
  PageSettings settings;
  settings.template_folder = ws.template_folder;
  if (state.range(0) != 0) settings.templates = std::make_shared<TemplateLines>();
  const ReportList& header = ws.List(ListId::Player);
  for (auto _ : state) {
    for (ListId id : {ListId::PlayerWeapon, ListId::PlayerGlobAccuracy,
                      ListId::PlayerGlobEnemyAccuracy, ListId::PlayerMaps, ListId::PlayerGameType,
                      ListId::PlayerVictims, ListId::PlayerTurnsRatio}) {
      WriteHTMLPage(ws.List(id), "<i>server</i><br>PAGE", folder + "/page.html", false, "", &header,
                    settings);
    }
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_PlayerPages)
    ->ArgName("shared_templates")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The site alone, the export's addition: the pages of the games and people model (built once,
// before the timing), games.json, people.json, and stats.json with every player's lists (each
// the lists of one loaded player of average size).
void BM_Site(benchmark::State& state) {
  Workspace& ws = Analysed();
  ws.SelectPlayerRow(static_cast<int>(ws.List(ListId::Players).rows.size() / 2));
  ws.ListViewPlayersDblClick();
  std::vector<std::string> names;
  for (const Row& r : ws.List(ListId::Players).rows) {
    if (r.caption != kTotalRowCaption) names.push_back(r.caption);
  }
  const std::string folder = OutputFolderPrefix(ws.options().dest_dir);
  const PlayerLists lists = SitePlayerLists(ws);
  const GamesModel model = BuildGames(ws.log()->events());
  const ModelFigures figures =
      FiguresOf(model, ComputeAwards(ws.log()->events(), model,
                                     FriendlyNames::Load(ws.template_folder).weapon_groups()));
  for (auto _ : state) {
    SiteSettings settings;
    settings.report_folder = folder;
    settings.template_folder = ws.template_folder;
    SiteWriter site(std::move(settings));
    site.WriteGlobal(SiteGlobalLists(ws));
    site.WriteGames(ws.log()->events(), model, figures);
    for (const std::string& name : names) site.WritePlayer(name, lists);
    site.Finish();
  }
  uintmax_t bytes = 0, largest = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder + "site")) {
    if (!e.is_regular_file()) continue;
    bytes += e.file_size();
    if (e.path().extension() == ".html") largest = std::max(largest, e.file_size());
  }
  state.counters["players"] = static_cast<double>(names.size());
  state.counters["site_bytes"] = static_cast<double>(bytes);
  state.counters["largest_page"] = static_cast<double>(largest);
  fs::remove_all(ws.options().dest_dir);
}
BENCHMARK(BM_Site)->Unit(benchmark::kMillisecond);

// One image written as PNG at compression level 9.
void BM_WritePng(benchmark::State& state) {
  const bool chart = state.range(0) != 0;
  const RgbImage image = MakeImage(chart ? 691 : 233, chart ? 357 : 355, state.range(1) != 0);
  const std::string path =
      (fs::temp_directory_path() / ("barvik-bench-" + std::to_string(getpid()) + ".png")).string();
  for (auto _ : state) WritePng(path, image);
  state.counters["bytes"] = static_cast<double>(fs::file_size(path));
  fs::remove(path);
}
BENCHMARK(BM_WritePng)
    ->ArgNames({"chart", "plain"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMicrosecond);

// Publishing a staged report of 3,300 files over an older one (the size of the 1M-line log's
// report): the journal, a link to every replaced file and the moves, without the staging.
void BM_PublishReport(benchmark::State& state) {
  const fs::path folder =
      fs::temp_directory_path() / ("barvik-bench-publish-" + std::to_string(getpid()));
  fs::create_directories(folder / "site" / "p");
  auto stage = [&folder](int version) {
    for (int i = 0; i < 3300; ++i) {
      const std::string name = (i % 3 == 0 ? "site/p/page" : "page") + std::to_string(i);
      WriteFileAtomically((folder / name).string(), "version " + std::to_string(version));
    }
  };
  stage(0);
  int version = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::optional<StagingArea> staging(std::in_place, folder.string());
    stage(++version);
    state.ResumeTiming();
    staging->Publish();
    state.PauseTiming();
    staging.reset();  // removes the links to the old files
    state.ResumeTiming();
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_PublishReport)->Iterations(5)->Unit(benchmark::kMillisecond);

// File prefixes for `n` distinct names that all encode to one prefix: every name is a row
// of 15 pieces, each "!" or "33", and both pieces give "33". Each name after the first takes
// the next suffix; the time per name should stay flat.
void BM_AssignPrefixesSharedPrefix(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    std::string name;
    for (int bit = 14; bit >= 0; --bit) name += (i >> bit) & 1 ? "33" : "!";
    names.push_back(std::move(name));
  }
  for (auto _ : state) benchmark::DoNotOptimize(AssignPlayerPrefixes(names));
  state.counters["per_name"] =
      benchmark::Counter(static_cast<double>(n) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AssignPrefixesSharedPrefix)
    ->ArgName("names")
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace barvik
