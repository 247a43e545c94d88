#include "Figures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace chengfan::reliability {

void reportFigures(const std::string& name, const std::string& figures) {
    std::printf("[ FIGURES  ] %s: %s\n", name.c_str(), figures.c_str());
    std::error_code ignored;
    std::filesystem::create_directories(CHENGFAN_FIGURES_DIR, ignored);
    std::ofstream out(std::string(CHENGFAN_FIGURES_DIR) + "/" + name + ".txt", std::ios::trunc);
    out << name << ": " << figures << "\n";
}

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string name(field);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0) return std::stol(line.substr(name.size()));
    }
    return -1;
}

}  // namespace chengfan::reliability
