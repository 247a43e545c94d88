#pragma once

#include <string>

namespace chengfan::reliability {

// Prints one test's figures and keeps them in figures/<name>.txt of the build
// tree, replacing what an earlier run left there.
void reportFigures(const std::string& name, const std::string& figures);

}  // namespace chengfan::reliability
