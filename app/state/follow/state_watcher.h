#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/state/app_state.h"

namespace quillmere {

// How a view follows the application state: it names the fields it reads and is called back once
// per turn of the event loop after any of them was announced, however many announcements that
// turn brought. A view that must act only on a real change of a value registers the value with
// `onChange`, which compares it with the value it saw last.
//
// Callbacks run on the GUI thread, in the order they were registered, never inside the state's
// own operation, so a view never reacts to half of a change. A view may change the state from a
// callback; what it announces is seen on a later turn. The watcher stops with its parent view;
// the state must outlive it.
class StateWatcher : public QObject {
    Q_OBJECT

  public:
    using Fields = std::vector<AppState::Field>;

    StateWatcher(AppState& state, QObject* parent);

    // `refresh` runs on the turn after one or more of `fields` were announced.
    void onAnnounced(Fields fields, std::function<void()> refresh);

    // `react(previous, current)` runs on the turn after one of `fields` was announced when `read()`
    // then differs from what it gave last; the first value is read now. T needs equality.
    template <class Read, class React>
    void onChange(Fields fields, Read read, React react) {
        using Value = std::decay_t<decltype(read())>;
        auto last = std::make_shared<Value>(read());
        onAnnounced(std::move(fields), [last, read = std::move(read), react = std::move(react)] {
            Value current = read();
            if (current == *last) return;
            Value previous = std::exchange(*last, current);
            react(previous, current);
        });
    }

  private:
    struct Watch {
        Fields fields;
        std::function<void()> refresh;
        bool pending = false;
    };

    void announced(AppState::Field field);
    void flush();

    std::vector<Watch> watches_;
    bool flushScheduled_ = false;
};

}  // namespace quillmere
