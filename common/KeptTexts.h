#pragma once

#include "common/Text.h"

namespace chengfan::common {

// The texts that handlers keep of what they have just read, one slot per use.
// A handler reads a slot only after writing it in the same event, so no value
// passes from one event to another through here. The record owns its texts.
struct KeptTexts {
    Text loopMinutesText;
    Text dialogLoopMinutesText;
    Text updateMarkerText;
    Text taskUrlText;
    Text taskSavePathText;
    Text taskCountText;
    Text editUrlText;
    Text editSavePathText;
    Text editTaskCountText;
    Text newTaskCountText;
    Text newUrlText;
    Text newSavePathText;
};

// The exit action: releases all twelve slots, in order. Releasing an absent slot
// does nothing, so this cannot fail.
void releaseKeptTexts(KeptTexts& kept);

}  // namespace chengfan::common
