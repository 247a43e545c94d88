#pragma once

#include "common/KeptTexts.h"
#include "engine/MainWindowState.h"
#include "store/TaskStore.h"

namespace chengfan::engine {

// The loaders that copy Config.ini into MainWindowState. Each reads the file
// anew; what it reads is kept in its KeptTexts slot first.

// Task currentTask's URL and save path, and the loop time; an empty value leaves
// its field as it was.
void loadCurrentTask(MainWindowState& state, const store::TaskStore& store,
                     common::KeptTexts& kept);

// Once, when MainWindow has been created: task 1 when a count is stored, and the
// 12-hour notice reload armed.
void loadInitialTask(MainWindowState& state, const store::TaskStore& store,
                     common::KeptTexts& kept);

// A tick of 时钟3 or 时钟4: URL and save path of the current task, the loop
// time, then the current task back to 1 (or 0 without a count).
void refreshFromStore(MainWindowState& state, const store::TaskStore& store,
                      common::KeptTexts& kept);

// A tick of 时钟5: the stored loop time, the empty text included.
void refreshLoopMinutes(MainWindowState& state, const store::TaskStore& store,
                        common::KeptTexts& kept);

}  // namespace chengfan::engine
