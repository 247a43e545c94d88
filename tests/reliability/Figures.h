#pragma once

#include <string>

namespace chengfan::reliability {

// Prints one test's figures and keeps them in figures/<name>.txt of the build
// tree, replacing what an earlier run left there.
void reportFigures(const std::string& name, const std::string& figures);

// A KiB figure of this process from /proc/self/status, by its field name with
// the colon ("VmRSS:", "VmHWM:"); -1 when there is none.
long statusKiB(const char* field);

}  // namespace chengfan::reliability
