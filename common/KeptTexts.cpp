#include "common/KeptTexts.h"

namespace chengfan::common {

void releaseKeptTexts(KeptTexts& kept) {
    for (Text* slot : {&kept.loopMinutesText, &kept.dialogLoopMinutesText, &kept.updateMarkerText,
                       &kept.taskUrlText, &kept.taskSavePathText, &kept.taskCountText,
                       &kept.editUrlText, &kept.editSavePathText, &kept.editTaskCountText,
                       &kept.newTaskCountText, &kept.newUrlText, &kept.newSavePathText}) {
        Text().swap(*slot);
    }
}

}  // namespace chengfan::common
