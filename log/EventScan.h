// The one walk every pass makes over a log's events: in log order, or over the records of
// one player's index. The walk follows the game-initialisation lines (current map, game type,
// turn, server name) and hands each event with that state to the pass's handler; a failure
// while one event is handled is reported with its line index and the walk goes on.
//
// A handler provides  void operator()(const EventView&, const ScanState&)  and
// std::string ErrorMessage(uint64_t line)  (the per-line message of its scan).
#pragma once

#include <exception>
#include <span>

#include "core/LineError.h"
#include "log/LogFile.h"

namespace barvik {

inline void AdvanceTurn(ScanState& state, const NameForms& forms, const EventView& init) {
  state.map = forms.Setting(init.ids[0]);
  state.game_type = forms.Setting(init.ids[1]);
  state.host = init.ids[2];
  ++state.turn;
}

template <typename Handler>
void ScanEvents(const LogFile& log, Handler& handler, const LineErrorReporter& report) {
  const NameForms& forms = log.Forms();
  ScanState state{forms.NotDefined(), forms.NotDefined()};
  log.events().ForEach([&](const EventView& e) {
    try {
      if (e.kind == LineKind::GameInit) AdvanceTurn(state, forms, e);
      handler(e, state);
    } catch (const std::exception&) {
      if (report) report(handler.ErrorMessage(e.line));
    }
  });
}

// The same over the records from `begin` (the start of a record) to the end, with the state each
// would have in a walk from the start. The lines handed over count from 0 at `begin`: a
// handler that reports failures wants the walk from the start.
template <typename Handler>
void ScanEventsFrom(const LogFile& log, uint32_t begin, Handler& handler,
                    const LineErrorReporter& report) {
  const NameForms& forms = log.Forms();
  const EventStore& events = log.events();
  ScanState state{forms.NotDefined(), forms.NotDefined()};
  for (uint32_t init : events.game_inits()) {
    if (init >= begin) break;
    AdvanceTurn(state, forms, events.At(init));
  }
  events.ForEachIn(begin, events.EndPosition(), [&](const EventView& e) {
    try {
      if (e.kind == LineKind::GameInit) AdvanceTurn(state, forms, e);
      handler(e, state);
    } catch (const std::exception&) {
      if (report) report(handler.ErrorMessage(e.line));
    }
  });
}

// The same over the records at `positions` (rising), with the state each would have in a
// walk from the start; game-initialisation records are followed but not handed over.
template <typename Handler>
void ScanEventsAt(const LogFile& log, std::span<const uint32_t> positions, Handler& handler,
                  const LineErrorReporter& report) {
  const NameForms& forms = log.Forms();
  const EventStore& events = log.events();
  const std::vector<uint32_t>& inits = events.game_inits();
  ScanState state{forms.NotDefined(), forms.NotDefined()};
  size_t next_init = 0;
  for (uint32_t position : positions) {
    while (next_init < inits.size() && inits[next_init] < position) {
      AdvanceTurn(state, forms, events.At(inits[next_init++]));
    }
    try {
      handler(events.At(position), state);
    } catch (const std::exception&) {
      if (report) report(handler.ErrorMessage(events.LineAt(position)));
    }
  }
}

}  // namespace barvik
