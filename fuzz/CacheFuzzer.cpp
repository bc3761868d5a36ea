// libFuzzer target: the event cache's reader. An input that starts like a cache file is read
// as one, its checksums repaired first so that the checks behind them are reached; any other
// input is a log, whose store is written as a cache file, read back (it must come back the
// same, and cut back at its split point it must still be whole) and then read again with one
// byte changed where the input's hash says. A crash, hang, sanitizer report or a store read
// back different is a finding; a changed byte may be refused but never trusted into a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "log/EventCache.h"
#include "log/EventStore.h"
#include "log/LogFile.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Walks a store the way the passes do: every event, the names' keys, every player's records.
void Use(const barvik::EventStore& store) {
  using namespace barvik;
  const NameForms forms(store, true, true);
  const PlayerIndex index(store);
  uint64_t seen = 0;
  store.ForEach([&](const EventView& e) {
    const size_t ids = e.kind == LineKind::Win || e.kind == LineKind::Loss ? e.count : 0;
    for (size_t i = 0; i < ids; ++i) seen += forms.Name(e.ids[i]);
    if (e.kind == LineKind::GameInit) seen += forms.Setting(e.ids[0]);
    Check(e.line < store.LineCount() || store.LineCount() == 0);
  });
  for (uint32_t raw = 0; raw < store.texts().size(); ++raw) {
    for (uint32_t position : index.Positions(raw)) seen += store.At(position).ids[0];
  }
  EventStore copy;
  copy.AppendStore(store);
  Check(copy.SameAs(store));
  (void)seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace barvik;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.starts_with("BRVKEVT\n")) {
    RepairCacheChecksums(bytes);
    for (bool at_split : {false, true}) {
      if (auto store = StoreFromCacheBytes(bytes, at_split)) Use(*store);
    }
    return 0;
  }
  const LogFile log = LogFile::FromText(bytes);
  std::string file = CacheBytesOf(log.events());
  auto back = StoreFromCacheBytes(file, false);
  Check(back.has_value() && back->SameAs(log.events()));
  auto cut = StoreFromCacheBytes(file, true);
  Check(cut.has_value());
  uint64_t h = 1469598103934665603ull;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  file[h % file.size()] = static_cast<char>(file[h % file.size()] ^ (1 + (h >> 56) % 255));
  if (auto changed = StoreFromCacheBytes(file, false)) Use(*changed);
  RepairCacheChecksums(file);
  if (auto changed = StoreFromCacheBytes(file, (h & 1) != 0)) Use(*changed);
  return 0;
}
