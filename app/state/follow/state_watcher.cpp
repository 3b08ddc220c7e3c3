#include "app/state/follow/state_watcher.h"

#include <QMetaObject>
#include <algorithm>

namespace quillmere {

StateWatcher::StateWatcher(AppState& state, QObject* parent) : QObject(parent) {
    connect(&state, &AppState::changed, this, &StateWatcher::announced);
}

void StateWatcher::onAnnounced(Fields fields, std::function<void()> refresh) {
    watches_.push_back(Watch{.fields = std::move(fields), .refresh = std::move(refresh)});
}

void StateWatcher::announced(AppState::Field field) {
    bool any = false;
    for (Watch& watch : watches_) {
        if (std::find(watch.fields.begin(), watch.fields.end(), field) == watch.fields.end()) {
            continue;
        }
        watch.pending = true;
        any = true;
    }
    if (!any || flushScheduled_) return;
    flushScheduled_ = true;
    // Queued on this object, so nothing runs once the view is gone.
    QMetaObject::invokeMethod(this, &StateWatcher::flush, Qt::QueuedConnection);
}

void StateWatcher::flush() {
    flushScheduled_ = false;
    // By index: a callback may register further watches.
    for (std::size_t index = 0; index < watches_.size(); ++index) {
        if (!watches_[index].pending) continue;
        watches_[index].pending = false;
        // A copy: the callback may add watches and so move the vector.
        const std::function<void()> refresh = watches_[index].refresh;
        refresh();
    }
}

}  // namespace quillmere
