#include "EngineRig.h"

#include <stdexcept>

#include "engine/BuildSettings.h"

namespace chengfan::testing {

EngineRig::EngineRig()
    : store(dir.path()),
      messages(&timers),
      network(&timers),
      program(&timers),
      clock(&timers),
      state(timers),
      engine(state, store, kept, engine::Services{messages, network, browser, program, clock}) {
    timers.setTickHandler([this](engine::TimerId id) { engine.timerTick(id); });
    setMarker("1.0");
}

void EngineRig::writeTask(const std::string& key, const std::string& url,
                          const std::string& savePath) {
    if (!url.empty() && !store.writeUrl(key, url)) throw std::runtime_error("cannot write a URL");
    if (!savePath.empty() && !store.writeSavePath(key, savePath)) {
        throw std::runtime_error("cannot write a save path");
    }
}

void EngineRig::writeTasks(int count, const std::string& loopMinutes) {
    for (int task = 1; task <= count; ++task) {
        writeTask(std::to_string(task), urlOf(task), savePathOf(task));
    }
    if (!store.writeTaskCount(std::to_string(count))) throw std::runtime_error("cannot write the count");
    if (!loopMinutes.empty() && !store.writeLoopMinutes(loopMinutes)) {
        throw std::runtime_error("cannot write the loop time");
    }
}

void EngineRig::setMarker(const std::string& body) { network.setResponse(markerUrl(), body); }

std::string EngineRig::urlOf(int task) {
    return "http://127.0.0.1/page" + std::to_string(task) + ".php";
}

std::string EngineRig::savePathOf(int task) {
    return "/srv/www/page" + std::to_string(task) + ".html";
}

std::string EngineRig::markerUrl() {
    return std::string(engine::kPublisherHost) + engine::kUpdateMarkerPath;
}

}  // namespace chengfan::testing
