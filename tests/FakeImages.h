// The one stand-in for the window's renderer in tests that run without a toolkit.
//
// By default every picture is a solid grey image of the size the window renders, the same bytes
// every time. Given the workspace, it notes who was loaded at each call, and it can colour each
// picture by a hash of the state it shows (so an image left from an older state differs from a
// fresh one), fail as a full disk would, or hand the encoder an image whose pixels do not fit.
#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ImageFingerprint.h"
#include "app/Workspace.h"
#include "core/FileError.h"
#include "core/StableHash.h"
#include "report/ImageSource.h"

namespace barvik::testing {

class FakeImages : public ImageSource {
 public:
  FakeImages() = default;
  explicit FakeImages(const Workspace& ws) : ws_(&ws) {}

  RgbImage Render(ReportImage which) override {
    if (calls.size() == fail_at) throw FileError::CannotCreate("image", ENOSPC);
    calls.emplace_back(which, ws_ != nullptr ? ws_->LabelLoadedName() : std::string());
    const bool chart = which == ReportImage::RatioChart;
    if (chart && ws_ != nullptr) chart_titles.push_back(ws_->chart().title);
    RgbImage image;
    if (by_state) {
      image.width = chart ? 64 : 32;
      image.height = 16;
    } else {
      image.width = chart ? 691 : 233;
      image.height = chart ? 357 : 355;
    }
    image.stride = static_cast<size_t>(image.width) * 3;
    image.pixels.assign(image.stride * static_cast<size_t>(image.height), grey);
    if (by_state) {
      const uint64_t colour = StateHash(which);
      for (size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = static_cast<uint8_t>(colour >> (8 * (i % 8)));
      }
    }
    if (calls.size() == bad_at + 1) image.pixels.resize(10);  // fails in the PNG encoder
    return image;
  }

  std::optional<std::string> RenderContext(ReportImage /*which*/) override { return context; }

  uint8_t grey = 0x80;
  bool by_state = false;  // small pictures coloured by the state they show (needs the workspace)
  std::optional<std::string> context = std::nullopt;  // what RenderContext answers
  size_t fail_at = SIZE_MAX;                          // the call that fails as a full disk would
  size_t bad_at = SIZE_MAX;  // the call whose image does not fit its pixels

  // Every call: which picture, and the loaded player's name (empty without a workspace).
  std::vector<std::pair<ReportImage, std::string>> calls;
  // The title of every chart drawn: it names the player, also one left unloaded.
  std::vector<std::string> chart_titles;

 private:
  uint64_t StateHash(ReportImage which) const {
    StableHash hash;
    if (which == ReportImage::RatioChart) {
      AddChartState(hash, ws_->chart());
    } else {
      const FigureId id = which == ReportImage::Accuracy         ? FigureId::Overall
                          : which == ReportImage::PlayerAccuracy ? FigureId::GlobAccuracy
                                                                 : FigureId::GlobEnemyAccuracy;
      AddFigureState(hash, ws_->figure(id));
    }
    return hash.value();
  }

  const Workspace* ws_ = nullptr;
};

}  // namespace barvik::testing
