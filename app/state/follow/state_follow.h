#pragma once

#include <functional>
#include <utility>

#include "app/state/app_state.h"
#include "app/state/follow/state_watcher.h"

namespace quillmere {

// `fields` and the fields `AppState::isBusy` reads.
inline StateWatcher::Fields withBusyFields(StateWatcher::Fields fields) {
    fields.insert(fields.end(), {AppState::Field::isOpening, AppState::Field::isExporting,
                                 AppState::Field::isApplyingEdits});
    return fields;
}

// Runs `refresh` now and again on every turn after one of `fields` was announced.
inline void follow(StateWatcher& watcher, StateWatcher::Fields fields,
                   std::function<void()> refresh) {
    refresh();
    watcher.onAnnounced(std::move(fields), std::move(refresh));
}

}  // namespace quillmere
