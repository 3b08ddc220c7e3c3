#include "app/shell/menu_commands.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "app/shell/app_appearance.h"
#include "app/shell/shortcuts.h"
#include "app/shell/text_routing.h"
#include "app/shell/window_preferences.h"
#include "app/state/app_state.h"
#include "app/state/follow/state_follow.h"
#include "app/state/preferences.h"

namespace quillmere {
namespace {

using Field = AppState::Field;

// The toolbar's "Open…" where a desktop program keeps it, with its shortcut: the same prompt,
// enabled exactly while the button is.
void addOpenItem(QMenu& file, AppState& state, StateWatcher& watcher) {
    QAction* open =
        file.addAction(QStringLiteral("Open Photos…"), [&state] { state.promptAndOpenPhoto(); });
    open->setShortcut(QKeySequence::Open);
    follow(watcher, withBusyFields({}), [open, &state] { open->setEnabled(!state.isBusy()); });
}

void addFileMenu(QMenuBar& menuBar, AppState& state, StateWatcher& watcher) {
    QMenu* file = menuBar.addMenu(QStringLiteral("File"));
    addOpenItem(*file, state, watcher);
    QAction* saveAll = file->addAction(QStringLiteral("Save All Edits"), [&state] {
        state.saveAllEdits([&state](std::optional<AppState::SessionError> error) {
            if (error) state.setLastError(error->what());
        });
    });
    saveAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    // The program ends with its main window, which asks about unsaved edits before it closes.
    QAction* quit = file->addAction(QStringLiteral("Quit"), &menuBar,
                                    [&menuBar] { menuBar.window()->close(); });
    quit->setShortcut(QKeySequence::Quit);
    follow(watcher, withBusyFields({Field::sessionPhotos}), [saveAll, &state] {
        saveAll->setEnabled(!state.sessionPhotos().empty() && !state.isBusy());
    });
}

void addEditMenu(QMenuBar& menuBar, AppState& state, StateWatcher& watcher,
                 const WindowCommands& windows) {
    QMenu* edit = menuBar.addMenu(QStringLiteral("Edit"));
    QAction* undo =
        edit->addAction(QStringLiteral("Undo Spot Repair"), [&state] { state.undoSpotRepair(); });
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo =
        edit->addAction(QStringLiteral("Redo Spot Repair"), [&state] { state.redoSpotRepair(); });
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    follow(watcher,
           withBusyFields({Field::spotUndoStack, Field::spotRedoStack, Field::spotRepairDraft}),
           [undo, redo, &state] {
               undo->setEnabled(state.canUndoSpotRepair() && !state.isBusy());
               redo->setEnabled(state.canRedoSpotRepair() && !state.isBusy());
           });

    edit->addSeparator();
    edit->addAction(QStringLiteral("Cut"), [] { sendToFocusedTextField(TextCommand::cut); })
        ->setShortcut(QKeySequence::Cut);
    edit->addAction(QStringLiteral("Copy"),
                    [&state] {
                        if (!sendToFocusedTextField(TextCommand::copy)) state.copyEditToClipboard();
                    })
        ->setShortcut(QKeySequence::Copy);
    edit->addAction(QStringLiteral("Paste"),
                    [&state] {
                        if (sendToFocusedTextField(TextCommand::paste) || state.isBusy()) return;
                        state.pasteEditFromClipboard();
                    })
        ->setShortcut(QKeySequence::Paste);
    edit->addAction(QStringLiteral("Select All"),
                    [&state] {
                        if (sendToFocusedTextField(TextCommand::selectAll) || state.isBusy()) {
                            return;
                        }
                        state.selectAllPhotos();
                    })
        ->setShortcut(QKeySequence::SelectAll);

    // The desktop has no application menu: the settings live here.
    edit->addSeparator();
    edit->addAction(QStringLiteral("Settings…"), windows.showSettings)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
}

void addViewMenu(QMenuBar& menuBar, Preferences& preferences) {
    QMenu* view = menuBar.addMenu(QStringLiteral("View"));
    const struct {
        QString title;
        QString key;
        QKeySequence shortcut;
    } toggles[] = {
        {"Show Library", WindowPreferences::kLibraryVisible, Shortcuts::showLibrary},
        {"Show Adjustments", WindowPreferences::kInspectorVisible, Shortcuts::showAdjustments},
        {"Show Filmstrip", WindowPreferences::kFilmstripVisible, Shortcuts::showFilmstrip},
    };
    for (const auto& toggle : toggles) {
        QAction* action = view->addAction(toggle.title);
        action->setShortcut(toggle.shortcut);
        WindowPreferences::bindToggle(*action, preferences, toggle.key);
    }

    QMenu* appearance = view->addMenu(QStringLiteral("Appearance"));
    auto* choices = new QActionGroup(appearance);
    for (AppAppearance choice : kAllAppearances) {
        QAction* action = appearance->addAction(
            title(choice), [&preferences, choice] { storeAppearance(preferences, choice); });
        action->setCheckable(true);
        action->setActionGroup(choices);
        action->setData(rawValue(choice));
    }
    const auto showStored = [choices, &preferences] {
        const QString stored = rawValue(storedAppearance(preferences));
        for (QAction* action : choices->actions()) action->setChecked(action->data() == stored);
    };
    showStored();
    QObject::connect(&preferences, &Preferences::changed, choices,
                     [showStored](const QString& key) {
                         if (key == WindowPreferences::kAppearance) showStored();
                     });
}

void addHelpMenu(QMenuBar& menuBar, const WindowCommands& windows) {
    QMenu* help = menuBar.addMenu(QStringLiteral("Help"));
    // "&&" shows one ampersand instead of marking a mnemonic.
    help->addAction(QStringLiteral("Technology && Licenses…"), windows.showTechnologyLicenses);
}

}  // namespace

void installMenuCommands(QMenuBar& menuBar, AppState& state, Preferences& preferences,
                         const WindowCommands& windows) {
    auto* watcher = new StateWatcher(state, &menuBar);
    addFileMenu(menuBar, state, *watcher);
    addEditMenu(menuBar, state, *watcher, windows);
    addViewMenu(menuBar, preferences);
    addHelpMenu(menuBar, windows);
}

}  // namespace quillmere
