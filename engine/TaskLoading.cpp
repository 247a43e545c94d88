#include "engine/TaskLoading.h"

#include "common/Conversions.h"

namespace chengfan::engine {

namespace {

// The notice page is reloaded every 12 hours.
constexpr std::int32_t kNoticeReloadMs = 43200000;

// A value read from the store goes to its field; an empty one (missing from
// the file) keeps what the field held.
void setUnlessEmpty(MainWindowState& state, Field field, const common::Text& value) {
    if (!common::isEmptyText(value)) state.setText(field, value);
}

// Reads the URL and save path of the task the window shows, and the loop time.
void readShownTask(const MainWindowState& state, const store::TaskStore& store,
                   common::KeptTexts& kept) {
    const common::Text task = state.text(Field::currentTask);
    kept.taskUrlText = store.readUrl(task);
    kept.taskSavePathText = store.readSavePath(task);
    kept.loopMinutesText = store.readLoopMinutes();
}

}  // namespace

void loadCurrentTask(MainWindowState& state, const store::TaskStore& store,
                     common::KeptTexts& kept) {
    readShownTask(state, store, kept);
    // A task without a save path is thus saved where the task loaded before it was.
    setUnlessEmpty(state, Field::url, kept.taskUrlText);
    setUnlessEmpty(state, Field::savePath, kept.taskSavePathText);
    setUnlessEmpty(state, Field::loopMinutes, kept.loopMinutesText);
}

void loadInitialTask(MainWindowState& state, const store::TaskStore& store,
                     common::KeptTexts& kept) {
    kept.taskCountText = store.readTaskCount();
    const common::Text count = kept.taskCountText;
    if (!common::isEmptyText(count)) {
        state.setText(Field::currentTask, "1");
        loadCurrentTask(state, store, kept);
        state.setText(Field::remainingTasks, common::stepNumberText(count, -1));
    }
    state.setTimerPeriod(TimerId::timer6, kNoticeReloadMs);
}

void refreshFromStore(MainWindowState& state, const store::TaskStore& store,
                      common::KeptTexts& kept) {
    // The task is read under the number shown now, before it goes back to 1: the
    // window may show task 3's address beside the number 1 for one second.
    readShownTask(state, store, kept);
    kept.taskCountText = store.readTaskCount();

    // Unlike a run step's load, a missing value empties its field: the window must
    // show a cleared task list as cleared.
    state.setText(Field::loopMinutes, kept.loopMinutesText);
    state.setText(Field::url, kept.taskUrlText);
    state.setText(Field::savePath, kept.taskSavePathText);

    if (!common::isEmptyText(kept.taskCountText)) {
        state.setText(Field::remainingTasks, common::stepNumberText(kept.taskCountText, -1));
        state.setText(Field::currentTask, "1");
    } else {
        state.setText(Field::currentTask, "0");
        state.setText(Field::remainingTasks, "0");
    }
}

void refreshLoopMinutes(MainWindowState& state, const store::TaskStore& store,
                        common::KeptTexts& kept) {
    kept.loopMinutesText = store.readLoopMinutes();
    state.setText(Field::loopMinutes, kept.loopMinutesText);
}

}  // namespace chengfan::engine
